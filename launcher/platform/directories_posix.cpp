// Directories on POSIX systems. Listings follow the Windows rules (wildcards
// without letter case, NTFS order; directories.cpp) so that a game tree gives
// the same runtime and the same class path on every platform.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "directories.h"
#include "files.h"

namespace tessvik::platform {

namespace {

bool isDirectoryEntry(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    // A link counts as what it points to; a dangling link as a file.
    struct stat target;
    if (fstatat(dirfd(directory), entry.d_name, &target, 0) != 0) return false;
    return S_ISDIR(target.st_mode);
}

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

}  // namespace

bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity) {
    if (identity != nullptr) identity->clear();

    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) return false;
    struct stat status;
    if (identity != nullptr && fstat(dirfd(listing), &status) == 0) {
        *identity = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }
    std::vector<DirectoryEntry> found;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!matchesWildcard(pattern, name)) continue;
        found.push_back({name, isDirectoryEntry(listing, *entry)});
    }
    closedir(listing);

    std::sort(found.begin(), found.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
        return listsBefore(a.name, b.name);
    });
    entries.insert(entries.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    return true;
}

bool makeDirectory(const std::string& path) {
    // The user's own: nobody else reads what the launcher keeps there.
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return fileStatus(path).isDirectory();
}

bool canCreateFilesIn(const std::string& directory) {
    std::string pattern = directory + "/.write-test-XXXXXX";
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return false;
    close(descriptor);
    unlink(pattern.c_str());
    return true;
}

bool removeTree(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return errno == ENOENT;
    if (!S_ISDIR(status.st_mode)) return removeFile(path);
    const int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) return false;
    emptyDirectory(directory);
    return rmdir(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace tessvik::platform
