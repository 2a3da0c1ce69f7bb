// Message-ID numbers and the Message-ID line; see message_id.h.
#include "daemon/message_id.h"

#include "daemon/platform.h"

#include <atomic>
#include <cstring>

namespace {

constexpr const char* kMessageIdPrefix = "Message-ID: <ar";
constexpr const char* kMessageIdAt = "@";
constexpr const char* kMessageIdSuffix = ">\r\n";
constexpr std::size_t kMaxDecimalDigits = 10; // 4294967295
constexpr std::uint32_t kDecimalBase = 10;

// The last number issued, in the low 32 bits, and whether there is one yet,
// in bit 32. One word, so that a single compare-and-swap updates both.
constexpr std::uint64_t kIssuedFlag = std::uint64_t{1} << 32;
constexpr std::uint64_t kNumberMask = 0xFFFFFFFFu;
constexpr std::uint64_t kNothingIssued = 0;

std::atomic<std::uint64_t> g_lastIssued{kNothingIssued};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "the sequence must not fall back to a lock");

// The number to issue at clock count `now`, given the previous state.
std::uint32_t ChooseNumber(std::uint64_t state, std::uint32_t now) {
    if ((state & kIssuedFlag) == 0) {
        return now;
    }
    const auto last = static_cast<std::uint32_t>(state & kNumberMask);
    return CountIsLater(now, last) ? now : last + 1u; // unsigned: wraps to 0
}

// Writes the decimal digits of `value` at `out`; returns how many.
std::size_t WriteDecimal(char* out, std::uint32_t value) {
    char reversed[kMaxDecimalDigits];
    std::size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % kDecimalBase);
        value /= kDecimalBase;
    } while (value != 0);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = reversed[count - 1 - i];
    }
    return count;
}

// Appends `text` at `out`; returns the position after it.
char* Append(char* out, const char* text) {
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

} // namespace

bool CountIsLater(std::uint32_t a, std::uint32_t b) {
    constexpr std::uint32_t kHalfRange = 0x80000000u;
    const std::uint32_t ahead = a - b; // unsigned: distance on the wrapping clock
    return ahead != 0 && ahead < kHalfRange;
}

std::uint32_t IssueMessageIdNumber() {
    const std::uint32_t now = PlatformMilliseconds();
    std::uint64_t state = g_lastIssued.load();
    std::uint32_t number = ChooseNumber(state, now);
    while (!g_lastIssued.compare_exchange_weak(state, kIssuedFlag | number)) {
        number = ChooseNumber(state, now); // another call got in first: go past its number
    }
    return number;
}

void ResetMessageIdSequence() {
    g_lastIssued.store(kNothingIssued);
}

std::size_t MessageIdLineCapacity(const char* domain) {
    return std::strlen(kMessageIdPrefix) + kMaxDecimalDigits + std::strlen(kMessageIdAt) +
           std::strlen(domain) + std::strlen(kMessageIdSuffix) + 1;
}

void FormatMessageIdLine(char* out, std::uint32_t number, const char* domain) {
    char* at = Append(out, kMessageIdPrefix);
    at += WriteDecimal(at, number);
    at = Append(at, kMessageIdAt);
    at = Append(at, domain);
    at = Append(at, kMessageIdSuffix);
    *at = '\0';
}
