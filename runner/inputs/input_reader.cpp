// The messages of a run; see input_reader.h.
#include "runner/inputs/input_reader.h"

#include "runner/inputs/mail_content.h"
#include "runner/inputs/sample_autoreply.h"

#include <new>
#include <utility>

namespace {

constexpr char kMessageNumberMark = '#';
constexpr const char* kSampleName = "sample.eml";

} // namespace

InputReader::InputReader(MessageWalk* walk, std::uint64_t maxMessage)
    : walk_(walk), maxMessage_(maxMessage) {}

InputReader::~InputReader() {
    CloseInputFile(&source_.file);
}

// Takes the walk's next source, unless one is being read. False when the
// walk is done.
bool InputReader::TakeSource() {
    if (haveSource_) {
        return true;
    }
    if (walkDone_ || walk_ == nullptr) {
        return false;
    }
    haveSource_ = walk_->Next(&source_, &walkNotes_);
    walkDone_ = !haveSource_;
    return haveSource_;
}

bool InputReader::OpenCurrent(std::string* reason) {
    if (!source_.unreadable.empty()) {
        *reason = source_.unreadable;
        return false;
    }
    stream_ = std::make_unique<MessageStream>(MessageStream::kDefaultReadChunk, maxMessage_);
    headLooked_ = false;
    // The walk opened what it found; a path named alone is opened here.
    const bool opened = source_.file.handle != -1 ? stream_->Take(&source_.file, reason)
                                                  : stream_->Open(source_.path, reason);
    if (!opened) {
        stream_.reset();
        return false;
    }
    return true;
}

bool InputReader::IsSingleMessageFile(const std::string& namedPath) {
    if (walk_ == nullptr || !walk_->NamesOneFile() || !TakeSource() || source_.path != namedPath) {
        return false;
    }
    std::string reason;
    if (stream_ == nullptr && !OpenCurrent(&reason)) {
        return false; // Next tells why
    }
    return !stream_->IsMailbox();
}

// Sets `notMail` to why the message file being read is plainly not mail,
// by its first bytes alone, or null: the rest is read only for mail. One
// over the size limit by its size is too large, whatever it holds, and is
// not looked at. False on a read error.
bool InputReader::LookAtHead(const char** notMail, std::string* reason) {
    *notMail = nullptr;
    headLooked_ = true;
    if (stream_->OverLimitBySize()) {
        return true;
    }
    std::string head;
    if (!stream_->Head(kMailProbeBytes, &head, reason)) {
        return false;
    }
    *notMail = NotMailReason(head, head.empty());
    return true;
}

// The stream's notes on what it skipped or changed, after the input's name.
void InputReader::TakeNotes(InputMessage* item) const {
    for (const StreamNote& note : stream_->Notes()) {
        item->notes.push_back(source_.path + ": " + note.text);
    }
}

// Gives `item`, after the walk's notes gathered on the way to it.
bool InputReader::Deliver(InputMessage* item) {
    std::vector<std::string> notes;
    notes.swap(walkNotes_);
    notes.insert(notes.end(), item->notes.begin(), item->notes.end());
    item->notes.swap(notes);
    return true;
}

// Closes the current input and says what became of it.
bool InputReader::EndInput(InputItemKind kind, const std::string& reason, InputMessage* item) {
    item->kind = kind;
    item->name = source_.path;
    item->path = source_.path;
    item->reason = reason;
    stream_.reset();
    CloseInputFile(&source_.file);
    haveSource_ = false;
    return Deliver(item);
}

bool InputReader::Next(InputMessage* item) {
    if (walk_ == nullptr) {
        if (sampleGiven_) {
            return false;
        }
        sampleGiven_ = true;
        *item = InputMessage();
        item->name = kSampleName;
        item->path = kSampleName;
        item->message.text = kSampleAutoreply;
        return true;
    }
    while (TakeSource()) {
        *item = InputMessage();
        std::string reason;
        if (stream_ == nullptr && !OpenCurrent(&reason)) {
            return EndInput(InputItemKind::kUnreadable, reason, item);
        }
        if (!stream_->IsMailbox() && !headLooked_) {
            const char* notMail = nullptr;
            if (!LookAtHead(&notMail, &reason)) {
                return EndInput(InputItemKind::kUnreadable, reason, item);
            }
            if (notMail != nullptr) {
                return EndInput(InputItemKind::kNotMail, notMail, item);
            }
        }
        bool got = false;
        try {
            got = stream_->Next(&item->message, &reason);
        } catch (const std::bad_alloc&) {
            // The rest of this input cannot be read in step: it ends here,
            // and the run goes on with the next one.
            item->message = StreamedMessage();
            TakeNotes(item);
            return EndInput(InputItemKind::kTooLarge,
                            "too large to hold in memory; the rest of the input is not read", item);
        }
        TakeNotes(item);
        if (got) {
            const std::string& path = source_.path;
            item->inMailbox = stream_->IsMailbox();
            // A message file is its one message, numbered 0.
            const std::size_t number = item->inMailbox ? stream_->Span().number : 0;
            item->name = path;
            if (item->inMailbox) {
                item->name += kMessageNumberMark + std::to_string(number);
            }
            item->path = path;
            item->number = number;
            if (item->message.tooLarge) {
                item->kind = InputItemKind::kTooLarge;
                item->reason = "over the size limit (--max-size " + MessageSizeText(maxMessage_) +
                               "): not read";
            }
            return Deliver(item);
        }
        if (!reason.empty()) {
            return EndInput(InputItemKind::kUnreadable, reason, item);
        }
        if (!item->notes.empty()) {
            return EndInput(InputItemKind::kNotesOnly, reason, item);
        }
        stream_.reset();
        CloseInputFile(&source_.file);
        haveSource_ = false;
    }
    if (walkNotes_.empty()) {
        return false;
    }
    *item = InputMessage();
    item->kind = InputItemKind::kNotesOnly;
    return Deliver(item);
}

bool InputReader::InMailbox() const {
    return stream_ != nullptr && stream_->IsMailbox();
}

std::uint64_t InputReader::BytesRead() const {
    return stream_ != nullptr ? stream_->BytesRead() : 0;
}

std::uint64_t InputReader::Size() const {
    return stream_ != nullptr ? stream_->Size() : 0;
}
