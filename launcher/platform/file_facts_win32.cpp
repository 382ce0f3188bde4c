// What NTFS tells about a file beyond its size and last write: which file it
// is (volume serial number and file index), when its entry last changed, and
// the room left beside it.
#include <windows.h>

#include <string>

#include "handles_win32.h"
#include "platform.h"

namespace platform {

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity result;
    // Attributes only, shared with every writer; a directory needs the
    // backup flag to be opened at all.
    OwnedHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    FILE_BASIC_INFO basic;
    if (!file || !GetFileInformationByHandle(file.get(), &information) ||
        !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
        return result;
    }
    result.known = true;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    result.file = std::to_string(information.dwVolumeSerialNumber) + ':' + std::to_string(index);
    result.changed = basic.ChangeTime.QuadPart;
    return result;
}

std::optional<std::uint64_t> freeSpace(const std::string& directory) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    // What this user may still write, quotas counted.
    return available.QuadPart;
}

}  // namespace platform
