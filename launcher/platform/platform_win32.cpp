// The platform layer on Windows: the narrow (ANSI) file interfaces of
// kernel32, the process's own UTF-16 command line, and the command
// processor's PAUSE.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "modified_utf8.h"
#include "platform.h"

namespace platform {

const char pathSeparator = '\\';
const char classPathSeparator = ';';
const char* const runtimeLibraryName = "jvm.dll";
const char* const imageLibraryName = "jimage.dll";
const char* const javaProgramName = "java.exe";

namespace {

// Paths of the executable are never longer than this many bytes (the system's
// own limit for long paths is 32767 UTF-16 units, at most three bytes each).
constexpr DWORD longestExecutablePath = 32767 * 3 + 1;

}  // namespace

std::string executablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) return {};
        // A path that fills the buffer has been cut: retry with more room.
        if (length < size && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::string(buffer.data(), length);
        }
        if (size >= longestExecutablePath) return {};
        buffer.resize(size * 2);
    }
}

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) return arguments;
    for (int i = 0; i < count; ++i) {
        std::u16string text;
        for (const wchar_t* unit = split[i]; *unit != L'\0'; ++unit) {
            text += static_cast<char16_t>(*unit);
        }
        arguments.push_back(modifiedUtf8FromUtf16(text));
    }
    LocalFree(split);
    return arguments;
}

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
    const std::string search = pattern.empty() ? directory : directory + pathSeparator + pattern;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(search.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return false;
    do {
        entries.push_back(
            {entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return true;
}

bool isRegularFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

void setLibraryDirectory(const std::string& directory) { SetDllDirectoryA(directory.c_str()); }

ResidentLibrary ResidentLibrary::load(const std::string& path) {
    return ResidentLibrary(reinterpret_cast<void*>(LoadLibraryA(path.c_str())));
}

void* ResidentLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void pause() {
    std::cout.flush();
    std::cerr.flush();
    std::system("PAUSE");
}

void unsetEnvironment(const char* name) { _putenv_s(name, ""); }

}  // namespace platform
