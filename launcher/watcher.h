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
//  - a report of that process appeared: "<game> stopped because of an
//    error. Its report is <file> in <folder>." in a box titled with the
//    game's name, or as a line in the debug console;
//  - else nothing. A start that failed and returned is the launcher's own
//    to tell: the watcher gives it the caught output back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "failure_notice.h"
#include "platform/watcher_link.h"

namespace tessvik {

// When this process was started as a launch's watcher, does that work and
// gives the exit status; nothing when it is a launch.
std::optional<int> runRequestedWatcher();

// What a launch needs of its watcher.
struct WatcherPlan {
    // Nobody sees the output: what the process writes while the VM is
    // created goes to the watcher.
    bool outputUnseen = false;
    CrashNotice crashNotice = CrashNotice::nothing;
    std::string errorFile;  // the -XX:ErrorFile pattern HotSpot takes, "" without one
    std::string gameName;   // titles the boxes; the crash notice names it
};

// How the VM's creation ended.
enum class VmStart { started, refused };

// The launcher's side of its watcher, while the VM is created.
class Watcher {
public:
    // Starts the watcher when the plan needs one: the output is unseen, or a
    // crash is to be told. Null without a watcher.
    static std::unique_ptr<Watcher> start(const WatcherPlan& plan);

    // The VM's creation has returned: started or not. Gives what the process
    // wrote while the VM was created, when it did not start.
    std::string vmStartEnded(VmStart start);

private:
    explicit Watcher(std::unique_ptr<platform::WatcherLink> link) : link_(std::move(link)) {}
    std::unique_ptr<platform::WatcherLink> link_;
};

// The report HotSpot writes for a crash of process processId, by the
// -XX:ErrorFile pattern ("%p" the process id, "%%" a percent sign), and
// without one, hs_err_pid<id>.log; a relative path lies in directory.
std::string crashReportPath(const std::string& errorFile, std::uint64_t processId,
                            const std::string& directory);

// What the player is told of a crash of the game that left the report at
// path.
std::string crashNoticeText(const std::string& gameName, const std::string& report);

// The lines of caught output: line ends are LF or CR LF, a last line may lack
// one, and empty lines and NUL characters are dropped.
std::vector<std::string> caughtLines(const std::string& output);

}  // namespace tessvik
