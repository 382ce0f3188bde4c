// Files on Windows, through the narrow (ANSI) interfaces like every
// other path of the launcher.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "windows_handle.h"
#include "files.h"
#include "paths.h"

namespace tessvik::platform {

using process::OwnedHandle;

FileStatus fileStatus(const std::string& path) {
    FileStatus result;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return result;
    result.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::directory
                  : (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0  ? FileKind::other
                                                                          : FileKind::regularFile;
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

FileContent readFile(const std::string& path, std::uint64_t limit, OverLimit overLimit) {
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
    return readOpenFile(static_cast<std::uint64_t>(size.QuadPart), limit, overLimit,
                        [&file](char* buffer, std::size_t count) -> long long {
                            DWORD got = 0;
                            const auto chunk =
                                static_cast<DWORD>(std::min<std::size_t>(count, 1u << 20));
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

bool removeFile(const std::string& path) {
    // The Java VM writes its archives read-only, and a read-only file cannot
    // be deleted.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
    std::vector<char> name(MAX_PATH + 1);
    if (GetTempFileNameA(directoryOf(path).c_str(), "tsv", 0, name.data()) == 0) return false;
    const std::string temporary(name.data());
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    if (written) {
        DWORD count = 0;
        written =
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
            count == bytes.size();
        written = CloseHandle(file) && written;
    }
    written = written && renameFile(temporary, path);
    if (!written) DeleteFileA(temporary.c_str());
    return written;
}

bool keepPrivate(const std::string&) { return true; }

bool removeFileNow(const char* path) { return DeleteFileA(path) != 0; }

bool renameFileNow(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

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

std::string volumeOf(const std::string& path) {
    // A directory needs the backup flag to be opened at all.
    const OwnedHandle file(CreateFileA(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.get(), &information)) return {};
    return std::to_string(information.dwVolumeSerialNumber);
}

std::optional<std::uint64_t> freeSpace(const std::string& directory) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    // What this user may still write, quotas counted.
    return available.QuadPart;
}

}  // namespace tessvik::platform
