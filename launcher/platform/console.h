// The console: the debug console window, and the pause after a failed launch
// that lets its messages be read.
#pragma once

namespace tessvik::platform {

// Waits for a key press after a failed launch (the system's "PAUSE"); on
// POSIX only when standard input is a terminal.
void pause();

// Debug console: opens a console window and rebinds standard output and
// standard error to it, unbuffered.
void openDebugConsole();
// Detaches from the console, if any.
void freeConsole();

}  // namespace tessvik::platform
