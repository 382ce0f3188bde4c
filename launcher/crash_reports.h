// Where the Java VM writes its crash report, and how a player hears of it.
//
// Left alone, the VM writes hs_err_pid<N>.log into the current directory (the
// game's install folder, or the temporary folder when that is read-only),
// where nobody looks. The launcher instead has it written into the game's
// crashes folder in the user's own space:
//
//   %LOCALAPPDATA%\Tessvik\<game folder>\crashes\            (Windows)
//   $XDG_STATE_HOME/Tessvik/<game folder>/crashes/           (elsewhere;
//   else ~/.local/state/Tessvik/<game folder>/crashes/        see userStateDirectory)
//
// as hs_err_<launch time, UTC>_pid<N>.log, with the compiler's replay file beside
// it as replay_<launch time>_pid<N>.log. The next launch names the report on
// standard output once, and keeps the last crashes only. Options of the
// game's own (-XX:ErrorFile, -XX:OnError, -XX:ReplayDataFile, from any source
// the VM reads) win: the launcher then adds none of its own for that purpose.
//
// Deciding (planCrashReports, reviewCrashFolder) is pure; doing
// (prepareCrashReports) makes the folder, removes old crashes and announces.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "vm_option_sources.h"

namespace tessvik {

// How many crashes the crashes folder keeps: their reports and replay files.
constexpr std::size_t keptCrashes = 10;

// The name of the folder below the game's folder that holds the reports.
constexpr const char* crashesFolderName = "crashes";

// The file that remembers which report the launcher last announced.
constexpr const char* announcedMarkerName = "announced";

// What one launch does about crash reports.
struct CrashReportPlan {
    // The folder the VM writes its crash report into; "" when the game's
    // options say where the report goes (-XX:ErrorFile, -XX:OnError), or when
    // the user has no state directory.
    std::string folder;
    // The report's file name up to the process id: the report of process N is
    // folder/<reportPrefix>N<crashFileSuffix>. "" without a folder.
    std::string reportPrefix;
    // The crashes folder whenever options name a file in it (the report, the
    // replay file or both); "" when they name none.
    std::string crashesFolder;
    // What joins the VM's options after the settings' VMParams:
    // -XX:ErrorFile=... and -XX:ReplayDataFile=..., each unless the game's
    // options chose.
    std::vector<std::string> options;
};

constexpr const char* reportNameStart = "hs_err_";
constexpr const char* replayNameStart = "replay_";
constexpr const char* crashFileSuffix = ".log";

// The launch's time as the file names carry it, in UTC: "20261207-221503".
std::string launchTimeText(const std::tm& launchTime);

// What this launch adds, from the user's state directory ("" when there is
// none), the game's name and directory (which name the game's folder, as for
// the start-up cache), every VM option the game gives, and the launch's time.
CrashReportPlan planCrashReports(const std::string& stateDirectory, const std::string& gameName,
                                 const std::string& gameDirectory,
                                 const std::vector<GivenVmOption>& given,
                                 const std::tm& launchTime);

// What a launch does with the crashes folder, from its file names.
struct CrashFolderReview {
    std::vector<std::string> removed;  // older crashes: reports and replay files
    std::string announced;             // the report to name now, "" for none
};

// names: the folder's entries; lastAnnounced: the report named by the marker
// ("" without one). The newest keptCrashes crashes (a report, a replay file
// or both of one launch time and process) stay; the rest go. The newest
// report is announced when it is newer than the one announced last.
CrashFolderReview reviewCrashFolder(const std::vector<std::string>& names,
                                    const std::string& lastAnnounced);

// The line that names the report of the last launch's crash.
std::string crashAnnouncement(const std::string& reportPath);

// Plans this launch's crash reports from the game's VM options of every
// source, makes the crashes folder (mode 0700, never through a symbolic link), names
// the last crash's report on standard output once, and removes older crashes.
// Without a usable folder the plan has no options, and the VM's own default
// stands.
CrashReportPlan prepareCrashReports(const std::vector<GivenVmOption>& given,
                                    const std::string& gameName, const std::string& gameDirectory);

// The -XX:ErrorFile pattern HotSpot takes at this launch: the game's own from
// any source, else the plan's; "" without one.
std::string errorFilePattern(const std::vector<GivenVmOption>& given, const CrashReportPlan& plan);

}  // namespace tessvik
