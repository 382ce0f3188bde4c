// Crash reports end to end: a client that crashes the real VM leaves the
// VM's report in the game's crashes folder of the user's state directory and
// nowhere else, the next launch names it once, the folder keeps the last ten
// crashes, and an ErrorFile of the game's own wins.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client_tree.h"
#include "game_layout.h"

using namespace tessvik;

namespace fs = std::filesystem;
using launcher_test::Lines;

namespace {

const char* const announcement = "The last launch ended in a crash; its report is ";

// The crashing VMs dump no core: this process's limit is their launcher's.
class CrashReports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(getrlimit(RLIMIT_CORE, &saved_), 0);
        rlimit none = saved_;
        none.rlim_cur = 0;
        ASSERT_EQ(setrlimit(RLIMIT_CORE, &none), 0);
    }
    void TearDown() override { setrlimit(RLIMIT_CORE, &saved_); }

private:
    rlimit saved_{};
};

class CrashTree : public ClientTree {
public:
    explicit CrashTree(const std::string& jvmLibrary = JVM_LIBRARY) : ClientTree(jvmLibrary) {}

    std::string crashes() const { return gameFolder(state()) + "/crashes"; }

    RunResult launch(const std::string& mode) const {
        return ClientTree::launch({}, mode, {{{"XDG_STATE_HOME", state()}}, {}});
    }

    // The names in the crashes folder that begin with start, in order.
    Lines crashFiles(const std::string& start) const {
        Lines names;
        for (const auto& entry : fs::directory_iterator(crashes())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(start, 0) == 0) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Every hs_err file of the tree outside the state directory.
    Lines strayReports() const {
        Lines found;
        for (const auto& entry : fs::recursive_directory_iterator(root())) {
            const std::string path = entry.path().string();
            if (path.rfind(state(), 0) != 0 && contains(path, "hs_err")) found.push_back(path);
        }
        return found;
    }
};

Lines linesStartingWith(const std::string& text, const std::string& start) {
    Lines found;
    for (const std::string& line : launcher_test::splitLines(text)) {
        if (line.rfind(start, 0) == 0) found.push_back(line);
    }
    return found;
}

std::string fakeReport(int day) {
    return "hs_err_202001" + std::string(day < 10 ? "0" : "") + std::to_string(day) +
           "-080000_pid7.log";
}

mode_t modeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// Eleven older reports, the newest announced already, and a replay file for
// the oldest two: with the crash, twelve crashes.
void writeOlderCrashes(const CrashTree& tree) {
    for (int day = 1; day <= 11; ++day) writeFile(tree.crashes() + "/" + fakeReport(day), "old");
    for (int day = 1; day <= 2; ++day) {
        std::string replay = fakeReport(day);
        writeFile(tree.crashes() + "/" + replay.replace(0, 7, "replay_"), "old");
    }
    writeFile(tree.crashes() + "/announced", fakeReport(11) + "\n");
}

void crashLeavesItsReportInTheStateDirectory(const std::string& jvmLibrary) {
    CrashTree tree(jvmLibrary);
    writeOlderCrashes(tree);
    const RunResult crash = tree.launch("crash");
    EXPECT_FALSE(crash.exited) << crash.out << crash.err;
    EXPECT_TRUE(linesStartingWith(crash.out, announcement).empty()) << crash.out;

    const Lines reports = tree.crashFiles("hs_err_");
    ASSERT_EQ(reports.size(), 11u) << crash.out;
    const std::string report = tree.crashes() + "/" + reports.back();
    // The VM names the file it wrote, its process id in place of %p.
    EXPECT_TRUE(contains(crash.out, "# " + report + "\n")) << crash.out;
    EXPECT_NE(reports.back().find("_pid"), std::string::npos);
    EXPECT_EQ(reports.back().find("%"), std::string::npos);
    EXPECT_TRUE(contains(readFile(report), "SIGSEGV"));
    EXPECT_EQ(tree.strayReports(), Lines{});

    const RunResult next = tree.launch("return");
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(linesStartingWith(next.out, announcement), Lines{announcement + report});
    const RunResult after = tree.launch("return");
    EXPECT_TRUE(linesStartingWith(after.out, announcement).empty()) << after.out;

    // Twelve crashes leave ten: the two oldest and their replay files went.
    Lines kept = tree.crashFiles("hs_err_");
    EXPECT_EQ(kept.size(), 10u);
    EXPECT_EQ(kept.front(), fakeReport(3));
    EXPECT_EQ(kept.back(), reports.back());
    EXPECT_EQ(tree.crashFiles("replay_"), Lines{});
}

TEST_F(CrashReports, Java17CrashReportIsKeptInTheStateDirectoryAndNamedOnce) {
    crashLeavesItsReportInTheStateDirectory(JVM_LIBRARY);
}

TEST_F(CrashReports, Java25CrashReportIsKeptInTheStateDirectoryAndNamedOnce) {
    if (!fs::exists(jdk25Library)) GTEST_SKIP() << "no JDK at " << jdk25Library;
    crashLeavesItsReportInTheStateDirectory(jdk25Library);
}

TEST_F(CrashReports, TheGamesOwnErrorFileWins) {
    CrashTree tree;
    const std::string own = tree.root() + "/own/err_%p.log";
    tree.dir("own");
    tree.writeSettings("512m", "1g", {"-XX:ErrorFile=" + own});
    const RunResult crash = tree.launch("crash");
    EXPECT_FALSE(crash.exited);
    // The launcher's replay option follows the settings' own; no ErrorFile
    // of its own.
    const Lines inputs = linesStartingWith(readFile(tree.reportFile()), "input ");
    ASSERT_GE(inputs.size(), 2u);
    EXPECT_EQ(inputs[inputs.size() - 2], "input -XX:ErrorFile=" + own);
    EXPECT_EQ(inputs.back().rfind("input -XX:ReplayDataFile=" + tree.crashes() + "/replay_", 0), 0u)
        << inputs.back();
    EXPECT_EQ(linesStartingWith(readFile(tree.reportFile()), "input -XX:ErrorFile=").size(), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.root() + "/own"), {}), 1);
    // The replay file's place is still the launcher's; the report is not.
    EXPECT_EQ(tree.crashFiles("hs_err_"), Lines{});
    for (const std::string& made : {tree.state(), tree.state() + "/Tessvik", tree.crashes()}) {
        EXPECT_EQ(modeOf(made), 0700u) << made;
    }
    const RunResult next = tree.launch("return");
    EXPECT_TRUE(linesStartingWith(next.out, announcement).empty()) << next.out;
}

// A link in the crashes folder's place would send the reports elsewhere.
TEST_F(CrashReports, ALinkInTheFoldersPlaceIsNotFollowed) {
    CrashTree tree;
    const std::string elsewhere = tree.dir("elsewhere");
    fs::create_directories(fs::path(tree.crashes()).parent_path());
    fs::create_directory_symlink(elsewhere, tree.crashes());
    const RunResult run = tree.launch("return");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Crash reports stay where the VM puts them: cannot create " +
                                      tree.crashes() + "\n"))
        << run.out;
    EXPECT_EQ(linesStartingWith(readFile(tree.reportFile()), "input -XX:"), Lines{});
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

}  // namespace
