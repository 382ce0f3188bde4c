// Helper processes on POSIX systems, started the one way the project starts
// programs (program_start.h).
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform.h"
#include "program_start.h"

namespace platform {

namespace {

// A niceness that leaves the processors to the game and to whatever the user
// does meanwhile, without stopping the work on an otherwise idle machine.
constexpr int backgroundNiceness = 10;

}  // namespace

bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment) {
    // The program lowers its own priority first thing (lowerOwnPriority): the
    // start itself knows nothing of priorities.
    return process::startDetached(arguments, process::ProgramName::path, environment);
}

int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment) {
    const pid_t child = process::startChild(arguments, process::ProgramName::path, environment);
    if (child < 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void lowerOwnPriority() {
    const int current = getpriority(PRIO_PROCESS, 0);
    if (current < backgroundNiceness) setpriority(PRIO_PROCESS, 0, backgroundNiceness);
}

}  // namespace platform
