// Whole writes on POSIX systems; see whole_writes.h.
#include "platform/whole_writes.h"

#include <cerrno>
#include <unistd.h>

bool WriteWhole(std::intptr_t file, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(static_cast<int>(file), data + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}
