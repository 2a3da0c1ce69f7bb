// Temporary files for the reference host; see temp_files.h.
#include "standin/temp_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string TempDirectory() {
#ifdef _WIN32
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    return (length > 0 && length <= MAX_PATH) ? std::string(buffer) : std::string(".\\");
#else
    const char* dir = std::getenv("TMPDIR");
    std::string path = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
    if (path.back() != '/') {
        path += '/';
    }
    return path;
#endif
}

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

} // namespace

std::string UniqueTempPath(unsigned serial) {
    std::ostringstream name;
    name << TempDirectory() << "velmora-" << ProcessId() << '-' << serial << ".tmp";
    return name.str();
}

bool WriteLinesToFile(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) {
        out << line;
    }
    return static_cast<bool>(out);
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream data;
    data << in.rdbuf();
    *content = data.str();
    return true;
}

bool FileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}
