// File locks on POSIX systems: flock, which belongs to the open file and so
// ends with the descriptor, whatever way the process ends. A lock file that
// its holder removed (it ended normally) is told apart by its link count.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "locks.h"

namespace tessvik::platform {

namespace {

bool lock(int fd, bool wait) {
    int locked;
    do {
        locked = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (locked != 0 && errno == EINTR);
    return locked == 0;
}

// True when the open file is still reached by a name.
bool stillNamed(int fd) {
    struct stat status;
    return fstat(fd, &status) == 0 && status.st_nlink > 0;
}

// Close-on-exec: a program started meanwhile must not keep the lock.
int openLockFile(const std::string& path, bool create) {
    return open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
}

}  // namespace

FileLock FileLock::tryAcquire(const std::string& path) {
    // A file removed between its opening and its locking is opened anew.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = openLockFile(path, true);
        if (fd < 0) return FileLock();
        if (!lock(fd, false)) {
            close(fd);
            return FileLock();
        }
        if (stillNamed(fd)) return FileLock(fd);
        close(fd);
    }
    return FileLock();
}

FileLock FileLock::acquire(const std::string& path) {
    for (;;) {
        const int fd = openLockFile(path, true);
        if (fd < 0) return FileLock();
        if (lock(fd, true) && stillNamed(fd)) return FileLock(fd);
        close(fd);
    }
}

FileLock FileLock::probe(const std::string& path, Probe& outcome) {
    const int fd = openLockFile(path, false);
    outcome = Probe::gone;
    if (fd < 0) return FileLock();
    if (!lock(fd, false)) {
        outcome = Probe::held;
    } else if (stillNamed(fd)) {
        outcome = Probe::acquired;
        return FileLock(fd);
    }
    close(fd);
    return FileLock();
}

void FileLock::release() {
    if (handle_ == noHandle) return;
    close(static_cast<int>(handle_));
    handle_ = noHandle;
}

}  // namespace tessvik::platform
