// The stand-in server's private temporary folder; see private_temp_folder.h.
#include "standin/private_temp_folder.h"

#include "platform/private_folder.h"
#include "standin/host_contract.h"

#include <cstdlib>

namespace {

using host_contract::kTempPathBytes;

// Made once per process, on the first call.
struct MadeFolder {
    std::string path;
    std::string note;
    std::string failure;
};

const MadeFolder& Made(std::size_t longestName) {
    // The function-local static is initialised on one thread even when
    // several threads ask at once.
    static const MadeFolder made = [longestName] {
        MadeFolder folder;
        folder.path = MakePrivateFolder(longestName, kTempPathBytes, &folder.note, &folder.failure);
        if (!folder.path.empty()) {
            std::atexit(&RemovePrivateTempFolder);
        }
        return folder;
    }();
    return made;
}

} // namespace

std::string PrivateTempFolder(std::size_t longestName, std::string* reason) {
    const MadeFolder& made = Made(longestName);
    if (made.path.empty()) {
        *reason = made.failure;
        return std::string();
    }
    if (made.path.size() + longestName >= kTempPathBytes) {
        *reason =
            "the temporary folder " + made.path + " is too long for the server's 128-byte path";
        return std::string();
    }
    return made.path;
}

std::string PrivateTempFolderNote(std::size_t longestName) {
    return Made(longestName).note;
}

void RemovePrivateTempFolder() {
    RemovePrivateFolder();
}

void RemovePrivateTempFolderOnInterrupt() {
    RemovePrivateFolderOnInterrupt();
}
