// The file operations the launcher needs beyond listing and loading: a
// file's status, making directories, removing files, and the user's own
// cache directory, where the launcher may write whatever the game directory
// allows or not.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct FileStatus {
    bool exists = false;
    bool isDirectory = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // last write, in the platform's own units
};

// What the file system says about path, links followed.
FileStatus fileStatus(const std::string& path);

// The path with every symbolic link resolved, as the Java VM resolves its own
// library to find its files; unchanged when that cannot be done (and always
// on Windows, where the VM takes the path the library was loaded from).
std::string resolvedPath(const std::string& path);

// The user's cache directory: %LOCALAPPDATA% on Windows; $XDG_CACHE_HOME, or
// else ~/.cache, elsewhere. "" when the environment names none.
std::string userCacheDirectory();

// Creates one directory whose parent exists. True when it is a directory
// afterwards, made now or before.
bool makeDirectory(const std::string& path);

// True when a new file can be created in directory: one is made and removed.
bool canCreateFilesIn(const std::string& directory);

// Removes a file, a read-only one too. True when it is gone.
bool removeFile(const std::string& path);

}  // namespace platform
