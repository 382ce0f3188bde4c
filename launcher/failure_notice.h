// What the user is shown when a launch fails. The messages go to standard
// output and standard error; a GUI program started from the desktop has
// neither a console nor a redirection, so nobody would see them, and the
// pause would open an empty console window. There the messages of this run
// are shown in a message box instead, beginning with why the launch stopped.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

enum class FailureNotice {
    messageBox,  // the messages of this run in a box titled "Tessvik"
    pause,       // wait for a key ("PAUSE") where the messages are seen
    nothing,
};

// pauseWanted: the failure is one after which the launch waits for a key
// (the runtime was not found or did not load).
FailureNotice chooseFailureNotice(const platform::OutputSituation& situation, bool pauseWanted);

// True when nobody can see what the process writes: no console, and neither
// standard output nor standard error goes to a file or a pipe. Only then is
// what the Java VM writes while it starts caught for the notice.
bool outputUnseen(const platform::OutputSituation& situation);

// The text of the box: why the launch stopped (the last lines the Java VM
// wrote while it was created, when it wrote any, else the launcher's last
// message), an empty line, then every message of this run in order.
std::string composeFailureNotice(const std::vector<std::string>& vmLines, const std::string& log);

// Observes the process's output and gives the notice chosen for it, once per
// run. Once the debug console is kept, the notice is always the pause.
void noticeFailedLaunch(bool pauseWanted);

// The debug console is open: from now on a failed launch waits for a key
// before the console closes with the process, so that why it failed can be
// read.
void keepDebugConsoleOnFailure();

// How a crash of the VM is told (by the launch's watcher, launch_watch.h).
enum class CrashNotice {
    messageBox,   // nobody sees the output: a box naming the report
    consoleLine,  // the debug console is open: one line there, and the pause
    nothing,      // seen output, or a game that reports its crashes itself
};

CrashNotice chooseCrashNotice(bool outputUnseen);

// The settings turned the crash notice off (ShowCrashNotice=false).
void leaveCrashesToTheGame();

// The client failed after the VM was reached (main ended with an exception,
// the VM's own messages already written): waits for a key when the debug
// console is kept, and does nothing else.
void noticeFailedClient();
