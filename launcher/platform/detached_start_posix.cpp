// Helper processes on POSIX systems, started the one way the project starts
// programs (program_start.h).
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform.h"
#include "program_start.h"

namespace platform {

namespace {

// A niceness that leaves the processors to the game and to whatever the user
// does meanwhile, without stopping the work on an otherwise idle machine.
constexpr int backgroundNiceness = 10;

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

}  // namespace platform
