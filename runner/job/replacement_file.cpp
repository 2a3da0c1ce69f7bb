// Saving replacements; see replacement_file.h.
#include "runner/job/replacement_file.h"

#include "platform/ascii_text.h"
#include "platform/system.h"
#include "platform/trusted_path.h"
#include "platform/utf8_character.h"
#include "standin/message_lines.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace {

// Enough for any folder of saved mail; past it something is wrong.
constexpr unsigned kMaxAttempts = 100000;
constexpr std::size_t kMaxExtensionLetters = 4;
constexpr const char* kNamelessSource = "message";
constexpr const char* kStandardInputName = "stdin";
constexpr const char* kSavedExtension = ".eml";

// A Maildir file name ends in its info: ":2," and the flags ("S" seen,
// "R" replied; lower case for Dovecot's keywords). Maildirs on Windows,
// where ':' cannot be in a name, use '!' or ';'. "1," is the old
// experimental form.
constexpr const char* kInfoSeparators = ":!;";
constexpr const char* kInfoVersions = "12";
constexpr char kFieldSeparator = ',';
constexpr std::size_t kInfoHeadLength = 3; // ":2,"
constexpr std::size_t kInfoVersionAt = 1;
constexpr std::size_t kInfoCommaAt = 2;
// Size fields before it: ",S=" the size in bytes, ",W=" with CR LF line
// ends (Courier, Dovecot). Neither holds for a saved replacement.
constexpr const char* kSizeFieldNames = "SW";
constexpr char kFieldValueMark = '=';
constexpr std::size_t kSizeFieldHeadLength = 3; // ",S="
constexpr std::size_t kSizeFieldNameAt = 1;
constexpr std::size_t kSizeFieldMarkAt = 2;
constexpr const char* kDigits = "0123456789";

// What a saved file's name may not hold is written as '%' and the byte's
// two hex digits, as in URLs: '%' itself too, so that no two sources get
// one name.
// The line on top of a saved replacement: its envelope sender.
constexpr const char* kReturnPathField = "Return-Path: ";
constexpr char kAddressOpen = '<';
constexpr char kAddressClose = '>';
constexpr const char* kCrlf = "\r\n";

constexpr char kEscapeMark = '%';
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstNonAscii = 0x80;
// The C1 controls, as code points and as lone bytes of a name that is not
// UTF-8 (0x9B is CSI to 8-bit terminals).
constexpr std::uint32_t kFirstC1 = 0x80;
constexpr std::uint32_t kLastC1 = 0x9F;
// Either system's path separator, in a name from the other; and what
// Windows refuses in a name besides.
constexpr const char* kSeparators = "/\\";
constexpr const char* kWindowsForbidden = "<>:\"|?*";

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

bool OneOf(char c, const char* set) {
    return c != '\0' && std::string(set).find(c) != std::string::npos;
}

// Where the Maildir info at the end of `name` starts, or npos.
std::size_t InfoStart(const std::string& name) {
    for (std::size_t at = name.find_first_of(kInfoSeparators); at != std::string::npos;
         at = name.find_first_of(kInfoSeparators, at + 1)) {
        const std::size_t flags = at + kInfoHeadLength;
        if (flags <= name.size() && OneOf(name[at + kInfoVersionAt], kInfoVersions) &&
            name[at + kInfoCommaAt] == kFieldSeparator) {
            bool letters = true;
            for (std::size_t i = flags; i < name.size() && letters; ++i) {
                letters = std::isalpha(static_cast<unsigned char>(name[i])) != 0;
            }
            if (letters) {
                return at;
            }
        }
    }
    return std::string::npos;
}

