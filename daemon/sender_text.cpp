// The configured sender as text; see sender_text.h.
#include "daemon/sender_text.h"

#include <cstring>

namespace {

constexpr char kAddressAt = '@';
constexpr char kAddressClose = '>';

// True for the white space a server may trim around an address.
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

const char* TrimmedSender(const char* sender, std::size_t* length) {
    while (IsBlank(*sender)) {
        ++sender;
    }
    std::size_t count = std::strlen(sender);
    while (count != 0 && IsBlank(sender[count - 1])) {
        --count;
    }
    *length = count;
    return sender;
}

const char* SenderDomain(const char* sender, std::size_t* length) {
    std::size_t senderLength = 0;
    const char* text = TrimmedSender(sender, &senderLength);
    const char* end = text + senderLength;
    const char* domain = end; // empty unless an "@" is found
    for (const char* at = text; at != end; ++at) {
        if (*at == kAddressAt) {
            domain = at + 1;
        }
    }
    std::size_t count = static_cast<std::size_t>(end - domain);
    if (count != 0 && domain[count - 1] == kAddressClose) {
        --count;
    }
    *length = count;
    return domain;
}
