// Files: what a path names, reading a file within a bound, and writing,
// renaming and removing files so that no reader ever sees half of one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "file_content.h"

namespace tessvik::platform {

enum class FileKind {
    missing,      // nothing at the path (a dangling link counts as nothing)
    regularFile,  // the only kind the launcher reads or loads
    directory,
    other,  // a FIFO, a device: never opened, as it could make the launcher wait
};

struct FileStatus {
    FileKind kind = FileKind::missing;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // last write, in the platform's own units

    bool exists() const { return kind != FileKind::missing; }
    bool isDirectory() const { return kind == FileKind::directory; }
    bool isRegularFile() const { return kind == FileKind::regularFile; }
};

// What the file system says about path, links followed.
FileStatus fileStatus(const std::string& path);

// True when path itself is a symbolic link (on Windows any reparse point: a
// link or a junction), whether or not it leads anywhere.
bool isSymbolicLink(const std::string& path);

// The time now, in the units of FileStatus::modified, and how many of those
// units make a second.
std::int64_t fileTimeNow();
extern const std::int64_t fileTimeUnitsPerSecond;

// Which file a path leads to, and when its entry last changed: what a copy or
// a replacement cannot keep, even where it keeps the size and the time of the
// last write.
struct FileIdentity {
    bool known = false;
    std::string file;          // the volume and the file's number on it (inode, file index)
    std::int64_t changed = 0;  // last change of the entry, in the platform's own units
};

FileIdentity fileIdentity(const std::string& path);

// Which volume (file system, drive) path lies on, named as the system names
// it; "" when that cannot be told.
std::string volumeOf(const std::string& path);

// The bytes this user may still write on the file system holding directory;
// nothing when that cannot be told.
std::optional<std::uint64_t> freeSpace(const std::string& directory);

// The launcher's one file reader. Reads the regular file at path (links
// followed) byte for byte, in binary. A file larger than limit is refused
// without being read, or cut to its first limit bytes; a file that grows
// while it is read is judged by what it holds then. Nothing but a regular file
// is opened, so a FIFO or a device is never waited on.
FileContent readFile(const std::string& path, std::uint64_t limit,
                     OverLimit overLimit = OverLimit::refuse);

// The text a text-mode read of bytes gives, as the C runtime reads a text
// file: on Windows CR LF becomes LF and the text ends at the first Ctrl-Z;
// elsewhere the bytes themselves.
std::string textModeText(const std::string& bytes);

// Gives the file at from the name to, replacing a file (not a directory) of
// that name; a link at from is renamed itself. True when it was renamed.
bool renameFile(const std::string& from, const std::string& to);

// Removes a file, a read-only one too. True when it is gone.
bool removeFile(const std::string& path);

// Writes bytes to a new file of this user's alone (0600), then gives it the
// name path: a reader never sees part of it, and a link at path is replaced,
// never followed.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

// Makes the file at path this user's alone (0600; nothing on Windows, where
// the user's folders are the user's). True when it is.
bool keepPrivate(const std::string& path);

// Remove and rename as one system call each, with nothing allocated: for the
// VM's end, which may run while other threads stand anywhere.
bool removeFileNow(const char* path);
bool renameFileNow(const char* from, const char* to);

}  // namespace tessvik::platform
