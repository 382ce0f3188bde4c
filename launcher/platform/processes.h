// This process and the programs it starts: its arguments, its main thread's
// stack, and helper programs (the start-up cache's assembly and its VMs),
// started the one way the project starts programs (process/program_start.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessvik::platform {

// The command-line arguments, the program as invoked first, each as modified
// UTF-8 ready for NewStringUTF. Windows reads the process's own command line;
// POSIX converts asGiven, the arguments the entry received.
std::vector<std::string> commandLineArguments(const std::vector<std::string>& asGiven);

// Environment variables a started program gets beside this process's own:
// name, value.
using EnvironmentAdditions = std::vector<std::pair<std::string, std::string>>;

// Starts the program at arguments[0] with the arguments (the program first),
// detached from this process: in a session of its own with no console, its
// standard streams going nowhere, never waited for. True when it started.
bool startDetached(const std::vector<std::string>& arguments,
                   const EnvironmentAdditions& environment);

// Runs the program at arguments[0] and waits for its end. Its exit status, or
// -1 when it could not start or did not end by exiting (a signal). The program
// ends with this process: a termination signal (POSIX) or any end of this
// process (Windows) ends it too.
int runToEnd(const std::vector<std::string>& arguments, const EnvironmentAdditions& environment);

// Removes a variable from this process's environment, and so from that of
// everything it starts.
void unsetEnvironment(const char* name);

// Lowers this process's scheduling priority, and so that of the programs it
// starts, so that work nobody waits for leaves the machine to the game.
void lowerOwnPriority();

// The bytes the main thread's stack may grow to.
std::uint64_t mainThreadStackSize();

// How this process started: as a launch, or as the new start of one that
// growMainThreadStack made. Asked once, first thing: the mark of a new start is
// removed, so that neither the game nor a program it starts sees it.
enum class LaunchStart { first, againForStack };
LaunchStart launchStart();

// Gives the main thread a stack of at least bytes where that takes a new
// start of the program with a larger limit (POSIX): starts it again, once,
// with asGiven as its arguments, and does not return then. Returns when the
// stack is large enough already, cannot grow that far, or this process is
// that new start already.
void growMainThreadStack(std::uint64_t bytes, const std::vector<std::string>& asGiven,
                         LaunchStart start);

}  // namespace tessvik::platform
