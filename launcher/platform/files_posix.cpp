// File operations on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

// An environment value that names an absolute directory, else "".
std::string absoluteDirectoryIn(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

}  // namespace

FileStatus fileStatus(const std::string& path) {
    FileStatus result;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return result;
    result.exists = true;
    result.isDirectory = S_ISDIR(status.st_mode);
    result.size = static_cast<std::uint64_t>(status.st_size);
    result.modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return result;
}

std::string resolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

std::string userCacheDirectory() {
    // The XDG base directory rules: a relative value counts as unset.
    std::string cache = absoluteDirectoryIn("XDG_CACHE_HOME");
    if (!cache.empty()) return cache;
    const std::string home = absoluteDirectoryIn("HOME");
    return home.empty() ? std::string() : home + "/.cache";
}

bool makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    return fileStatus(path).isDirectory;
}

bool canCreateFilesIn(const std::string& directory) {
    std::string pattern = directory + "/.write-test-XXXXXX";
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return false;
    close(descriptor);
    unlink(pattern.c_str());
    return true;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

}  // namespace platform
