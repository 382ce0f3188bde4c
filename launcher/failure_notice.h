// What the user is shown when a launch fails. The messages go to standard
// output and standard error; a GUI program started from the desktop has
// neither a console nor a redirection, so nobody would see them, and the
// pause would open an empty console window. There the messages of this run
// are shown in a message box instead, beginning with why the launch stopped.
#pragma once

#include <string>
#include <vector>

#include "platform/notices.h"

namespace tessvik {

enum class FailureNotice {
    messageBox,  // the messages of this run in a box titled with the game's name
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

// What the settings say of notices: the debug console is open (DebugMode),
// whether a crash is told (ShowCrashNotice), and the game's name, which
// titles the boxes ("" before the settings are read: "Tessvik").
struct NoticeSettings {
    bool consoleKept = false;
    bool crashNoticeWanted = true;
    std::string gameName;
};

// The title of the launcher's boxes for a game of that name.
std::string noticeTitle(const std::string& gameName);

// How a launch failed, for the entry to tell the player once.
enum class LaunchFailure {
    none,
    beforeVm,      // the runtime was not found or not loaded: the launch waits for a key
    vmRefused,     // the VM did not start, or the client's main could not be called
    clientFailed,  // main ended with an exception (the VM's messages are out already)
};

// Observes the process's output and gives the notice chosen for failure: a
// box where nobody sees the output, else the pause where it is wanted. With
// the debug console open every failure waits for a key before the console
// closes with the process, so that why it failed can be read.
void tellFailedLaunch(LaunchFailure failure, const NoticeSettings& settings);

// How a crash of the VM is told (by the launch's watcher, watcher.h).
enum class CrashNotice {
    messageBox,   // nobody sees the output: a box naming the report
    consoleLine,  // the debug console is open: one line there, and the pause
    nothing,      // seen output, or a game that reports its crashes itself
};

CrashNotice chooseCrashNotice(bool outputUnseen, const NoticeSettings& settings);

}  // namespace tessvik
