// This process and the programs it starts, on POSIX systems. Programs are
// started the one way the project starts them (program_start.h). The main
// thread's stack is limited by RLIMIT_STACK, which HotSpot reads when it is
// created and which the kernel lets the stack grow to; the room between the
// stack and the other mappings is laid out when the program starts, so a
// larger limit takes a new start of the program.
#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "modified_utf8.h"
#include "processes.h"
#include "program_start.h"

extern char** environ;

namespace tessvik::platform {

namespace {

// A niceness that leaves the processors to the game and to whatever the user
// does meanwhile, without stopping the work on an otherwise idle machine.
constexpr int backgroundNiceness = 10;

// Set for the one new start growMainThreadStack makes, so that it never
// starts again.
constexpr const char* startedAgainVariable = "TESSVIK_STACK_GROWN";

// The program runToEnd waits for, 0 for none.
std::atomic<pid_t> waitedChild{0};

// A termination of this process ends the program it waits for first, then
// this process as the signal would have: nothing done for it outlives it.
void endWaitedChild(int signal) {
    const pid_t child = waitedChild.load();
    if (child > 0) kill(child, SIGKILL);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int endingSignals[] = {SIGTERM, SIGHUP, SIGINT};

void tieWaitedChildToThisProcess() {
    static const bool tied = [] {
        for (const int signal : endingSignals) std::signal(signal, endWaitedChild);
        return true;
    }();
    (void)tied;
}

// Holds the ending signals back while it lives. A signal that arrives while the
// program starts (the C library's spawn holds every signal until the program
// runs) is handled once the program's id is known, so the program ends with
// this process instead of being left behind.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : endingSignals) sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t before_;
};

}  // namespace

bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment) {
    // The program lowers its own priority first thing (lowerOwnPriority): the
    // start itself knows nothing of priorities.
    return process::startDetached(arguments, process::ProgramName::path, environment);
}

int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment) {
    tieWaitedChildToThisProcess();
    pid_t child;
    {
        const EndingSignalsHeld held;
        child = process::startChild(arguments, process::ProgramName::path, environment);
        if (child > 0) waitedChild = child;
    }
    if (child < 0) return -1;
    int status = 0;
    int waited;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {}
    waitedChild = 0;
    if (waited < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void lowerOwnPriority() {
    const int current = getpriority(PRIO_PROCESS, 0);
    if (current < backgroundNiceness) setpriority(PRIO_PROCESS, 0, backgroundNiceness);
}

std::vector<std::string> commandLineArguments(const std::vector<std::string>& asGiven) {
    std::vector<std::string> converted;
    for (const std::string& argument : asGiven)
        converted.push_back(modifiedUtf8FromBytes(argument));
    return converted;
}

void endWithParent() {
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the request took effect.
    if (getppid() != parent) _exit(1);
}

void unsetEnvironment(const char* name) { unsetenv(name); }

PreparedStart::PreparedStart(const std::vector<std::string>& asGiven, const std::string& variable,
                             const std::string& value)
    : texts_(asGiven) {
    const std::size_t argumentCount = texts_.size();
    const std::string prefix = variable + '=';
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) texts_.emplace_back(*entry);
    }
    texts_.push_back(prefix + value);
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        (i < argumentCount ? arguments_ : environment_).push_back(texts_[i].data());
    }
    arguments_.push_back(nullptr);
    environment_.push_back(nullptr);
}

void PreparedStart::replaceProcessNow() const {
    if (arguments_.size() < 2) return;
    execve("/proc/self/exe", arguments_.data(), environment_.data());
}

void openClosedStandardStreams() {
    for (int stream = 0; stream <= 2; ++stream) {
        if (fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest number free is the stream's own.
        const int opened = open("/dev/null", stream == 0 ? O_RDONLY : O_WRONLY);
        if (opened > 2) close(opened);
    }
}

std::uint64_t mainThreadStackSize() {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return 0;
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : limit.rlim_cur;
}

LaunchStart launchStart() {
    if (std::getenv(startedAgainVariable) == nullptr) return LaunchStart::first;
    unsetenv(startedAgainVariable);
    return LaunchStart::againForStack;
}

void growMainThreadStack(std::uint64_t bytes, const std::vector<std::string>& asGiven,
                         LaunchStart start) {
    rlimit limit{};
    if (start == LaunchStart::againForStack || getrlimit(RLIMIT_STACK, &limit) != 0 ||
        limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= bytes ||
        (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bytes)) {
        return;
    }
    const rlimit before = limit;
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_STACK, &limit) != 0) return;
    std::vector<std::string> arguments = asGiven;
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv(startedAgainVariable, "1", 1);
    execv("/proc/self/exe", argv.data());
    // Not started again: the launch goes on with the stack it has.
    unsetenv(startedAgainVariable);
    setrlimit(RLIMIT_STACK, &before);
}

}  // namespace tessvik::platform
