// Files on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

#include "files.h"

namespace tessvik::platform {

namespace {

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

FileReadOutcome failedOpen(const std::string& path) {
    struct stat own;
    // A dangling link is there, only its target is not.
    if (errno == ENOENT && lstat(path.c_str(), &own) != 0) return FileReadOutcome::missing;
    return FileReadOutcome::cannotOpen;
}

}  // namespace

FileContent readFile(const std::string& path, std::uint64_t limit, OverLimit overLimit) {
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
    return readOpenFile(static_cast<std::uint64_t>(status.st_size), limit, overLimit,
                        [&file](char* buffer, std::size_t count) -> long long {
                            for (;;) {
                                const ssize_t got = read(file.get(), buffer, count);
                                if (got >= 0 || errno != EINTR) return got;
                            }
                        });
}

FileStatus fileStatus(const std::string& path) {
    FileStatus result;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return result;
    result.kind = S_ISREG(status.st_mode)   ? FileKind::regularFile
                  : S_ISDIR(status.st_mode) ? FileKind::directory
                                            : FileKind::other;
    result.size = static_cast<std::uint64_t>(status.st_size);
    result.modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return result;
}

std::string textModeText(const std::string& bytes) { return bytes; }

bool isSymbolicLink(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool renameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

const std::int64_t fileTimeUnitsPerSecond = 1000000000;

std::int64_t fileTimeNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * fileTimeUnitsPerSecond + now.tv_nsec;
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

bool keepPrivate(const std::string& path) { return chmod(path.c_str(), 0600) == 0; }

bool removeFileNow(const char* path) { return unlink(path) == 0; }

bool renameFileNow(const char* from, const char* to) { return rename(from, to) == 0; }

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity result;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return result;
    result.known = true;
    result.file = std::to_string(status.st_dev) + ':' + std::to_string(status.st_ino);
    result.changed =
        static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    return result;
}

std::string volumeOf(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return {};
    return std::to_string(status.st_dev);
}

std::optional<std::uint64_t> freeSpace(const std::string& directory) {
    struct statvfs facts;
    if (statvfs(directory.c_str(), &facts) != 0) return std::nullopt;
    // Blocks free to an ordinary user, not those kept for the superuser.
    return static_cast<std::uint64_t>(facts.f_bavail) * facts.f_frsize;
}

}  // namespace tessvik::platform
