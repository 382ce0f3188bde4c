// Paths: the platform's separators, taking a path apart and joining one, and
// the places the launcher starts from (its own executable, the user's
// folders). Everything else names files by the paths built here.
#pragma once

#include <string>

namespace tessvik::platform {

extern const char pathSeparator;       // between a directory and an entry
extern const char classPathSeparator;  // between the entries of a path list

// True for a character that separates the parts of a path: the platform's own
// separator, and '/', which Windows takes as one too.
inline bool isPathSeparator(char c) { return c == pathSeparator || c == '/'; }

// The directory part of path: the path without its last component and the
// separators before it. Separators at the end of path are ignored and a run of
// them counts as one; the root stays the root ("/x" and "/" give "/"), and a
// bare name gives "". A drive ("C:") is a component like any other.
std::string directoryOf(const std::string& path);

// The last component of path, separators at its end ignored; "" for the root.
std::string lastComponentOf(const std::string& path);

// name below directory, joined with the platform's separator (never normalised).
inline std::string joinPath(const std::string& directory, const std::string& name) {
    return directory + pathSeparator + name;
}

// path with its "." and ".." components taken as URLs and the system take
// them, without asking the file system: "a/./b/../c" gives "a/c", a ".." at
// the start stays, and separators are the platform's. A separator at the end
// stays.
std::string withDotSegmentsResolved(const std::string& path);

// True when path names its file from the root (or a drive's root), not from
// the current directory.
bool isAbsolutePath(const std::string& path);

// Full path of the running executable, however long; "" when the system
// cannot tell.
std::string executablePath();

// False when the executable's path holds characters that the process's narrow
// strings cannot represent: Windows before 10 1903 ignores the manifest's
// UTF-8 code page, and a folder named outside the system's code page then
// cannot be passed. True wherever narrow strings hold every name.
bool executablePathRepresentable();

// The path with every symbolic link resolved, as the Java VM resolves its own
// library to find its files; unchanged when that cannot be done (and always
// on Windows, where the VM takes the path the library was loaded from).
std::string resolvedPath(const std::string& path);

// Makes directory the process's current directory. True when it is.
bool setCurrentDirectory(const std::string& directory);
// The process's current directory; "" when it cannot be told.
std::string currentDirectory();

// The system's folder for temporary files: $TMPDIR or /tmp; %TEMP% on Windows.
std::string temporaryDirectory();

// The user's cache directory, where the launcher keeps what it can make again
// (the start-up cache): %LOCALAPPDATA% on Windows; $XDG_CACHE_HOME, or else
// ~/.cache, elsewhere. "" when the environment names none.
std::string userCacheDirectory();

// The user's state directory, where the launcher keeps what a game leaves for
// its player to find (crash reports): %LOCALAPPDATA% on Windows;
// $XDG_STATE_HOME, or else ~/.local/state, elsewhere. "" when the environment
// names none.
std::string userStateDirectory();

}  // namespace tessvik::platform
