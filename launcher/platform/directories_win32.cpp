// Directories on Windows: FindFirstFileA's listing, whose wildcards and order
// every other system follows.
#include <windows.h>

#include <string>
#include <vector>

#include "directories.h"
#include "files.h"
#include "paths.h"

namespace tessvik::platform {

namespace {

// Opening a directory needs backup semantics; no access rights are asked for,
// only its identity. Links and junctions are followed to their target.
std::string directoryIdentity(const std::string& directory) {
    HANDLE handle =
        CreateFileA(directory.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION information;
    const BOOL known = GetFileInformationByHandle(handle, &information);
    CloseHandle(handle);
    if (!known) return {};
    return std::to_string(information.dwVolumeSerialNumber) + ":" +
           std::to_string(information.nFileIndexHigh) + ":" +
           std::to_string(information.nFileIndexLow);
}

}  // namespace

bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity) {
    if (identity != nullptr) *identity = directoryIdentity(directory);
    const std::string search = joinPath(directory, pattern);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(search.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return false;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        entries.push_back({name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return true;
}

bool makeDirectory(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    return fileStatus(path).isDirectory();
}

bool canCreateFilesIn(const std::string& directory) {
    std::vector<char> name(MAX_PATH + 1);
    // Creates a file with a name of its own choosing in directory.
    if (GetTempFileNameA(directory.c_str(), "tsv", 0, name.data()) == 0) return false;
    DeleteFileA(name.data());
    return true;
}

bool removeTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link or a junction goes as itself: its target is never entered.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return directory ? RemoveDirectoryA(path.c_str()) != 0 : DeleteFileA(path.c_str()) != 0;
    }
    if (!directory) return removeFile(path);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..") removeTree(path + pathSeparator + name);
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(path.c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace tessvik::platform
