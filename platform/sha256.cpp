// SHA-256; see sha256.h. Written from FIPS 180-4, section 6.2.
#include "platform/sha256.h"

#include "platform/ascii_text.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kInitialState[] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                           0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t kRoundConstants[] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::size_t kRounds = 64;
constexpr std::size_t kScheduleFromBlock = 16;
constexpr std::size_t kLengthBytes = 8;
constexpr unsigned char kPaddingStart = 0x80;
constexpr unsigned kBitsPerByte = 8;

std::uint32_t RotateRight(std::uint32_t value, unsigned bits) {
    return (value >> bits) | (value << (32u - bits));
}

std::uint32_t BigEndianWord(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

} // namespace

Sha256::Sha256() {
    std::memcpy(state_, kInitialState, sizeof(state_));
}

void Sha256::Compress(const unsigned char* block) {
    std::uint32_t schedule[kRounds];
    for (std::size_t i = 0; i < kScheduleFromBlock; ++i) {
        schedule[i] = BigEndianWord(block + 4 * i);
    }
    for (std::size_t i = kScheduleFromBlock; i < kRounds; ++i) {
        const std::uint32_t w15 = schedule[i - 15];
        const std::uint32_t w2 = schedule[i - 2];
        const std::uint32_t s0 = RotateRight(w15, 7) ^ RotateRight(w15, 18) ^ (w15 >> 3);
        const std::uint32_t s1 = RotateRight(w2, 17) ^ RotateRight(w2, 19) ^ (w2 >> 10);
        schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (std::size_t i = 0; i < kRounds; ++i) {
        const std::uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
        const std::uint32_t choice = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + choice + kRoundConstants[i] + schedule[i];
        const std::uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + s0 + majority;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void Sha256::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    totalBytes_ += size;
    while (size > 0) {
        const std::size_t take = std::min(size, kBlockBytes - blockUsed_);
        std::memcpy(block_ + blockUsed_, bytes, take);
        blockUsed_ += take;
        bytes += take;
        size -= take;
        if (blockUsed_ == kBlockBytes) {
            Compress(block_);
            blockUsed_ = 0;
        }
    }
}

std::string Sha256::HexDigest() {
    const std::uint64_t bits = totalBytes_ * kBitsPerByte;
    const unsigned char start = kPaddingStart;
    Update(&start, 1);
    const unsigned char zero = 0;
    while (blockUsed_ != kBlockBytes - kLengthBytes) {
        Update(&zero, 1);
    }
    unsigned char length[kLengthBytes];
    for (std::size_t i = 0; i < kLengthBytes; ++i) {
        length[i] = static_cast<unsigned char>(bits >> (kBitsPerByte * (kLengthBytes - 1 - i)));
    }
    Update(length, kLengthBytes);
    std::string hex;
    for (std::uint32_t word : state_) {
        for (int shift = 28; shift >= 0; shift -= 4) {
            hex += kLowerHexDigits[(word >> shift) & 0xFu];
        }
    }
    return hex;
}
