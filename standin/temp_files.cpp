// Temporary message copies of the stand-in server; see temp_files.h.
#include "standin/temp_files.h"

#include "platform/header_reader.h"
#include "platform/line_ends.h"
#include "platform/private_folder.h"
#include "standin/private_temp_folder.h"

#include <memory>

namespace {

// The longest name of a copy: a serial of up to ten digits and ".tmp",
// with room for a caller's suffix on a scratch name.
constexpr std::size_t kLongestCopyName = 24;
constexpr const char* kCopyExtension = ".tmp";
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr const char* kSeparators = "/\\";
constexpr const char* kOutsideFolder = "not in the server's private folder";

// The name in the private folder that `path` gives; false when `path`
// lies elsewhere (or deeper).
bool NameInFolder(const std::string& path, std::string* name, std::string* reason) {
    const std::string folder = PrivateTempFolder(kLongestCopyName, reason);
    if (folder.empty()) {
        return false;
    }
    if (path.compare(0, folder.size(), folder) != 0 || path.size() == folder.size() ||
        path.find_first_of(kSeparators, folder.size()) != std::string::npos) {
        *reason = kOutsideFolder;
        return false;
    }
    *name = path.substr(folder.size());
    return true;
}

} // namespace

bool TempCopyPath(unsigned serial, std::string* path, std::string* reason) {
    const std::string folder = PrivateTempFolder(kLongestCopyName, reason);
    if (folder.empty()) {
        return false;
    }
    *path = folder + std::to_string(serial) + kCopyExtension;
    return true;
}

void NoteCopyInFlight(const std::string& path) {
    std::string name;
    std::string reason;
    if (NameInFolder(path, &name, &reason)) {
        NotePrivateCopy(name);
    }
}

std::string TempCopiesNote() {
    return PrivateTempFolderNote(kLongestCopyName);
}

TempCopyWriter::~TempCopyWriter() {
    Abandon();
}

void TempCopyWriter::Abandon() {
    if (handle_ == kNoCopy) {
        return;
    }
    std::string ignored;
    ClosePrivateCopy(handle_, &ignored);
    handle_ = kNoCopy;
    RemovePrivateCopy(name_);
}

bool TempCopyWriter::Create(const std::string& path, std::string* reason) {
    Abandon();
    return NameInFolder(path, &name_, reason) && CreatePrivateCopy(name_, &handle_, reason);
}

bool TempCopyWriter::Write(const std::string& piece, std::string* reason) {
    const bool written = WritePrivateCopy(handle_, piece.data(), piece.size(), reason);
    if (!written) {
        Abandon();
    }
    return written;
}

bool TempCopyWriter::Finish(std::string* reason) {
    const bool closed = ClosePrivateCopy(handle_, reason);
    handle_ = kNoCopy;
    if (!closed) {
        RemovePrivateCopy(name_);
    }
    return closed;
}

namespace {

// How far a file's header section has been read: its whole lines before
// `from` have gone through `reader`.
struct HeaderScan {
    std::size_t from = 0;
    HeaderReader reader;
};

// Where the header section of `text` ends (after its empty line), reading
// on from the scan's last whole line; npos when it has not ended yet.
std::size_t HeaderEnd(const std::string& text, HeaderScan* scan) {
    while (scan->from < text.size()) {
        const char* line = text.data() + scan->from;
        const std::size_t length = LineLength(line, text.size() - scan->from);
        if (line[length - 1] != kLineFeed) {
            break; // the rest of the line is in the next piece
        }
        scan->from += length;
        if (scan->reader.Push(line, length).kind == HeaderLineKind::kEnd) {
            return scan->from;
        }
    }
    return std::string::npos;
}

// Takes a piece read from the file; true when enough is read.
bool Take(std::string* content, const char* piece, std::size_t size, HeaderScan* headerOnly) {
    content->append(piece, size);
    if (headerOnly == nullptr) {
        return false;
    }
    const std::size_t end = HeaderEnd(*content, headerOnly);
    if (end != std::string::npos) {
        content->resize(end);
        return true;
    }
    return false;
}

// Reads the open copy, all of it or its header section.
bool ReadOpenCopy(std::intptr_t copy, std::string* content, std::string* reason, bool headerOnly) {
    content->clear();
    // Not cleared first: only the bytes read are looked at, and clearing a
    // whole chunk for each small copy would cost more than reading it.
    const std::unique_ptr<char[]> chunk(new char[kReadChunk]);
    std::size_t got = 0;
    bool ok = true;
    HeaderScan scan;
    while ((ok = ReadPrivateCopy(copy, chunk.get(), kReadChunk, &got, reason)) && got > 0) {
        if (Take(content, chunk.get(), got, headerOnly ? &scan : nullptr)) {
            break;
        }
    }
    return ok;
}

} // namespace

bool OpenHeldCopy(const std::string& path, std::string* head, std::intptr_t* held,
                  std::string* reason) {
    std::string name;
    std::intptr_t copy = kNoCopy;
    if (!NameInFolder(path, &name, reason) || !OpenPrivateCopy(name, &copy, reason)) {
        return false;
    }
    if (!ReadOpenCopy(copy, head, reason, true)) {
        std::string ignored;
        ClosePrivateCopy(copy, &ignored);
        return false;
    }
    *held = copy;
    return true;
}

bool HeldCopyStillNamed(std::intptr_t held, const std::string& path) {
    std::string name;
    std::string reason;
    return NameInFolder(path, &name, &reason) && PrivateCopyStillNamed(held, name);
}

void CloseHeldCopy(std::intptr_t held) {
    if (held != kNoCopy) {
        std::string ignored;
        ClosePrivateCopy(held, &ignored);
    }
}

bool FileExists(const std::string& path) {
    std::string name;
    std::string reason;
    return NameInFolder(path, &name, &reason) && PrivateCopyExists(name);
}

void RemoveFile(const std::string& path) {
    std::string name;
    std::string reason;
    if (NameInFolder(path, &name, &reason)) {
        RemovePrivateCopy(name);
    }
}
