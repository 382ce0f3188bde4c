// File operations on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bounded_read.h"
#include "platform.h"

namespace platform {

namespace {

// An environment value that names an absolute directory, else "".
std::string absoluteDirectoryIn(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

// Closes a descriptor when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
};

// Removes everything in the open directory, links as links. True when it is
// empty afterwards.
bool emptyDirectory(int directory) {
    DIR* listing = fdopendir(directory);
    if (listing == nullptr) {
        close(directory);
        return false;
    }
    bool emptied = true;
    while (const dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat status;
        if (fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            // O_NOFOLLOW: a directory replaced by a link meanwhile is not entered.
            const int below =
                openat(directory, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (below < 0 || !emptyDirectory(below)) emptied = false;
        }
        if (unlinkat(directory, name, S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0) != 0 &&
            errno != ENOENT) {
            emptied = false;
        }
    }
    closedir(listing);
    return emptied;
}

FileReadOutcome failedOpen(const std::string& path) {
    struct stat own;
    // A dangling link is there, only its target is not.
    if (errno == ENOENT && lstat(path.c_str(), &own) != 0) return FileReadOutcome::missing;
    return FileReadOutcome::cannotOpen;
}

}  // namespace

FileContent withRegularFile(const std::string& path, const OpenFileUse& use) {
    FileContent content;
    struct stat status;
    // Checked before opening as well: opening a FIFO for reading would wait
    // for a writer. O_NONBLOCK covers one put in its place meanwhile.
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        content.outcome = FileReadOutcome::notRegularFile;
        return content;
    }
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        content.outcome = failedOpen(path);
        return content;
    }
    if (fstat(file.get(), &status) != 0) {
        content.outcome = FileReadOutcome::readError;
        return content;
    }
    if (!S_ISREG(status.st_mode)) {
        content.outcome = FileReadOutcome::notRegularFile;
        return content;
    }
    return use(static_cast<std::uint64_t>(status.st_size),
               [&file](char* buffer, std::size_t count) -> long long {
                   for (;;) {
                       const ssize_t got = read(file.get(), buffer, count);
                       if (got >= 0 || errno != EINTR) return got;
                   }
               });
}

std::string textModeText(const std::string& bytes) { return bytes; }

bool isSymbolicLink(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool renameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool setCurrentDirectory(const std::string& directory) { return chdir(directory.c_str()) == 0; }

std::string currentDirectory() {
    char* directory = getcwd(nullptr, 0);
    if (directory == nullptr) return {};
    std::string result(directory);
    std::free(directory);
    return result;
}

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

const std::int64_t fileTimeUnitsPerSecond = 1000000000;

std::int64_t fileTimeNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * fileTimeUnitsPerSecond + now.tv_nsec;
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

std::string userStateDirectory() {
    std::string state = absoluteDirectoryIn("XDG_STATE_HOME");
    if (!state.empty()) return state;
    const std::string home = absoluteDirectoryIn("HOME");
    return home.empty() ? std::string() : home + "/.local/state";
}

bool makeDirectory(const std::string& path) {
    // The user's own: nobody else reads what the launcher keeps there.
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
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

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".tmp-XXXXXX";
    // mkstemp: a new file of this user's alone, never an existing one or a link.
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    bool written = true;
    for (std::size_t at = 0; written && at < bytes.size();) {
        const ssize_t count = write(fd, bytes.data() + at, bytes.size() - at);
        if (count < 0 && errno == EINTR) continue;
        written = count > 0;
        if (written) at += static_cast<std::size_t>(count);
    }
    written = close(fd) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) unlink(temporary.c_str());
    return written;
}

bool removeFileNow(const char* path) { return unlink(path) == 0; }

bool renameFileNow(const char* from, const char* to) { return rename(from, to) == 0; }

bool removeTree(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return errno == ENOENT;
    if (!S_ISDIR(status.st_mode)) return removeFile(path);
    const int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) return false;
    emptyDirectory(directory);
    return rmdir(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform
