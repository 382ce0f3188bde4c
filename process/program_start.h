// Starting another program on POSIX systems, the one way both deliverables do it:
// the launcher opens a terminal window for its debug console, the bridge starts the
// Steam client.
//
// The program runs in a session of its own, with standard input, output and error
// on /dev/null, none of the caller's other descriptors and no signal blocked; it
// inherits the caller's environment, with the variables given added or replaced, and
// its current directory. It is started with posix_spawn, never with fork: the caller
// may have other threads (the Java VM's) that hold any lock, and the C library's
// spawn runs no fork handlers (pthread_atfork) and copies nothing of the caller's
// memory, so no lock held elsewhere can stop the start.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace process {

// How arguments[0] names the program.
enum class ProgramName {
    path,          // the program's path, taken as it is
    searchedName,  // a name without a slash is looked up on PATH, as the shell does
};

// Environment variables the program gets beside the caller's: name, value.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts the program as a child of the caller, which is to reap it. Its process id,
// or -1 when it could not be started.
pid_t startChild(const std::vector<std::string>& arguments, ProgramName name,
                 const Environment& environment = {});

// Starts the program for a caller that does not wait for it: a thread of its own,
// started here, waits for the program and reaps it when it ends, at once when it
// ends at once, so it is never left as a zombie. True when it was started.
bool startDetached(const std::vector<std::string>& arguments, ProgramName name,
                   const Environment& environment = {});

}  // namespace process
