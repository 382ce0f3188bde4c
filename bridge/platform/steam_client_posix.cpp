// The Steam client on systems without a registry (Linux, and later macOS): the
// machine's Steam is the first executable "steam" on PATH, the user's Steam is
// $HOME/.steam/root/steam.sh. Steam is started as a detached process of its own.
#include "platform/steam_client.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "program_start.h"

namespace quellink::platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The first directory of PATH that holds an executable file of that name. Empty
// entries are skipped rather than read as the current directory: the game's working
// directory is no place to pick up a program called steam.
bool findOnPath(const char* name, std::string& found) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::string_view rest(path);
    for (;;) {
        const std::size_t colon = rest.find(':');
        const std::string_view directory = rest.substr(0, colon);
        if (!directory.empty()) {
            std::string candidate(directory);
            if (candidate.back() != '/') {
                candidate += '/';
            }
            candidate += name;
            if (isExecutableFile(candidate)) {
                found = candidate;
                return true;
            }
        }
        if (colon == std::string_view::npos) {
            return false;
        }
        rest.remove_prefix(colon + 1);
    }
}

bool findUserSteam(std::string& found) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return false;
    }
    std::string candidate = std::string(home) + "/.steam/root/steam.sh";
    if (!isExecutableFile(candidate)) {
        return false;
    }
    found = candidate;
    return true;
}

}  // namespace

bool lookUpSteamExe(SteamRoot root, std::string& path) {
    return root == SteamRoot::localMachine ? findOnPath("steam", path) : findUserSteam(path);
}

// Steam is started with posix_spawn, never with fork in the JVM's process, and the
// game does not wait for it: a thread of its own reaps it when it ends, so it is never
// left as a zombie of the game (process/README.md).
bool startSteamProcess(const std::string& exe, const std::string& address) {
    return process::startDetached({exe, address}, process::ProgramName::path);
}

}  // namespace quellink::platform
