// The console on Windows: the command processor's PAUSE, and the debug
// console. The launcher is a GUI program and starts without
// a console; this gives it one with a 500-row buffer and rebinds standard
// output and standard error to it, unbuffered, so that messages appear at
// once and in the order written. std::cout and std::cerr write through the
// C streams and follow them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "console.h"

namespace tessvik::platform {

namespace {

// The console's output code page before the launcher set its own; 0 while
// it is unchanged.
UINT earlierOutputCodePage = 0;

}  // namespace

void pause() {
    std::cout.flush();
    std::cerr.flush();
    std::system("PAUSE");
}

void openDebugConsole() {
    // Fails when the process already has a console; the steps below then
    // act on that console.
    AllocConsole();

    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        COORD size = info.dwSize;
        size.Y = 500;
        SetConsoleScreenBufferSize(GetStdHandle(STD_OUTPUT_HANDLE), size);
    }

    // Reopening the standard streams in place on the console's output device
    // keeps every existing reference to stdout and stderr valid. Text mode
    // writes line feeds as CR LF.
    if (std::freopen("CONOUT$", "w", stdout) != nullptr) std::cout.clear();
    if (std::freopen("CONOUT$", "w", stderr) != nullptr) std::cerr.clear();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);

    // The console shows bytes in its output code page, the system's OEM one
    // at first; the launcher's texts are in the process's code page (UTF-8
    // under its manifest).
    const UINT earlier = GetConsoleOutputCP();
    if (earlier != 0 && earlier != GetACP() && SetConsoleOutputCP(GetACP())) {
        earlierOutputCodePage = earlier;
    }
}

void freeConsole() {
    // A console the launcher shares with others gets its code page back.
    if (earlierOutputCodePage != 0) SetConsoleOutputCP(earlierOutputCodePage);
    earlierOutputCodePage = 0;
    FreeConsole();
}

}  // namespace tessvik::platform
