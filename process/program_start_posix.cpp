#include "program_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace process {

namespace {

// Moves a descriptor of ours off 0, 1 and 2 (free when the caller has closed its
// standard streams), so that the child's redirection of them cannot clobber it.
// The copy is close-on-exec, as every descriptor made here.
int aboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

// The highest descriptor a child might have inherited, for closing them one by one
// where the system cannot close a range at once.
int descriptorLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1024;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 16));
}

// Closes every descriptor above the standard streams except keep.
void closeInheritedDescriptors(int keep, int limit) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    const bool belowClosed =
        keep == STDERR_FILENO + 1 ||
        close_range(STDERR_FILENO + 1, static_cast<unsigned>(keep) - 1, 0) == 0;
    if (belowClosed && close_range(static_cast<unsigned>(keep) + 1, ~0u, 0) == 0) return;
#endif
    for (int fd = STDERR_FILENO + 1; fd < limit; ++fd) {
        if (fd != keep) close(fd);
    }
}

void closeIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// One start: what the new process needs, made before fork, and the descriptors
// that carry it. Whether exec succeeded comes back through a close-on-exec pipe:
// it closes without a word when the program runs, and carries errno when it did
// not start.
class Start {
public:
    Start(const std::vector<std::string>& arguments, ProgramName name)
        : searchPath_(name == ProgramName::searchedName), fdLimit_(descriptorLimit()) {
        for (const std::string& argument : arguments) {
            texts_.emplace_back(argument.begin(), argument.end());
            texts_.back().push_back('\0');
        }
        for (std::vector<char>& text : texts_) argv_.push_back(text.data());
        argv_.push_back(nullptr);
        sigemptyset(&noSignals_);
        if (arguments.empty() || arguments.front().empty()) return;

        devNull_ = aboveStandardStreams(open("/dev/null", O_RDWR | O_CLOEXEC));
        int ends[2];
        if (devNull_ < 0 || pipe2(ends, O_CLOEXEC) != 0) return;
        reportRead_ = aboveStandardStreams(ends[0]);
        reportWrite_ = aboveStandardStreams(ends[1]);
    }

    ~Start() {
        closeIfOpen(devNull_);
        closeIfOpen(reportRead_);
        closeIfOpen(reportWrite_);
    }

    Start(const Start&) = delete;
    Start& operator=(const Start&) = delete;

    bool ready() const { return devNull_ >= 0 && reportRead_ >= 0 && reportWrite_ >= 0; }

    // The new process between fork and exec.
    [[noreturn]] void runProgram() const {
        setsid();
        dup2(devNull_, STDIN_FILENO);
        dup2(devNull_, STDOUT_FILENO);
        dup2(devNull_, STDERR_FILENO);
        closeInheritedDescriptors(reportWrite_, fdLimit_);
        sigprocmask(SIG_SETMASK, &noSignals_, nullptr);
        if (searchPath_) {
            execvp(argv_[0], argv_.data());
        } else {
            execv(argv_[0], argv_.data());
        }
        reportFailure(errno);
        _exit(127);
    }

    // Tells the parent that the program was not started, for the reason error.
    void reportFailure(int error) const {
        ssize_t ignored = write(reportWrite_, &error, sizeof error);
        (void)ignored;
    }

    // In the parent, once it has forked: true when the program runs. Only the
    // processes forked still hold the pipe's write end, so the read ends when exec
    // has closed theirs.
    bool programStarted() {
        closeIfOpen(reportWrite_);
        closeIfOpen(devNull_);
        int error = 0;
        ssize_t got;
        do {
            got = read(reportRead_, &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        return got == 0;
    }

private:
    std::vector<std::vector<char>> texts_;
    std::vector<char*> argv_;
    bool searchPath_;
    int fdLimit_;
    sigset_t noSignals_;
    int devNull_ = -1;
    int reportRead_ = -1;
    int reportWrite_ = -1;
};

void reap(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

}  // namespace

pid_t startChild(const std::vector<std::string>& arguments, ProgramName name) {
    Start start(arguments, name);
    if (!start.ready()) return -1;
    const pid_t child = fork();
    if (child == 0) start.runProgram();
    const bool started = start.programStarted();
    if (child < 0) return -1;
    if (started) return child;
    reap(child);
    return -1;
}

bool startDetached(const std::vector<std::string>& arguments, ProgramName name) {
    Start start(arguments, name);
    if (!start.ready()) return false;
    const pid_t intermediate = fork();
    if (intermediate == 0) {
        const pid_t detached = fork();
        if (detached == 0) start.runProgram();
        if (detached < 0) start.reportFailure(errno);
        _exit(0);
    }
    if (intermediate < 0) return false;
    reap(intermediate);
    return start.programStarted();
}

}  // namespace process
