// Saving replacements; see replacement_file.h.
#include "runner/replacement_file.h"

#include "runner/runner_platform.h"

#include <cctype>

namespace {

// Enough for any folder of saved mail; past it something is wrong.
constexpr unsigned kMaxAttempts = 100000;
constexpr std::size_t kMaxExtensionLetters = 4;
constexpr const char* kNamelessSource = "message";
constexpr const char* kStandardInputName = "stdin";
constexpr const char* kSavedExtension = ".eml";

// Where an extension such as ".eml" starts, or npos: a dot followed by one
// to four letters or digits, not at the start of the name. Maildir names
// are full of dots and colons and end in flags, which are not extensions.
std::size_t ExtensionStart(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return std::string::npos;
    }
    const std::size_t letters = name.size() - dot - 1;
    if (letters == 0 || letters > kMaxExtensionLetters) {
        return std::string::npos;
    }
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) {
            return std::string::npos;
        }
    }
    return dot;
}

} // namespace

std::string ReplacementFileName(const std::string& sourcePath, unsigned attempt) {
    std::string name = BaseName(sourcePath);
    if (name.empty()) {
        name = kNamelessSource;
    }
    if (attempt == 0) {
        return name;
    }
    const std::string suffix = "-" + std::to_string(attempt);
    const std::size_t extension = ExtensionStart(name);
    if (extension == std::string::npos) {
        return name + suffix;
    }
    return name.substr(0, extension) + suffix + name.substr(extension);
}

std::string MailboxMessageName(const std::string& mailboxPath, std::size_t number) {
    std::string name =
        mailboxPath == kStandardInputPath ? kStandardInputName : BaseName(mailboxPath);
    const std::size_t extension = ExtensionStart(name);
    if (extension != std::string::npos) {
        name.erase(extension);
    }
    if (name.empty()) {
        name = kNamelessSource;
    }
    return name + (number == 0 ? std::string() : "-" + std::to_string(number)) + kSavedExtension;
}

std::string SaveNameFor(const std::string& path, std::size_t number) {
    return number == 0 && path != kStandardInputPath ? path : MailboxMessageName(path, number);
}

bool SaveReplacement(const std::string& folder, const std::string& sourcePath,
                     const std::string& content, std::string* written, std::string* reason) {
    for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::string path = JoinPath(folder, ReplacementFileName(sourcePath, attempt));
        switch (CreateNewFile(path, content, reason)) {
        case CreateOutcome::kCreated:
            *written = path;
            return true;
        case CreateOutcome::kFailed:
            *reason = path + ": " + *reason;
            return false;
        case CreateOutcome::kExists:
            break;
        }
    }
    *reason = "too many files named after " + sourcePath + " in " + folder;
    return false;
}

bool MakeFolder(const std::string& path, std::string* reason) {
    switch (CreateFolder(path, reason)) {
    case CreateOutcome::kCreated:
        return true;
    case CreateOutcome::kFailed:
        return false;
    case CreateOutcome::kExists:
        break;
    }
    if (InspectPath(path, reason) == PathKind::kFolder) {
        return true;
    }
    *reason = "something that is not a folder is in the way";
    return false;
}
