// Whole writes on Windows; see whole_writes.h.
#include "platform/whole_writes.h"

#include <windows.h>

bool WriteWhole(std::intptr_t file, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(size - done);
        if (!WriteFile(reinterpret_cast<HANDLE>(file), data + done, chunk, &wrote, nullptr) ||
            wrote == 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}
