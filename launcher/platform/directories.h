// Directories: listing one the way the Windows directory search lists it (so a
// game tree gives the same runtime and class path on every platform), making
// one for the user alone, and removing a tree without following its links.
#pragma once

#include <string>
#include <vector>

namespace tessvik::platform {

struct DirectoryEntry {
    std::string name;  // the name as the platform lists it
    bool isDirectory;  // links count as what they lead to
};

// Lists the entries of directory whose names match pattern the way the Windows
// directory search matches ("*" and "?" wildcards, letter case ignored; "*.*"
// lists everything), in the order NTFS lists them; never "." and "..". False
// when nothing can be listed.
//
// When identity is given it receives an identity of the directory that stays
// the same whichever path reaches it (symbolic links, junctions), or "" when
// that cannot be told.
bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity = nullptr);

// The listing rules of the Windows file system, which listDirectory follows on
// platforms whose own directory search has none.
//
// True when name matches pattern: "*" stands for any run of characters, "?"
// for exactly one character, every other character for itself with ASCII
// letter case ignored. "*.*" matches every name, with or without a dot.
bool matchesWildcard(const std::string& pattern, const std::string& name);

// The NTFS listing order: ordinal comparison of the names with ASCII letters
// upper-cased. Names equal in that comparison (possible only where letter
// case matters) keep a fixed order by their bytes.
bool listsBefore(const std::string& left, const std::string& right);

// Creates one directory whose parent exists, for this user alone (0700). True
// when it is a directory afterwards, made now or before.
bool makeDirectory(const std::string& path);

// Creates path and whichever directories above it are missing, each as
// makeDirectory does. True when path is a directory afterwards.
bool makeDirectories(const std::string& path);

// True when a new file can be created in directory: one is made and removed.
bool canCreateFilesIn(const std::string& directory);

// Removes path with everything below it. A link (on Windows any reparse
// point) is removed itself, wherever it stands, and never followed, so
// nothing outside path is touched. True when path is gone.
bool removeTree(const std::string& path);

}  // namespace tessvik::platform
