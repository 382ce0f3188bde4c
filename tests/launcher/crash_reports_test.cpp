// The crash report decisions: which options a launch adds beside the game's
// own, and what the crashes folder keeps and announces.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crash_reports.h"
#include "digest.h"
#include "watcher.h"
#include "game_layout.h"

using namespace tessvik;

namespace {

std::tm launchTime() {
    std::tm time{};
    time.tm_year = 2026 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 7;
    time.tm_hour = 22;
    time.tm_min = 15;
    time.tm_sec = 3;
    return time;
}

std::vector<GivenVmOption> given(const std::vector<std::string>& texts) {
    std::vector<GivenVmOption> options;
    for (const std::string& text : texts) options.push_back({text, "VMParams"});
    return options;
}

TEST(CrashReportPlan, ReportAndReplayFileGoToTheGamesCrashesFolder) {
    const CrashReportPlan plan =
        planCrashReports("/home/u/.local/state", "Zarn 50%", "/games/zarn", {}, launchTime());
    const std::string folder =
        "/home/u/.local/state/Tessvik/Zarn 50%-" + digestOf("/games/zarn") + "/crashes";
    EXPECT_EQ(plan.folder, folder);
    EXPECT_EQ(plan.crashesFolder, folder);
    EXPECT_EQ(plan.reportPrefix, "hs_err_20261207-221503_pid");
    // The watcher finds the report of process 4242 where the plan puts it.
    EXPECT_EQ(crashReportPath(errorFilePattern({}, plan), 4242, "/"),
              folder + "/hs_err_20261207-221503_pid4242.log");
    // The VM expands %p and %%: a '%' of the path reaches it doubled.
    std::string escaped = folder;
    escaped.replace(escaped.find("50%"), 3, "50%%");
    EXPECT_EQ(plan.options,
              (std::vector<std::string>{
                  "-XX:ErrorFile=" + escaped + "/hs_err_20261207-221503_pid%p.log",
                  "-XX:ReplayDataFile=" + escaped + "/replay_20261207-221503_pid%p.log"}));
}

TEST(CrashReportPlan, TheGamesOwnChoiceWins) {
    struct Case {
        std::vector<std::string> given;
        std::string state;
        bool ownReport;  // an ErrorFile of the launcher's, and a folder
        bool ownReplay;
    };
    const std::vector<Case> cases = {
        {{"-Xss2m", "-XX:+UseG1GC"}, "/s", true, true},
        {{"-XX:ErrorFile=/tmp/e_%p.log"}, "/s", false, true},
        {{"-XX:ErrorFile="}, "/s", false, true},
        {{"-XX:OnError=echo %p"}, "/s", false, true},
        {{"-XX:ReplayDataFile=r.log"}, "/s", true, false},
        {{"-XX:OnError=x", "-XX:ReplayDataFile=r.log"}, "/s", false, false},
        {{}, "", false, false},
    };
    for (const Case& each : cases) {
        const std::string context = each.given.empty() ? "(none)" : each.given.front();
        const CrashReportPlan plan =
            planCrashReports(each.state, "G", "/g", given(each.given), launchTime());
        const auto has = [&plan](const std::string& start) {
            return std::any_of(plan.options.begin(), plan.options.end(),
                               [&start](const std::string& o) { return o.rfind(start, 0) == 0; });
        };
        EXPECT_EQ(has("-XX:ErrorFile="), each.ownReport) << context;
        EXPECT_EQ(!plan.folder.empty(), each.ownReport) << context;
        EXPECT_EQ(errorFilePattern({}, plan).empty(), !each.ownReport) << context;
        EXPECT_EQ(has("-XX:ReplayDataFile="), each.ownReplay) << context;
        EXPECT_EQ(plan.options.size(), size_t(each.ownReport) + size_t(each.ownReplay)) << context;
        EXPECT_EQ(!plan.crashesFolder.empty(), !plan.options.empty()) << context;
    }
}

std::string report(int day, int pid) {
    return "hs_err_202612" + std::string(day < 10 ? "0" : "") + std::to_string(day) +
           "-120000_pid" + std::to_string(pid) + ".log";
}

std::string replay(int day, int pid) {
    std::string name = report(day, pid);
    return name.replace(0, std::string("hs_err_").size(), "replay_");
}

TEST(CrashFolderReview, KeepsTheLastTenCrashesAndAnnouncesANewerReportOnce) {
    struct Case {
        std::string name;
        std::vector<std::string> names;
        std::string lastAnnounced;
        std::vector<std::string> removed;
        std::string announced;
    };
    std::vector<std::string> twelve = {"announced", "notes.txt", "hs_err_pid77.log", replay(1, 5),
                                       replay(2, 5)};
    for (int day = 1; day <= 12; ++day) twelve.push_back(report(day, 5));
    std::vector<std::string> tenReplaysNewer = {report(1, 5)};
    for (int day = 2; day <= 11; ++day) tenReplaysNewer.push_back(replay(day, 5));

    const std::vector<Case> cases = {
        {"empty", {}, "", {}, ""},
        {"first crash", {report(3, 9)}, "", {}, report(3, 9)},
        {"announced already", {report(3, 9)}, report(3, 9), {}, ""},
        {"a newer one", {report(3, 9), report(4, 1)}, report(3, 9), {}, report(4, 1)},
        {"only an older one", {report(3, 9)}, report(4, 1), {}, ""},
        {"a marker of nonsense", {report(3, 9)}, "garbage", {}, report(3, 9)},
        {"same second, larger pid",
         {report(3, 99), report(3, 100)},
         report(3, 99),
         {},
         report(3, 100)},
        {"twelve crashes",
         twelve,
         report(11, 5),
         {report(1, 5), replay(1, 5), report(2, 5), replay(2, 5)},
         report(12, 5)},
        {"replays count as crashes", tenReplaysNewer, "", {report(1, 5)}, ""},
        {"names of others",
         {"hs_err_pid1.log", "hs_err_2026120-120000_pid1.log", "hs_err_20261201-120000_pid.log",
          "hs_err_20261201-120000_pid1.txt", "hs_err_20261201x120000_pid1.log"},
         "",
         {},
         ""},
    };
    for (const Case& each : cases) {
        CrashFolderReview review = reviewCrashFolder(each.names, each.lastAnnounced);
        std::vector<std::string> removed = review.removed;
        std::vector<std::string> expected = each.removed;
        std::sort(removed.begin(), removed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(removed, expected) << each.name;
        EXPECT_EQ(review.announced, each.announced) << each.name;
    }
}

}  // namespace
