// A run over many messages; see list_run.h.
#include "tools/list_run.h"

#include "tools/message_file.h"
#include "tools/replacement_file.h"
#include "tools/runner_platform.h"

namespace {

constexpr char kField = '\t';
constexpr char kMaskedByte = '?';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr const char* kProgramName = "velmora-run";

// A path as printed: a tab or line end in a file name would break the
// line's fields for a script, so control bytes show as '?'.
std::string PrintablePath(const std::string& path) {
    std::string shown = path;
    for (char& c : shown) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < kFirstPrintable || byte == kDelete) {
            c = kMaskedByte;
        }
    }
    return shown;
}

// What the module left behind or did wrong in the host, one line each:
// the outcome stands, but an admin should hear of it.
std::string MisuseReport(const ReferenceHost& host, const std::string& path) {
    std::string report;
    for (const std::string& violation : host.violations) {
        report += std::string(kProgramName) + ": " + path +
                  ": the module misused the server: " + violation + "\n";
    }
    const std::string leaks = host.Leaks();
    if (!leaks.empty()) {
        report += std::string(kProgramName) + ": " + path +
                  ": left behind by the module: " + leaks + "\n";
    }
    return report;
}

// What one message gave: its outcome, its line for standard output and
// anything for standard error.
struct MessageResult {
    JobOutcome outcome;
    std::string line;
    std::string problems;
};

// Saves the replacement under `outFolder` and adds the file's field to the
// line; on failure says why in the problems.
void SaveInto(const std::string& outFolder, const std::string& sourcePath,
              const TestJob& replacement, MessageResult* result, bool* saveFailed) {
    std::string written;
    std::string reason;
    if (SaveReplacement(outFolder, sourcePath, JobMessageText(replacement), &written, &reason)) {
        result->line += kField + PrintablePath(written);
        return;
    }
    result->problems += std::string(kProgramName) + ": cannot save the replacement of " +
                        PrintablePath(sourcePath) + ": " + reason + "\n";
    *saveFailed = true;
}

// One message through the module.
MessageResult RunOne(const LoadedModule& module, ReferenceHost* host, const MessageSource& source,
                     const JobSettings& settings, const std::string& outFolder, bool* saveFailed) {
    const std::string shownPath = PrintablePath(source.path);
    std::string message;
    std::string reason = source.unreadable;
    if (!reason.empty() || !ReadMessageFile(source.path, &message, &reason)) {
        return MessageResult{
            JobOutcome::kUnreadable, shownPath + kField + OutcomeName(JobOutcome::kUnreadable),
            std::string(kProgramName) + ": cannot read " + shownPath + ": " + reason + "\n"};
    }

    host->ForgetHistory();
    RunJob(module, host, settings, message);
    MessageResult result{JudgeJob(*host), std::string(), MisuseReport(*host, shownPath)};
    result.line = shownPath + kField + OutcomeName(result.outcome);
    const TestJob* replacement = SubmittedReplacement(*host);
    if (result.outcome == JobOutcome::kRewritten && replacement != nullptr) {
        result.line += kField + NewMessageId(*replacement);
        if (!outFolder.empty()) {
            SaveInto(outFolder, source.path, *replacement, &result, saveFailed);
        }
    }
    return result;
}

} // namespace

ListRunTotals RunMessageList(const LoadedModule& module, ReferenceHost* host,
                             const std::vector<MessageSource>& messages,
                             const JobSettings& settings, const std::string& outFolder,
                             std::ostream& out, std::ostream& errors, ProgressMeter* progress) {
    ListRunTotals totals;
    const bool outSharesTerminal = StandardOutputIsTerminal();
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const MessageResult result =
            RunOne(module, host, messages[i], settings, outFolder, &totals.saveFailed);
        ++totals.outcomes[static_cast<std::size_t>(result.outcome)];
        if (outSharesTerminal || !result.problems.empty()) {
            progress->Hide();
        }
        errors << result.problems;
        out << result.line << "\n";
        progress->Update(i + 1);
    }
    progress->Hide();
    host->ForgetHistory(); // closes what the last job left open
    return totals;
}

void WriteListSummary(std::ostream& out, const ListRunTotals& totals) {
    std::size_t all = 0;
    for (std::size_t count : totals.outcomes) {
        all += count;
    }
    out << "# " << all << (all == 1 ? " message: " : " messages: ");
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        out << (i == 0 ? "" : ", ") << totals.outcomes[i] << " "
            << OutcomeName(static_cast<JobOutcome>(i));
    }
    out << "\n";
}
