// What POSIX file systems tell about a file beyond its size and last write:
// which file it is, when its entry last changed, and the room left beside it.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string>

#include "platform.h"

namespace platform {

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

std::optional<std::uint64_t> freeSpace(const std::string& directory) {
    struct statvfs facts;
    if (statvfs(directory.c_str(), &facts) != 0) return std::nullopt;
    // Blocks free to an ordinary user, not those kept for the superuser.
    return static_cast<std::uint64_t>(facts.f_bavail) * facts.f_frsize;
}

}  // namespace platform