// Where the size field starting with the ',' at `at` ends, or npos when
// none starts there: ",S=" or ",W=", digits, then ',' or the end.
std::size_t SizeFieldEnd(const std::string& name, std::size_t at) {
    const std::size_t digits = at + kSizeFieldHeadLength;
    if (digits >= name.size() || !OneOf(name[at + kSizeFieldNameAt], kSizeFieldNames) ||
        name[at + kSizeFieldMarkAt] != kFieldValueMark) {
        return std::string::npos;
    }
    std::size_t end = name.find_first_not_of(kDigits, digits);
    if (end == std::string::npos) {
        end = name.size();
    }
    const bool whole = end > digits && (end == name.size() || name[end] == kFieldSeparator);
    return whole ? end : std::string::npos;
}

// `name` without the Maildir info and size fields, which would lie
// about the saved file (it is unread, and of another size).
std::string WithoutMaildirFields(std::string name) {
    const std::size_t info = InfoStart(name);
    if (info != std::string::npos) {
        name.erase(info);
    }
    for (std::size_t at = name.find(kFieldSeparator); at != std::string::npos;
         at = name.find(kFieldSeparator, at)) {
        const std::size_t end = SizeFieldEnd(name, at);
        if (end == std::string::npos) {
            ++at;
        } else {
            name.erase(at, end - at);
        }
    }
    return name;
}

// Appends `byte` as '%' and two hex digits.
void AppendEscaped(std::string* out, unsigned char byte) {
    *out += kEscapeMark;
    *out += kUpperHexDigits[byte >> kNibbleBits];
    *out += kUpperHexDigits[byte & kNibbleMask];
}

// Whether an ASCII byte may not stand in a file's name as it is.
bool MustEscape(unsigned char byte, bool windowsNames) {
    return byte < kFirstPrintable || byte == kDelete || byte == kEscapeMark ||
           OneOf(static_cast<char>(byte), kSeparators) ||
           (windowsNames && OneOf(static_cast<char>(byte), kWindowsForbidden));
}

// `name` fit to be a file's name: no control byte or character (a newline
// or an escape sequence in a name would follow the file into every
// listing and script), no path separator and, on Windows, none of the
// characters it forbids; each written as '%' and hex. Characters of other
// scripts, and bytes of a name that is not UTF-8 but are no controls, stay.
std::string SafeFileName(const std::string& name) {
    const bool windowsNames = PathSeparator() == '\\';
    std::string safe;
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        std::uint32_t codePoint = 0;
        const std::size_t length =
            byte < kFirstNonAscii ? 1 : Utf8CharacterAt(name, at, &codePoint);
        if (length == 0) {
            // Not UTF-8: the byte alone, a C1 control to some terminals.
            if (byte <= kLastC1) {
                AppendEscaped(&safe, byte);
            } else {
                safe += static_cast<char>(byte);
            }
            ++at;
            continue;
        }
        const bool c1 = length > 1 && codePoint >= kFirstC1 && codePoint <= kLastC1;
        for (std::size_t i = at; i < at + length; ++i) {
            const auto part = static_cast<unsigned char>(name[i]);
            if (c1 || (length == 1 && MustEscape(part, windowsNames))) {
                AppendEscaped(&safe, part);
            } else {
                safe += static_cast<char>(part);
            }
        }
        at += length;
    }
    return safe;
}

} // namespace

std::string ReplacementFileName(const std::string& sourcePath, unsigned attempt) {
    std::string name = SafeFileName(WithoutMaildirFields(BaseName(sourcePath)));
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

std::string DeliveredReplacement(const std::string& envelopeSender, const std::string& message) {
    std::string sender;
    for (const char c : envelopeSender) {
        if (c != '\r' && c != '\n') {
            sender += c;
        }
    }
    sender = TrimBlanks(sender);
    if (sender.empty() || sender.front() != kAddressOpen || sender.back() != kAddressClose) {
        sender = kAddressOpen + sender + kAddressClose;
    }
    return kReturnPathField + sender + kCrlf + message;
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
    TrustedWalk walk;
    const bool made = WalkTrustedPath(path, &walk, reason) && MakeWalkedFolders(&walk, reason);
    CloseTrustedWalk(&walk);
    return made;
}
