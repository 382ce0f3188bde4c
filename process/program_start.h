// Starting another program, the one way both deliverables do it on each
// system: the launcher's debug console window (POSIX), its watcher and the
// start-up cache's assembly and its VMs; the bridge's Steam client.
//
// POSIX: the program runs in a session of its own, with standard input,
// output and error on /dev/null, none of the caller's other descriptors and no
// signal blocked; it inherits the caller's environment, with the variables
// given added or replaced, and its current directory. It is started with
// posix_spawn, never with fork: the caller may have other threads (the Java
// VM's) that hold any lock, and the C library's spawn runs no fork handlers
// (pthread_atfork) and copies nothing of the caller's memory, so no lock held
// elsewhere can stop the start.
//
// Windows: CreateProcessW, with the caller's narrow texts (its code page)
// widened, and only the handles named inherited.
#pragma once

#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "windows_handle.h"
#else
#include <sys/types.h>
#endif

namespace process {

// Environment variables the program gets beside the caller's: name, value.
using Environment = std::vector<std::pair<std::string, std::string>>;

#ifdef _WIN32

// What a Windows program is started with.
struct WindowsStart {
    std::string program;            // the program's path, the application name
    std::string commandLine;        // exactly what the program receives as its command line
    Environment environment;        // added to or put in place of the caller's variables
    DWORD flags = 0;                // CreateProcess's creation flags
    std::vector<HANDLE> inherited;  // the only handles the program inherits
    HANDLE job = nullptr;           // a job the program is in before its first instruction
};

// The command line the C runtime splits back into arguments: each argument
// quoted, the backslashes before a quote doubled.
std::string commandLineOf(const std::vector<std::string>& arguments);

// Starts the program. Its process handle, or none.
OwnedHandle startProgram(const WindowsStart& start);

#else

// How arguments[0] names the program.
enum class ProgramName {
    path,          // the program's path, taken as it is
    searchedName,  // a name without a slash is looked up on PATH, as the shell does
};

// Starts the program as a child of the caller, which is to reap it. Its process id,
// or -1 when it could not be started.
pid_t startChild(const std::vector<std::string>& arguments, ProgramName name,
                 const Environment& environment = {});

// Starts the program for a caller that does not wait for it: a thread of its own,
// started here, waits for the program and reaps it when it ends, at once when it
// ends at once, so it is never left as a zombie. True when it was started.
bool startDetached(const std::vector<std::string>& arguments, ProgramName name,
                   const Environment& environment = {});

#endif

}  // namespace process
