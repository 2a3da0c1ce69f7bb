// Well-formed UTF-8; see utf8_character.h.
#include "platform/utf8_character.h"

namespace {

// The well-formed UTF-8 sequences, by their first byte: how long they are,
// the range their second byte must be in (narrower after some first bytes:
// no overlong forms, no surrogates, nothing past U+10FFFF), and the bits
// of the first byte that are the code point's.
struct Utf8Lead {
    unsigned char first;
    unsigned char last;
    std::size_t length;
    unsigned char secondLow;
    unsigned char secondHigh;
    unsigned char payloadMask;
};

constexpr Utf8Lead kUtf8Leads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF, 0x1F}, {0xE0, 0xE0, 3, 0xA0, 0xBF, 0x0F},
    {0xE1, 0xEC, 3, 0x80, 0xBF, 0x0F}, {0xED, 0xED, 3, 0x80, 0x9F, 0x0F},
    {0xEE, 0xEF, 3, 0x80, 0xBF, 0x0F}, {0xF0, 0xF0, 4, 0x90, 0xBF, 0x07},
    {0xF1, 0xF3, 4, 0x80, 0xBF, 0x07}, {0xF4, 0xF4, 4, 0x80, 0x8F, 0x07},
};
constexpr unsigned char kFirstContinuation = 0x80;
constexpr unsigned char kLastContinuation = 0xBF;
constexpr unsigned char kContinuationMask = 0x3F;
constexpr unsigned kContinuationBits = 6;

bool IsContinuation(unsigned char byte) {
    return byte >= kFirstContinuation && byte <= kLastContinuation;
}

} // namespace

std::size_t Utf8CharacterAt(const std::string& text, std::size_t at, std::uint32_t* codePoint) {
    const auto first = static_cast<unsigned char>(text[at]);
    for (const Utf8Lead& lead : kUtf8Leads) {
        if (first < lead.first || first > lead.last) {
            continue;
        }
        if (text.size() - at < lead.length) {
            return 0;
        }
        const auto second = static_cast<unsigned char>(text[at + 1]);
        if (second < lead.secondLow || second > lead.secondHigh) {
            return 0;
        }
        std::uint32_t value = first & lead.payloadMask;
        for (std::size_t i = 1; i < lead.length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if (!IsContinuation(next)) {
                return 0;
            }
            value = (value << kContinuationBits) | (next & kContinuationMask);
        }
        *codePoint = value;
        return lead.length;
    }
    return 0;
}
