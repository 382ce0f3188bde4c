// File operations on Windows, through the narrow (ANSI) interfaces like every
// other path of the launcher.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform.h"

namespace platform {

FileStatus fileStatus(const std::string& path) {
    FileStatus result;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return result;
    result.exists = true;
    result.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    result.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    result.modified = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    return result;
}

std::string resolvedPath(const std::string& path) { return path; }

std::string userCacheDirectory() {
    const char* local = std::getenv("LOCALAPPDATA");
    return local != nullptr ? std::string(local) : std::string();
}

bool makeDirectory(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    return fileStatus(path).isDirectory;
}

bool canCreateFilesIn(const std::string& directory) {
    std::vector<char> name(MAX_PATH + 1);
    // Creates a file with a name of its own choosing in directory.
    if (GetTempFileNameA(directory.c_str(), "tsv", 0, name.data()) == 0) return false;
    DeleteFileA(name.data());
    return true;
}

bool removeFile(const std::string& path) {
    // The Java VM writes its archives read-only, and a read-only file cannot
    // be deleted.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace platform
