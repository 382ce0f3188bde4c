// Starting another program on POSIX systems, the one way both deliverables do it:
// the launcher opens a terminal window for its debug console, the bridge starts the
// Steam client.
//
// The program runs in a session of its own, with standard input, output and error
// on /dev/null, none of the caller's other descriptors and no signal blocked; it
// inherits the caller's environment and current directory. The caller may have
// other threads (the Java VM's) that hold any lock, the allocator's too, when it
// forks: everything the program needs is made before fork, and between fork and
// exec only async-signal-safe calls are made.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace process {

// How arguments[0] names the program.
enum class ProgramName {
    path,          // the program's path, taken as it is
    searchedName,  // a name without a slash is looked up on PATH, as the shell does
};

// Starts the program as a child of the caller, which is to reap it. Its process id,
// or -1 when it could not be started.
pid_t startChild(const std::vector<std::string>& arguments, ProgramName name);

// Starts the program as a grandchild: the child in between ends at once and is
// reaped here, so the program is adopted by the system and never left as a zombie
// of a caller that does not wait for it. True when it was started.
bool startDetached(const std::vector<std::string>& arguments, ProgramName name);

}  // namespace process
