// File operations on Windows, through the narrow (ANSI) interfaces like every
// other path of the launcher.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bounded_read.h"
#include "handles_win32.h"
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

const std::int64_t fileTimeUnitsPerSecond = 10000000;

std::int64_t fileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                                     now.dwLowDateTime);
}

bool isSymbolicLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FileContent withRegularFile(const std::string& path, const OpenFileUse& use) {
    FileContent content;
    // The attributes of a link are its own, so a dangling link is there (and
    // then cannot be opened).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        content.outcome = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                              ? FileReadOutcome::missing
                              : FileReadOutcome::cannotOpen;
        return content;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        content.outcome = FileReadOutcome::notRegularFile;
        return content;
    }
    const OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file) {
        content.outcome = FileReadOutcome::cannotOpen;
        return content;
    }
    if (!GetFileSizeEx(file.get(), &size)) {
        content.outcome = FileReadOutcome::readError;
        return content;
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        content.outcome = FileReadOutcome::notRegularFile;
        return content;
    }
    return use(static_cast<std::uint64_t>(size.QuadPart),
               [&file](char* buffer, std::size_t count) -> long long {
                   DWORD got = 0;
                   const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 20));
                   if (!ReadFile(file.get(), buffer, chunk, &got, nullptr)) return -1;
                   return got;
               });
}

std::string textModeText(const std::string& bytes) {
    // The C runtime's text mode: a file ends at Ctrl-Z, and CR LF reads as LF.
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i];
    }
    return text;
}

bool renameFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool setCurrentDirectory(const std::string& directory) {
    return SetCurrentDirectoryA(directory.c_str()) != 0;
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

bool writeNewFile(const std::string& path, const std::string& bytes) {
    // CREATE_NEW fails on any name that is there, a link's too.
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool whole =
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    // Closed first: a file open without sharing cannot be deleted.
    file.reset();
    if (!whole) DeleteFileA(path.c_str());
    return whole;
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

}  // namespace platform
