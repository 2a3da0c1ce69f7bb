// A run over many messages; see list_run.h.
#include "runner/list_run.h"

#include "runner/printable_text.h"
#include "runner/replacement_file.h"

namespace {

constexpr char kField = '\t';
constexpr char kMessageNumberMark = '#';
constexpr const char* kProgramName = "velmora-run";

// A line for standard error. What it quotes from the mail or the file
// system (names, the system's reasons) comes through PrintableName.
std::string Problem(const std::string& text) {
    return std::string(kProgramName) + ": " + text + "\n";
}

// What the module left behind or did wrong in the host, one line each:
// the outcome stands, but an admin should hear of it.
std::string MisuseReport(const ReferenceHost& host, const std::string& name) {
    std::string report;
    for (const std::string& violation : host.violations) {
        report += Problem(name + ": the module misused the server: " + PrintableName(violation));
    }
    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        report += Problem(name + ": left behind by the module: " + PrintableName(leaks));
    }
    return report;
}

// Why the module could not examine a message: the stand-in server's first
// failure in making the copy it reads (the others follow from it).
std::string UnexaminedReport(const ReferenceHost& host, const std::string& name) {
    if (host.serverFailures.empty()) {
        return std::string();
    }
    return Problem(name + ": not examined: the stand-in server " +
                   PrintableName(host.serverFailures.front()));
}

// What one message gave: its outcome, its line for standard output and
// anything for standard error.
struct MessageResult {
    JobOutcome outcome;
    std::string line;
    std::string problems;
};

MessageResult Unreadable(const std::string& name, const std::string& reason) {
    return MessageResult{JobOutcome::kUnreadable,
                         name + kField + OutcomeName(JobOutcome::kUnreadable),
                         Problem("cannot read " + name + ": " + PrintableName(reason))};
}

// One message as the run knows it: its printed name, the name its
// replacement is saved under, its text and its mailbox sender.
struct NamedMessage {
    std::string name;
    std::string saveName;
    const StreamedMessage* message;
};

// Saves the replacement under `outFolder` and adds the file's field to the
// line; on failure says why in the problems.
void SaveInto(const std::string& outFolder, const NamedMessage& named, const HostJob& replacement,
              MessageResult* result, bool* saveFailed) {
    std::string written;
    std::string reason;
    if (SaveReplacement(outFolder, named.saveName, JobMessageText(replacement), &written,
                        &reason)) {
        result->line += kField + PrintableName(written);
        return;
    }
    result->problems +=
        Problem("cannot save the replacement of " + named.name + ": " + PrintableName(reason));
    *saveFailed = true;
}

// One message through the module.
MessageResult RunOne(const LoadedModule& module, ReferenceHost* host, const NamedMessage& named,
                     const JobSettings& settings, const std::string& outFolder, bool* saveFailed) {
    host->ForgetHistory();
    const std::string sender =
        EnvelopeSenderFor(settings, named.message->text, named.message->separatorSender);
    RunJob(module, host, settings, sender, named.message->text);
    MessageResult result{JudgeJob(*host, sender), std::string(), MisuseReport(*host, named.name)};
    result.line = named.name + kField + OutcomeName(result.outcome);
    if (result.outcome == JobOutcome::kUnexamined) {
        result.problems += UnexaminedReport(*host, named.name);
    }
    const HostJob* replacement = SubmittedReplacement(*host);
    if (result.outcome == JobOutcome::kRewritten && replacement != nullptr) {
        result.line += kField + NewMessageId(*replacement);
        if (!outFolder.empty()) {
            SaveInto(outFolder, named, *replacement, &result, saveFailed);
        }
    }
    return result;
}

// Counts and prints one result.
class ResultSink {
  public:
    ResultSink(const ListRunOutput& output, ListRunTotals* totals)
        : output_(output), totals_(totals) {}

    void Take(const MessageResult& result) {
        ++totals_->outcomes[static_cast<std::size_t>(result.outcome)];
        if (output_.linesShareTerminal || !result.problems.empty()) {
            output_.progress->Hide();
        }
        *output_.errors << result.problems << std::flush;
        *output_.lines << result.line << "\n";
        if (output_.linesShareTerminal) {
            *output_.lines << std::flush;
        }
    }

    std::size_t Done() const { return totals_->Messages(); }

  private:
    ListRunOutput output_;
    ListRunTotals* totals_;
};

// Every message of one input: the whole file, or each of a mailbox.
void RunInput(const LoadedModule& module, ReferenceHost* host, const MessageSource& source,
              MessageStream* stream, const JobSettings& settings, const std::string& outFolder,
              const ListRunOutput& output, ResultSink* sink, bool* saveFailed) {
    const std::string path = PrintableName(source.path);
    const bool mailbox = stream->IsMailbox();
    output.progress->SetBytesTotal(mailbox ? stream->Size() : 0);
    StreamedMessage message;
    std::string reason;
    for (std::size_t number = 1; stream->Next(&message, &reason); ++number) {
        // A message file is its one message, numbered 0.
        const std::size_t numberInInput = mailbox ? number : 0;
        const std::string name =
            mailbox ? path + kMessageNumberMark + std::to_string(number) : path;
        const NamedMessage named{name, SaveNameFor(source.path, numberInInput), &message};
        sink->Take(RunOne(module, host, named, settings, outFolder, saveFailed));
        output.progress->Update(sink->Done(), stream->BytesRead());
    }
    if (!reason.empty()) {
        sink->Take(Unreadable(path, reason));
    }
    output.progress->SetBytesTotal(0);
}

} // namespace

ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host,
                             const std::vector<MessageSource>& sources, const JobSettings& settings,
                             const std::string& outFolder, const ListRunOutput& output,
                             std::unique_ptr<MessageStream> opened) {
    ListRunTotals totals;
    ResultSink sink(output, &totals);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const MessageSource& source = sources[i];
        std::unique_ptr<MessageStream> stream = i == 0 ? std::move(opened) : nullptr;
        std::string reason = source.unreadable;
        if (stream == nullptr && reason.empty()) {
            stream = std::make_unique<MessageStream>();
            if (!stream->Open(source.path, &reason)) {
                stream.reset();
            }
        }
        if (stream == nullptr) {
            sink.Take(Unreadable(PrintableName(source.path), reason));
        } else {
            RunInput(module, host, source, stream.get(), settings, outFolder, output, &sink,
                     &totals.saveFailed);
        }
        output.progress->Update(sink.Done(), 0);
    }
    output.progress->Hide();
    host->ForgetHistory(); // closes what the last job left open
    return totals;
}

std::size_t ListRunTotals::Messages() const {
    std::size_t all = 0;
    for (std::size_t count : outcomes) {
        all += count;
    }
    return all;
}

void WriteListSummary(std::ostream& out, const ListRunTotals& totals) {
    const std::size_t all = totals.Messages();
    out << "# " << all << (all == 1 ? " message: " : " messages: ");
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        out << (i == 0 ? "" : ", ") << totals.outcomes[i] << " "
            << OutcomeName(static_cast<JobOutcome>(i));
    }
    out << "\n";
}
