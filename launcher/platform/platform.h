// The launcher's platform layer. Everything above this seam is the same on
// every platform; everything below it lives in platform_<os>.cpp and
// console_<os>.cpp.
#pragma once

#include <string>
#include <vector>

namespace platform {

using LibraryHandle = void*;

extern const char pathSeparator;          // between a directory and an entry
extern const char classPathSeparator;     // between class path entries
extern const char* const runtimeLibraryName;  // "jvm.dll" / "libjvm.so"

// Full path of the running executable, however long.
std::string executablePath();

// The command-line arguments, the program as invoked first, each as modified
// UTF-8 ready for NewStringUTF. Windows reads the process's command line;
// POSIX converts what the entry handed to setProgramArguments.
std::vector<std::string> commandLineArguments();
#ifndef _WIN32
void setProgramArguments(int argc, char** argv);
#endif

struct DirectoryEntry {
    std::string name;  // the name as the platform lists it
    bool isDirectory;
};

// Lists the entries of directory whose names match pattern the way the
// Windows directory search matches ("*" and "?" wildcards, letter case
// ignored; "*.*" lists everything), in the order NTFS lists them; symbolic
// links count as what they point to. An empty pattern lists the directory's
// own entry, as a search for the bare path does. "." and ".." may be among
// the entries. Returns false when nothing can be listed.
//
// When identity is given it receives an identity of the directory that stays
// the same whichever path reaches it (symbolic links, junctions), or "" when
// that cannot be told.
bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity = nullptr);

// True when path names a regular file, or a link to one. Only such a file is
// read or loaded: a FIFO or a device would make the launcher wait for ever.
bool isRegularFile(const std::string& path);

// Registers a directory searched for the dependent libraries of the next
// load (Windows; POSIX libraries find theirs through their own run path).
void setLibraryDirectory(const std::string& directory);
// Loads a shared library by full path; null on failure.
LibraryHandle loadLibrary(const std::string& path);
void* findSymbol(LibraryHandle library, const char* name);

// Waits for a key press after a failed launch (the system's "PAUSE"); on
// POSIX only when standard input is a terminal.
void pause();

// Debug console: opens a console window and rebinds standard output and
// standard error to it, unbuffered.
void openDebugConsole();
// Detaches from the console, if any.
void freeConsole();

}  // namespace platform
