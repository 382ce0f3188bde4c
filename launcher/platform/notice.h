// How a failed launch reaches the user: what the process's standard output
// is connected to, and a message box for when it is connected to nothing
// anyone can see.
#pragma once

#include <string>

namespace platform {

enum class OutputTarget {
    none,     // no handle at all: a GUI program started from the desktop
    console,  // a console window
    file,     // redirected to a file
    pipe,     // redirected to a pipe
    device,   // another character device (the null device, a serial port)
};

struct OutputSituation {
    bool hasConsole;  // the process is attached to a console window
    OutputTarget standardOutput;
    OutputTarget standardError = OutputTarget::none;
};

OutputSituation observeOutput();

// A modal box with an error icon and an OK button; returns when it is closed.
void showErrorBox(const std::string& title, const std::string& text);

}  // namespace platform
