// SHA-256 (FIPS 180-4), for checking the module file against SHA256SUMS
// where the system offers no hash of its own.
#ifndef VELMORA_PLATFORM_SHA256_H
#define VELMORA_PLATFORM_SHA256_H

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
  public:
    Sha256();

    // Adds `size` bytes to the hashed text.
    void Update(const void* data, std::size_t size);

    // The hash of everything added, in lower-case hex. Call it once.
    std::string HexDigest();

  private:
    static constexpr std::size_t kBlockBytes = 64;
    static constexpr std::size_t kStateWords = 8;

    void Compress(const unsigned char* block);

    std::uint32_t state_[kStateWords];
    unsigned char block_[kBlockBytes];
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};

#endif
