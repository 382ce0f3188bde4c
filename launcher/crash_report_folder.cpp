// The doing half of crash reports: the crashes folder made, older crashes
// removed and the last one announced, before the VM starts. Nothing here runs
// while the VM crashes: the VM writes its report by itself.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "crash_reports.h"
#include "folder_housekeeping.h"
#include "messages.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tessvik {

namespace {

constexpr std::uint64_t markerLimit = 4096;

// The time in UTC, which no change of time zone or summer time reorders.
std::tm universalTimeNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm* universal = std::gmtime(&now);
    return universal != nullptr ? *universal : std::tm{};
}

// Makes folder and every missing directory above it, each for the user
// alone. False when folder is not a directory of its own afterwards (a
// symbolic link there is refused: the reports would land where it points).
bool makeCrashesFolder(const std::string& folder) {
    return platform::makeDirectories(folder) && !platform::isSymbolicLink(folder);
}

std::string announcedBefore(const std::string& marker) {
    std::string name = platform::readFile(marker, markerLimit).bytes;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

// Replaces the marker as a whole, so that a launch never reads half of it.
void rememberAnnounced(const std::string& marker, const std::string& report) {
    platform::writeFileAtomically(marker, report + '\n');
}

// Removes older crashes and names the newest report not named before.
void tendCrashesFolder(const CrashReportPlan& plan) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(plan.crashesFolder, "*", entries)) return;
    std::vector<std::string> names;
    for (const platform::DirectoryEntry& entry : entries) {
        if (!entry.isDirectory) names.push_back(entry.name);
    }
    const std::string marker = platform::joinPath(plan.crashesFolder, announcedMarkerName);
    const CrashFolderReview review = reviewCrashFolder(names, announcedBefore(marker));
    for (const std::string& name : review.removed) {
        platform::removeFile(platform::joinPath(plan.crashesFolder, name));
    }
    // A report the game's own options placed is the game's to announce.
    if (plan.folder.empty() || review.announced.empty()) return;
    writeOut(crashAnnouncement(platform::joinPath(plan.crashesFolder, review.announced)));
    rememberAnnounced(marker, review.announced);
}

}  // namespace

CrashReportPlan prepareCrashReports(const std::vector<GivenVmOption>& given,
                                    const std::string& gameName, const std::string& gameDirectory) {
    CrashReportPlan plan = planCrashReports(platform::userStateDirectory(), gameName, gameDirectory,
                                            given, universalTimeNow());
    if (plan.crashesFolder.empty()) return plan;
    if (!makeCrashesFolder(plan.crashesFolder)) {
        writeOut("Crash reports stay where the VM puts them: cannot create " + plan.crashesFolder);
        return CrashReportPlan();
    }
    tendCrashesFolder(plan);
    // The crashes of games uninstalled long ago go, once a day.
    const std::string gameFolder = platform::directoryOf(plan.crashesFolder);
    noteGameDirectory(gameFolder, gameDirectory);
    tidyGameFolders(platform::directoryOf(gameFolder), gameFolder, FolderPart::crashReports,
                    platform::fileTimeNow());
    return plan;
}

}  // namespace tessvik
