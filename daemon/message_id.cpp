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

// The state of the sequence, in one word so that a single compare-and-swap
// updates all of it:
//   bits 0-31   the last number issued;
//   bits 32-62  how far that number ran ahead of the clock reading taken
//               when it was issued (0 when the number was the clock);
//   bit 63      whether any number has been issued yet.
// The reading itself is the number less the lead. The lead grows by at most
// one per number issued within one millisecond, so 31 bits never fill.
constexpr std::uint64_t kIssuedFlag = std::uint64_t{1} << 63;
constexpr unsigned kLeadShift = 32;
constexpr std::uint64_t kNumberMask = 0xFFFFFFFFu;
constexpr std::uint64_t kLeadMask = 0x7FFFFFFFu;
constexpr std::uint64_t kNothingIssued = 0;

std::atomic<std::uint64_t> g_sequence{kNothingIssued};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "the sequence must not fall back to a lock");

std::uint64_t PackState(std::uint32_t number, std::uint32_t reading) {
    const std::uint32_t lead = number - reading; // unsigned: distance on the clock
    return kIssuedFlag | ((lead & kLeadMask) << kLeadShift) | number;
}

// The number to issue at clock reading `now`, given the previous state.
// The clock never runs backwards; it only wraps to 0 after 2^32 ms (49.7
// days). So the time since the last issue is `now` less the reading taken
// then, on the wrapping clock, and the clock has moved past the last number
// exactly when that time exceeds the number's lead over its reading. Then
// the number is the clock, after any quiet spell shorter than the clock's
// cycle; otherwise (the same millisecond, or a burst in which the numbers
// ran ahead of the clock) it is the last number plus one.
std::uint32_t ChooseNumber(std::uint64_t state, std::uint32_t now) {
    if ((state & kIssuedFlag) == 0) {
        return now;
    }
    const auto last = static_cast<std::uint32_t>(state & kNumberMask);
    const auto lead = static_cast<std::uint32_t>((state >> kLeadShift) & kLeadMask);
    const std::uint32_t lastReading = last - lead;   // unsigned: wraps like the clock
    const std::uint32_t elapsed = now - lastReading; // unsigned: wraps like the clock
    return elapsed > lead ? now : last + 1u;         // unsigned: wraps to 0
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

std::uint32_t IssueMessageIdNumber() {
    // The clock is read after the state is loaded, so that the reading is
    // never older than the one stored with it. When another call gets in
    // first, its state is newer than our reading could know: read again.
    std::uint64_t state = g_sequence.load();
    std::uint32_t now = PlatformMilliseconds();
    std::uint32_t number = ChooseNumber(state, now);
    while (!g_sequence.compare_exchange_weak(state, PackState(number, now))) {
        now = PlatformMilliseconds();
        number = ChooseNumber(state, now);
    }
    return number;
}

void ResetMessageIdSequence() {
    g_sequence.store(kNothingIssued);
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
