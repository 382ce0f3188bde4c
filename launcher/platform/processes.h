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

// Ends this process when the process that started it ends, however that
// ends (POSIX; on Windows the job runToEnd puts it in does the same).
void endWithParent();

// Removes a variable from this process's environment, and so from that of
// everything it starts.
void unsetEnvironment(const char* name);

// A new start of this program, prepared while the process runs normally so
// that it can be made at any moment after, even while the process ends: the
// same arguments, with one variable added to its environment.
class PreparedStart {
public:
    PreparedStart() = default;
    PreparedStart(const std::vector<std::string>& asGiven, const std::string& variable,
                  const std::string& value);
    // Moved, the texts stay where the prepared pointers point; never copied.
    PreparedStart(PreparedStart&&) = default;
    PreparedStart& operator=(PreparedStart&&) = default;
    PreparedStart(const PreparedStart&) = delete;
    PreparedStart& operator=(const PreparedStart&) = delete;

    // Replaces this process with the new start, with nothing allocated
    // (POSIX). Returns only when that could not be done, and always on
    // Windows, which cannot replace a process.
    void replaceProcessNow() const;

private:
    std::vector<std::string> texts_;  // the arguments, then the environment
    std::vector<char*> arguments_;
    std::vector<char*> environment_;
};

// Lowers this process's scheduling priority, and so that of the programs it
// starts, so that work nobody waits for leaves the machine to the game.
void lowerOwnPriority();

// Opens the null device on each of the standard streams that the process was
// started with closed (POSIX: descriptors 0 to 2, as some desktop launchers
// and service managers leave them), as a daemon does, so that no file the
// launcher opens later takes its number and receives its output. Windows
// gives a GUI program no standard handles, and no file takes their place.
void openClosedStandardStreams();

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
