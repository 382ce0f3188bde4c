#include "program_start.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace process {

namespace {

// The caller's environment with the given variables added, or put in place of
// those of the same name, as NAME=value texts.
std::vector<std::string> environmentWith(const Environment& added) {
    std::vector<std::string> texts;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        const std::size_t nameLength = equals ? static_cast<std::size_t>(equals - *entry) : 0;
        const bool replaced = std::any_of(added.begin(), added.end(), [&](const auto& variable) {
            return variable.first.size() == nameLength &&
                   variable.first.compare(0, nameLength, *entry, nameLength) == 0;
        });
        if (!replaced) texts.emplace_back(*entry);
    }
    for (const auto& variable : added) texts.push_back(variable.first + '=' + variable.second);
    return texts;
}

// Adds to actions the closing of every descriptor above the standard streams that
// exec would keep open. Where the C library cannot close them all at once, the open
// ones are listed from /proc/self/fd now: one opened later by another thread without
// close-on-exec may still reach the program.
void closeInheritedDescriptors(posix_spawn_file_actions_t* actions) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1);
#else
    DIR* open = opendir("/proc/self/fd");
    if (open == nullptr) return;
    const int listing = dirfd(open);
    while (const dirent* entry = readdir(open)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd <= STDERR_FILENO || fd == listing) continue;
        const int flags = fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0 && (flags & FD_CLOEXEC) == 0)
            posix_spawn_file_actions_addclose(actions, static_cast<int>(fd));
    }
    closedir(open);
#endif
}

// One start: the program's arguments and environment as the C library takes them,
// and the spawn attributes that make the new process what program_start.h says.
class Start {
public:
    Start(const std::vector<std::string>& arguments, ProgramName name,
          const Environment& environment)
        : searchPath_(name == ProgramName::searchedName) {
        for (const std::string& argument : arguments) {
            texts_.emplace_back(argument.begin(), argument.end());
            texts_.back().push_back('\0');
        }
        for (std::vector<char>& text : texts_) argv_.push_back(text.data());
        argv_.push_back(nullptr);
        if (!environment.empty()) {
            environmentTexts_ = environmentWith(environment);
            for (std::string& text : environmentTexts_) envp_.push_back(text.data());
            envp_.push_back(nullptr);
        }
        if (arguments.empty() || arguments.front().empty()) return;

        if (posix_spawn_file_actions_init(&actions_) != 0) return;
        actionsMade_ = true;
        if (posix_spawnattr_init(&attributes_) != 0) return;
        attributesMade_ = true;

        // A session of its own, no signal blocked, and SIGPIPE at its default
        // even where the caller ignores it.
        sigset_t noSignals;
        sigemptyset(&noSignals);
        posix_spawnattr_setsigmask(&attributes_, &noSignals);
        sigset_t defaulted;
        sigemptyset(&defaulted);
        sigaddset(&defaulted, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes_, &defaulted);
        posix_spawnattr_setflags(
            &attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        // Standard streams on /dev/null, nothing else of the caller's.
        ready_ = posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDWR,
                                                  0) == 0 &&
                 posix_spawn_file_actions_adddup2(&actions_, STDIN_FILENO, STDOUT_FILENO) == 0 &&
                 posix_spawn_file_actions_adddup2(&actions_, STDIN_FILENO, STDERR_FILENO) == 0;
        closeInheritedDescriptors(&actions_);
    }

    ~Start() {
        if (actionsMade_) posix_spawn_file_actions_destroy(&actions_);
        if (attributesMade_) posix_spawnattr_destroy(&attributes_);
    }

    Start(const Start&) = delete;
    Start& operator=(const Start&) = delete;

    // The new process's id, or -1 when the program could not be started (the C
    // library reports a failed exec too).
    pid_t spawn() {
        if (!ready_) return -1;
        char* const* envp = envp_.empty() ? environ : envp_.data();
        pid_t child = -1;
        const int error =
            searchPath_
                ? posix_spawnp(&child, argv_[0], &actions_, &attributes_, argv_.data(), envp)
                : posix_spawn(&child, argv_[0], &actions_, &attributes_, argv_.data(), envp);
        return error == 0 ? child : -1;
    }

private:
    std::vector<std::vector<char>> texts_;
    std::vector<char*> argv_;
    std::vector<std::string> environmentTexts_;
    std::vector<char*> envp_;  // empty: the caller's environment as it is
    bool searchPath_;
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    bool actionsMade_ = false;
    bool attributesMade_ = false;
    bool ready_ = false;
};

void reap(pid_t child) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
}

}  // namespace

pid_t startChild(const std::vector<std::string>& arguments, ProgramName name,
                 const Environment& environment) {
    Start start(arguments, name, environment);
    return start.spawn();
}

bool startDetached(const std::vector<std::string>& arguments, ProgramName name,
                   const Environment& environment) {
    Start start(arguments, name, environment);
    const pid_t child = start.spawn();
    if (child < 0) return false;
    // A thread of its own waits for the program: at once when it ends at once (as
    // steam.sh does when it hands the address to a Steam already running), else
    // whenever it ends, so it is never left as a zombie of a caller that does not
    // wait for it.
    try {
        std::thread(reap, child).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the program runs all the same, and is reaped by the
        // system once the caller ends.
    }
    return true;
}

}  // namespace process
