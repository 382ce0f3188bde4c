// File locks on POSIX systems: flock, which belongs to the open file and so
// ends with the descriptor, whatever way the process ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform.h"

namespace platform {

FileLock FileLock::tryAcquire(const std::string& path) {
    // Close-on-exec: a program started meanwhile must not keep the lock.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return FileLock();
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        close(fd);
        return FileLock();
    }
    return FileLock(fd);
}

void FileLock::release() {
    if (handle_ == noHandle) return;
    close(static_cast<int>(handle_));
    handle_ = noHandle;
}

}  // namespace platform
