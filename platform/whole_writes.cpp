// Whole writes; see whole_writes.h.
#include "platform/whole_writes.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

bool WriteWhole(std::intptr_t file, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
#ifdef _WIN32
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(size - done);
        if (!WriteFile(reinterpret_cast<HANDLE>(file), data + done, chunk, &wrote, nullptr) ||
            wrote == 0) {
            return false;
        }
#else
        const ssize_t wrote = write(static_cast<int>(file), data + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
#endif
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}
