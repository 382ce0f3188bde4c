// The Steam client on systems without a registry (Linux, and later macOS): the
// machine's Steam is the first executable "steam" on PATH, the user's Steam is
// $HOME/.steam/root/steam.sh. Steam is started as a detached process of its own.
#include "platform/steam_client.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace quellink::platform {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The first directory of PATH that holds an executable file of that name. Empty
// entries are skipped rather than read as the current directory: the game's working
// directory is no place to pick up a program called steam.
bool FindOnPath(const char* name, std::string& found) {
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
            if (IsExecutableFile(candidate)) {
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

bool FindUserSteam(std::string& found) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return false;
    }
    std::string candidate = std::string(home) + "/.steam/root/steam.sh";
    if (!IsExecutableFile(candidate)) {
        return false;
    }
    found = candidate;
    return true;
}

// Moves a descriptor of ours off 0, 1 and 2 (free when the caller has closed its
// standard streams), so that the child's redirection of them cannot clobber it.
// The copy is close-on-exec, as every descriptor made here.
int AboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

// The highest descriptor a child might have inherited, for closing them one by one
// where the system cannot close a range at once.
int DescriptorLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 16));
}

// Closes every descriptor above the standard streams except keep.
void CloseInheritedDescriptors(int keep, int limit) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    const bool belowClosed = keep == STDERR_FILENO + 1 ||
                             close_range(STDERR_FILENO + 1, static_cast<unsigned>(keep) - 1, 0) == 0;
    if (belowClosed && close_range(static_cast<unsigned>(keep) + 1, ~0u, 0) == 0) {
        return;
    }
#endif
    for (int fd = STDERR_FILENO + 1; fd < limit; ++fd) {
        if (fd != keep) {
            close(fd);
        }
    }
}

// What the detached process does between fork and exec. The caller has other
// threads (the Java VM's), so only async-signal-safe calls are made here. When the
// program cannot be started, errno goes back through report.
[[noreturn]] void RunDetached(char* const argv[], int devNull, int report, int fdLimit,
                              const sigset_t& noSignals) {
    setsid();
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    CloseInheritedDescriptors(report, fdLimit);
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    execv(argv[0], argv);
    const int error = errno;
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

const char* SteamRootName(SteamRoot root) {
    return root == SteamRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool LookUpSteamExe(SteamRoot root, std::string& path) {
    return root == SteamRoot::LocalMachine ? FindOnPath("steam", path) : FindUserSteam(path);
}

// Steam is started as a grandchild: the intermediate child exits at once and is
// reaped here, so the started process is adopted by the system and never left as a
// zombie of the game, which does not wait for it. A close-on-exec pipe tells whether
// exec succeeded: it closes without a word when the program runs, and carries errno
// when it did not start.
bool StartSteamProcess(const std::string& exe, const std::string& address) {
    if (exe.empty()) {
        return false;
    }
    // Everything the children use is made before fork.
    std::vector<char> program(exe.begin(), exe.end());
    program.push_back('\0');
    std::vector<char> argument(address.begin(), address.end());
    argument.push_back('\0');
    char* const argv[] = {program.data(), argument.data(), nullptr};
    sigset_t noSignals;
    sigemptyset(&noSignals);
    const int fdLimit = DescriptorLimit();

    const int devNull = AboveStandardStreams(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (devNull < 0) {
        return false;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        close(devNull);
        return false;
    }
    const int reportRead = AboveStandardStreams(pipeEnds[0]);
    const int reportWrite = AboveStandardStreams(pipeEnds[1]);
    if (reportRead < 0 || reportWrite < 0) {
        if (reportRead >= 0) close(reportRead);
        if (reportWrite >= 0) close(reportWrite);
        close(devNull);
        return false;
    }

    const pid_t intermediate = fork();
    if (intermediate == 0) {
        const pid_t detached = fork();
        if (detached == 0) {
            RunDetached(argv, devNull, reportWrite, fdLimit, noSignals);
        }
        if (detached < 0) {
            const int error = errno;
            ssize_t ignored = write(reportWrite, &error, sizeof error);
            (void)ignored;
        }
        _exit(0);
    }
    close(reportWrite);
    close(devNull);
    if (intermediate < 0) {
        close(reportRead);
        return false;
    }
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    int childError = 0;
    ssize_t got;
    do {
        got = read(reportRead, &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(reportRead);
    return got == 0;
}

}  // namespace quellink::platform
