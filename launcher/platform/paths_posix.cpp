// Paths on POSIX systems: the executable by /proc/self/exe, the user's folders
// by the XDG base directory rules.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "paths.h"

namespace tessvik::platform {

const char pathSeparator = '/';
const char classPathSeparator = ':';

namespace {

// An environment value that names an absolute directory, else "": the XDG
// rules read a relative value as unset.
std::string absoluteDirectoryIn(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

// $XDG_<kind>_HOME, else below $HOME.
std::string userDirectory(const char* variable, const char* belowHome) {
    std::string directory = absoluteDirectoryIn(variable);
    if (!directory.empty()) return directory;
    const std::string home = absoluteDirectoryIn("HOME");
    return home.empty() ? std::string() : home + belowHome;
}

}  // namespace

std::string executablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);  // the path may have been cut: retry
    }
}

// Narrow strings are whatever bytes the file system gave: every name fits.
bool executablePathRepresentable() { return true; }

std::string resolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

bool setCurrentDirectory(const std::string& directory) { return chdir(directory.c_str()) == 0; }

std::string currentDirectory() {
    char* directory = getcwd(nullptr, 0);
    if (directory == nullptr) return {};
    std::string result(directory);
    std::free(directory);
    return result;
}

std::string temporaryDirectory() {
    const std::string directory = absoluteDirectoryIn("TMPDIR");
    return directory.empty() ? std::string("/tmp") : directory;
}

std::string userCacheDirectory() { return userDirectory("XDG_CACHE_HOME", "/.cache"); }

std::string userStateDirectory() { return userDirectory("XDG_STATE_HOME", "/.local/state"); }

}  // namespace tessvik::platform
