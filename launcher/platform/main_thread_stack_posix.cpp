// The main thread's stack on POSIX systems: its limit is RLIMIT_STACK, which
// HotSpot reads when it is created and which the kernel lets the stack grow
// to. The room between the stack and the other mappings is laid out when the
// program starts, so a larger limit takes a new start of the program.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

// Set for the one new start, so that it never starts again.
constexpr const char* grownVariable = "TESSVIK_STACK_GROWN";

}  // namespace

void growMainThreadStack(const std::function<std::uint64_t()>& wanted) {
    // Neither the game nor a program it starts sees the variable.
    if (std::getenv(grownVariable) != nullptr) {
        unsetenv(grownVariable);
        return;
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur == limit.rlim_max) {
        return;
    }
    const std::uint64_t bytes = wanted();
    if (limit.rlim_cur >= bytes || (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bytes)) {
        return;
    }
    const rlimit before = limit;
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_STACK, &limit) != 0) return;
    std::vector<std::string> arguments = commandLineArgumentsAsGiven();
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv(grownVariable, "1", 1);
    execv("/proc/self/exe", argv.data());
    // Not started again: the launch goes on with the stack it has.
    unsetenv(grownVariable);
    setrlimit(RLIMIT_STACK, &before);
}

std::uint64_t mainThreadStackSize() {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return 0;
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : limit.rlim_cur;
}

}  // namespace platform
