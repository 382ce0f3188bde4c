// Catching what the process writes to its standard output and standard error
// while nobody could see it, so that the failure notice can show it.
#pragma once

#include <memory>
#include <string>

namespace platform {

// Windows: from construction on, the standard output and standard error
// handles, and descriptors 1 and 2 and the stdout and stderr streams of the C
// runtimes loaded in the process (this program's and the Java runtime's own),
// write into one pipe that a thread of this process reads, so what they write
// stays in the order it was written. When that cannot be set up, nothing
// changes and end() gives "".
//
// POSIX: does nothing; whoever started the launcher holds its output.
class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();  // ends the capture, dropping what it caught
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Puts the standard handles back and returns what was written so far (the
    // last 64 KiB at most); "" once ended. Writers that took the pipe meanwhile
    // (a Java runtime's System.out, the C runtimes' descriptors) keep it: what
    // they write later is read and dropped for the rest of the process, so
    // that it is neither kept in memory nor blocks them.
    std::string end();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
