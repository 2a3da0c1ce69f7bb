// Reading a message file; see message_file.h.
#include "tools/message_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

} // namespace

bool ReadMessageFile(const std::string& path, std::string* content, std::string* reason) {
    content->clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *reason = std::strerror(errno);
        return false;
    }
    char chunk[kReadChunk];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content->append(chunk, got);
    }
    const bool failed = std::ferror(file) != 0;
    if (failed) {
        *reason = std::strerror(errno);
    }
    std::fclose(file);
    return !failed;
}
