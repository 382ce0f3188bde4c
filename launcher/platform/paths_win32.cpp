// Paths on Windows, through the narrow (ANSI) interfaces like every other path
// of the launcher: UTF-8 under its manifest (Windows 10 1903 and later).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "paths.h"

namespace tessvik::platform {

const char pathSeparator = '\\';
const char classPathSeparator = ';';

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

bool executablePathRepresentable() {
    if (GetACP() == CP_UTF8) return true;
    // The longest path the system has, in UTF-16 units.
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return true;  // nothing known about its characters
    // Best-fit replacements ("a" for "ā") would name another file: they count
    // as characters the code page lacks.
    BOOL lacking = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(length),
                        nullptr, 0, nullptr, &lacking);
    return !lacking;
}

std::string resolvedPath(const std::string& path) { return path; }

bool setCurrentDirectory(const std::string& directory) {
    return SetCurrentDirectoryA(directory.c_str()) != 0;
}

std::string currentDirectory() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string directory(size, '\0');
    const DWORD length = size == 0 ? 0 : GetCurrentDirectoryA(size, &directory[0]);
    directory.resize(length < size ? length : 0);
    return directory;
}

std::string temporaryDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    std::string directory(path, length < sizeof path ? length : 0);
    while (directory.size() > 3 && isPathSeparator(directory.back())) directory.pop_back();
    return directory;
}

std::string userCacheDirectory() {
    const char* local = std::getenv("LOCALAPPDATA");
    return local != nullptr ? std::string(local) : std::string();
}

// Windows keeps a user's state beside the cache, in the user's local
// application data.
std::string userStateDirectory() { return userCacheDirectory(); }

}  // namespace tessvik::platform
