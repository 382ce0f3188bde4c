// The platform layer on POSIX systems (Linux). Directory listings follow the
// Windows rules (wildcards without letter case, NTFS order) so that a game
// tree gives the same runtime and the same class path on every platform.
#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "modified_utf8.h"
#include "platform.h"

namespace platform {

const char pathSeparator = '/';
const char classPathSeparator = ':';
const char* const runtimeLibraryName = "libjvm.so";
const char* const imageLibraryName = "libjimage.so";
const char* const javaProgramName = "java";

namespace {

std::vector<std::string>& programArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

bool isDirectoryEntry(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    // A link counts as what it points to; a dangling link as a file.
    struct stat target;
    if (fstatat(dirfd(directory), entry.d_name, &target, 0) != 0) return false;
    return S_ISDIR(target.st_mode);
}

// The directory's own entry, as a search for the bare path lists it.
bool listOwnEntry(const std::string& directory, std::vector<DirectoryEntry>& entries) {
    struct stat status;
    if (stat(directory.c_str(), &status) != 0) return false;
    entries.push_back({lastComponentOf(directory), S_ISDIR(status.st_mode)});
    return true;
}

}  // namespace

std::string executablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);  // the path may have been cut: retry
    }
}

void setProgramArguments(int argc, char** argv) {
    std::vector<std::string>& arguments = programArguments();
    arguments.clear();
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
}

std::vector<std::string> commandLineArgumentsAsGiven() { return programArguments(); }

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> converted;
    for (const std::string& argument : programArguments()) {
        converted.push_back(modifiedUtf8FromBytes(argument));
    }
    return converted;
}

bool listDirectory(const std::string& directory, const std::string& pattern,
                   std::vector<DirectoryEntry>& entries, std::string* identity) {
    if (identity != nullptr) identity->clear();
    if (pattern.empty()) return listOwnEntry(directory, entries);

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

bool isRegularFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void setLibraryDirectory(const std::string&) {
    // Nothing to register: the dynamic loader finds a library's dependencies
    // through that library's own run path ($ORIGIN in the JDK's libjvm.so).
}

ResidentLibrary ResidentLibrary::load(const std::string& path) {
    return ResidentLibrary(dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL));
}

void* ResidentLibrary::symbol(const char* name) const {
    return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

void pause() {
    if (!isatty(STDIN_FILENO)) return;
    std::cout << "Press any key to continue . . . " << std::flush;

    // One key press, not a whole line: no line editing and no echo while
    // waiting.
    termios saved;
    const bool haveSettings = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveSettings) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {}
    if (haveSettings) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cout << '\n' << std::flush;
}

void unsetEnvironment(const char* name) { unsetenv(name); }

}  // namespace platform
