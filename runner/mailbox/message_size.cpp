// The size limit on a message; see message_size.h.
#include "runner/mailbox/message_size.h"

#include <cctype>
#include <cstddef>

namespace {

constexpr unsigned kDecimalBase = 10;
constexpr std::uint64_t kUnitStep = 1024;

struct SizeUnit {
    char letter;
    std::uint64_t bytes;
};

// Largest first, for MessageSizeText.
constexpr SizeUnit kUnits[] = {
    {'G', kUnitStep* kUnitStep* kUnitStep},
    {'M', kUnitStep* kUnitStep},
    {'K', kUnitStep},
};

// The bytes one of the unit letter stands for; 0 when it is none.
std::uint64_t UnitBytes(char letter) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const SizeUnit& unit : kUnits) {
        if (unit.letter == upper) {
            return unit.bytes;
        }
    }
    return 0;
}

} // namespace

bool ParseMessageSize(const std::string& text, std::uint64_t* bytes) {
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0) {
        const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
        if (number > (kNoMessageSizeLimit - digit) / kDecimalBase) {
            return false;
        }
        number = number * kDecimalBase + digit;
        ++digits;
    }
    if (digits == 0 || text.size() - digits > 1 || number == 0) {
        return false;
    }
    std::uint64_t unit = 1;
    if (digits < text.size()) {
        unit = UnitBytes(text[digits]);
        if (unit == 0 || number > kNoMessageSizeLimit / unit) {
            return false;
        }
    }
    *bytes = number * unit;
    return true;
}

std::string MessageSizeText(std::uint64_t bytes) {
    for (const SizeUnit& unit : kUnits) {
        if (bytes >= unit.bytes && bytes % unit.bytes == 0) {
            return std::to_string(bytes / unit.bytes) + unit.letter;
        }
    }
    return std::to_string(bytes);
}
