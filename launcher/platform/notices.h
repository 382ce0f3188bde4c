// Whether anyone sees what the launcher writes, and a box for when nobody
// does: a GUI program started from the desktop has neither a console nor a
// redirection.
#pragma once

#include <string>

namespace tessvik::platform {

// What one of the process's output handles is connected to.
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

// A modal box with an error icon and an OK button, for when the output is
// connected to nothing anyone can see; returns when it is closed.
void showErrorBox(const std::string& title, const std::string& text);

}  // namespace tessvik::platform
