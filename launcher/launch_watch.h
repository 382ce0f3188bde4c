// The launch's watcher: this program started again, beside a launch whose
// end nobody would otherwise learn of (Windows: a GUI program started from
// the desktop, or one whose debug console closes with it).
//
// The launcher starts it just before it creates the VM, in a watcher mode
// that nothing on a player's command line reaches: an environment variable
// names handles that only a launcher hands on (a handle of the launcher's
// process, a channel each way, the read end of the caught output). Through
// the channel the watcher learns this run's messages, where HotSpot writes a
// crash report (-XX:ErrorFile, else hs_err_pid<pid>.log in the working
// directory), how a crash is to be told, and at last whether the VM started.
// When the launcher's process ends, the watcher judges, with no work left to
// the process that ended:
//  - the VM ended the process while it started ("Error occurred during
//    initialization of VM"): the failure box, beginning with the VM's
//    reason;
//  - a report of that process appeared: "The game stopped because of an
//    error. Its report is <file> in <folder>." in a box, or as a line in the
//    debug console;
//  - else nothing. A start that failed and returned is the launcher's own
//    to tell: the watcher gives it the caught output back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "failure_notice.h"
#include "platform/platform.h"

// When this process was started as a launch's watcher, does that work and
// gives the exit status; nothing when it is a launch.
std::optional<int> runRequestedWatch();

// The launcher's side, while the VM is created.
class LaunchWatch {
public:
    // Starts the watcher when the end of this launch needs one: the output
    // is unseen (then what the process writes goes to the watcher until
    // startEnded), or a crash is to be told in the debug console. errorFile:
    // the VM's -XX:ErrorFile value, "" without one. Null without a watcher.
    static std::unique_ptr<LaunchWatch> start(bool outputUnseen, const std::string& errorFile);

    // The VM's creation has returned: started or not. Gives what the process
    // wrote while the VM was created, when it did not start.
    std::string startEnded(bool started);

    explicit LaunchWatch(std::unique_ptr<platform::LaunchWatcher> watcher)
        : watcher_(std::move(watcher)) {}

private:
    std::unique_ptr<platform::LaunchWatcher> watcher_;
};

// The report HotSpot writes for a crash of process processId, by the
// -XX:ErrorFile pattern ("%p" the process id, "%%" a percent sign), and
// without one, hs_err_pid<id>.log; a relative path lies in directory.
std::string crashReportPath(const std::string& errorFile, std::uint64_t processId,
                            const std::string& directory);

// What the player is told of a crash that left the report at path.
std::string crashNoticeText(const std::string& report);
