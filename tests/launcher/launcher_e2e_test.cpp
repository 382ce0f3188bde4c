// The built launcher, run in temporary game trees: its lines on standard
// output and standard error, in order, and its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>

#include <algorithm>

#include <string>
#include <vector>

#include "game_tree.h"

namespace {

namespace fs = launcher_test::fs;
using launcher_test::Lines;
using launcher_test::splitLines;

struct Outcome {
    Lines out;
    Lines err;
    int status = -1;  // exit status, or -1 when the launcher did not exit
};

// A game tree: game/ holds the launcher, runtime/ stands beside it.
class GameTree : public ::testing::Test {
protected:
    std::string fakeRuntime(const std::string& directory) {
        return tree_.copy(FAKE_RUNTIME_LIBRARY, directory + "/libjvm.so");
    }

    // Runs the launcher. mergeStreams sends standard error into standard
    // output, so that their order shows; unprivileged runs it as an ordinary
    // user when the test runs as root, so that permissions bind. from, when
    // given, is an open directory that holds a launcher named tessvik, run
    // from there by a relative path.
    Outcome run(bool mergeStreams = false, bool unprivileged = false, int from = -1) {
        launcher_test::RunOptions options;
        options.mergeStreams = mergeStreams;
        options.unprivileged = unprivileged;
        options.directory = from;
        const launcher_test::RunResult result =
            from < 0 ? tree_.launch({}, options)
                     : launcher_test::runProgram({"./tessvik"}, options);
        return {splitLines(result.out), splitLines(result.err), result.status};
    }

    std::string settingsPath() const { return tree_.settingsPath(); }
    std::string openError() const { return "Error: " + settingsPath() + ": cannot open file"; }

    // The lines up to and including the first that starts with prefix.
    static Lines upTo(const Lines& lines, const std::string& prefix) {
        Lines head;
        for (const std::string& line : lines) {
            head.push_back(line);
            if (line.rfind(prefix, 0) == 0) break;
        }
        return head;
    }

    launcher_test::GameTree tree_{TESSVIK_EXECUTABLE};
    const std::string game_ = tree_.game();
};

TEST_F(GameTree, WithoutARuntimeTheLaunchStopsWithStatusOne) {
    const Outcome first = run();
    EXPECT_EQ(first.out,
              (Lines{"Starting: ", openError(), game_, "Failed to find jvm installation."}));
    EXPECT_EQ(first.err, Lines{});
    EXPECT_EQ(first.status, 1);

    // The created file reads on the next run and is left as it is.
    const std::string created = launcher_test::readFile(settingsPath());
    EXPECT_EQ(launcher_test::splitLines(created).size(), 8u);
    const Outcome second = run();
    EXPECT_EQ(second.out, (Lines{"Starting: ", game_, "Failed to find jvm installation."}));
    EXPECT_EQ(launcher_test::readFile(settingsPath()), created);
}

TEST_F(GameTree, TheJdksRuntimeLoadsFromTheUnnormalisedPath) {
    tree_.dir("runtime/bin/server");
    fs::create_symlink(REAL_JVM_LIBRARY, tree_.path("runtime/bin/server/libjvm.so"));
    tree_.file("game/LaunchConfig.ini", "[Memory]\nInitialHeap=16m\nMaxHeapSize=64m\n");
    const Outcome outcome = run();
    EXPECT_EQ(
        upTo(outcome.out, "Working Directory: "),
        (Lines{"Starting: ", game_, "Runtime path: " + game_ + "/../runtime/bin/server/libjvm.so",
               "Working Directory: " + game_}));
    // What the VM writes after that is not the launcher's.
    for (const std::string& line : outcome.err) EXPECT_NE(line, "Failed to load libjvm.so");
}

TEST_F(GameTree, TheFirstRuntimeInDepthFirstOrderIsTaken) {
    // Listed as NTFS lists them: "aaa" before "Bin", although "B" < "a".
    fakeRuntime("runtime/Bin/server");
    fakeRuntime("runtime/aaa/x");
    fakeRuntime("runtime/aaa/y");
    const Outcome outcome = run();
    EXPECT_EQ(upTo(outcome.out, "Working Directory: "),
              (Lines{"Starting: ", openError(), game_,
                     "Runtime path: " + game_ + "/../runtime/aaa/x/libjvm.so",
                     "Working Directory: " + game_}));
}

TEST_F(GameTree, ARuntimeThatDoesNotLoadStopsTheLaunch) {
    tree_.file("runtime/libjvm.so", "#!/bin/sh\n");
    const Outcome outcome = run();
    EXPECT_EQ(outcome.out, (Lines{"Starting: ", openError(), game_,
                                  "Runtime path: " + game_ + "/../runtime/libjvm.so"}));
    EXPECT_EQ(outcome.err,
              (Lines{"Failed to load libjvm.so", game_ + "/../runtime/libjvm.so: file too short"}));
    EXPECT_EQ(outcome.status, 1);
}

TEST_F(GameTree, TheSettingsCanNameTheRuntimeDirectory) {
    const std::string jre = tree_.dir("jre");
    fakeRuntime("jre");
    fakeRuntime("runtime");
    tree_.file("game/LaunchConfig.ini",
               "[Runtime]\nOverrideDefaultJavaPath=true\nJavaPath=" + jre + "/\n");
    const Outcome outcome = run();
    EXPECT_EQ(upTo(outcome.out, "Working Directory: "),
              (Lines{"Starting: ", game_, "Runtime path: " + jre + "//libjvm.so",
                     "Working Directory: " + game_}));
}

TEST_F(GameTree, AReadOnlyGameDirectoryStillLaunches) {
    chmod(game_.c_str(), 0555);
    const Outcome outcome = run(true, true);
    EXPECT_EQ(outcome.out,
              (Lines{"Starting: ", openError(), settingsPath() + ": cannot open file",
                     "Failed to create ini.", game_, "Failed to find jvm installation."}));
    EXPECT_EQ(outcome.status, 1);
}

TEST_F(GameTree, AnUnreadableRuntimeSubdirectoryIsPassedOver) {
    fakeRuntime("runtime/aaa");
    fakeRuntime("runtime/bin/server");
    chmod(tree_.path("runtime/aaa").c_str(), 0);
    tree_.file("game/LaunchConfig.ini", "");
    const Outcome outcome = run(false, true);
    EXPECT_EQ(
        upTo(outcome.out, "Working Directory: "),
        (Lines{"Starting: ", game_, "Runtime path: " + game_ + "/../runtime/bin/server/libjvm.so",
               "Working Directory: " + game_}));
}

TEST_F(GameTree, ADirectoryNamedLikeTheSettingsFileIsReportedNotFatal) {
    tree_.dir("game/LaunchConfig.ini");
    const Outcome outcome = run(true);
    EXPECT_EQ(outcome.out, (Lines{"Starting: ", "Error: " + settingsPath() + "(1): read error",
                                  settingsPath() + ": cannot open file", "Failed to create ini.",
                                  game_, "Failed to find jvm installation."}));
    EXPECT_EQ(outcome.status, 1);
}

TEST_F(GameTree, AGarbledSettingsFileIsReplacedByTheDefault) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
    tree_.file("game/LaunchConfig.ini", garbage);
    const std::string kept = settingsPath() + ".rejected";
    tree_.file("game/LaunchConfig.ini.rejected", "an older copy, replaced");
    const Outcome outcome = run();
    ASSERT_GE(outcome.out.size(), 3u);
    EXPECT_EQ(outcome.out[1].rfind("Error: " + settingsPath() + "(", 0), 0u) << outcome.out[1];
    EXPECT_EQ(outcome.out[2], "The rejected file is kept as " + kept);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(splitLines(launcher_test::readFile(settingsPath())).front(), "[Runtime]");
    EXPECT_EQ(launcher_test::readFile(kept), garbage);

    // Where no copy can be kept, the file is not replaced.
    fs::remove(kept);
    tree_.dir("game/LaunchConfig.ini.rejected");
    tree_.file("game/LaunchConfig.ini", "[Memory\n");
    EXPECT_EQ(run().out, (Lines{"Starting: ", "Error: " + settingsPath() + "(1): unmatched '['",
                                "Cannot keep a copy as " + kept + ", so the file is left as it is.",
                                game_, "Failed to find jvm installation."}));
    EXPECT_EQ(launcher_test::readFile(settingsPath()), "[Memory\n");
}

TEST_F(GameTree, ASettingsFileOverOneMebibyteIsRenamedUnreadAndReplaced) {
    // Five gigabytes on a damaged disk: neither read nor copied.
    tree_.file("game/LaunchConfig.ini");
    fs::resize_file(settingsPath(), 5ull << 30);
    struct stat before;
    ASSERT_EQ(stat(settingsPath().c_str(), &before), 0);
    const std::string kept = settingsPath() + ".rejected";
    EXPECT_EQ(run().out, (Lines{"Starting: ", "Error: " + settingsPath() + ": larger than 1 MiB",
                                "The rejected file is kept as " + kept, game_,
                                "Failed to find jvm installation."}));
    struct stat after;
    ASSERT_EQ(stat(kept.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(splitLines(launcher_test::readFile(settingsPath())).size(), 8u);
}

// A link is the user's: nothing is written through it, nor in its place, and
// the run uses the defaults.
TEST_F(GameTree, ALinkOrAnUnreadableFileInTheSettingsPlaceIsLeftAsItIs) {
    const std::string outside = tree_.dir("outside") + "/LaunchConfig.ini";
    tree_.link("game/LaunchConfig.ini", outside);
    const Lines leftAlone{settingsPath() + " is left as it is; this run uses the default settings.",
                          game_, "Failed to find jvm installation."};
    Lines expected{"Starting: ", openError()};
    expected.insert(expected.end(), leftAlone.begin(), leftAlone.end());
    EXPECT_EQ(run(true).out, expected);
    EXPECT_FALSE(fs::exists(outside));

    tree_.file("outside/LaunchConfig.ini", "[Memory\n");
    expected = {"Starting: ", "Error: " + settingsPath() + "(1): unmatched '['"};
    expected.insert(expected.end(), leftAlone.begin(), leftAlone.end());
    EXPECT_EQ(run(true).out, expected);
    EXPECT_EQ(launcher_test::readFile(outside), "[Memory\n");
    EXPECT_TRUE(fs::is_symlink(settingsPath()));
    EXPECT_FALSE(fs::exists(settingsPath() + ".rejected"));

    // Not readable by the user who runs the game.
    fs::remove(settingsPath());
    tree_.file("game/LaunchConfig.ini", "[Memory]\nInitialHeap=1g\n");
    chmod(settingsPath().c_str(), 0);
    expected = {"Starting: ", openError()};
    expected.insert(expected.end(), leftAlone.begin(), leftAlone.end());
    EXPECT_EQ(run(true, true).out, expected);
    EXPECT_EQ(launcher_test::readFile(settingsPath()), "[Memory]\nInitialHeap=1g\n");
    EXPECT_FALSE(fs::exists(settingsPath() + ".rejected"));
}

TEST_F(GameTree, AFileWithAByteOrderMarkIsReadAndLeftAlone) {
    const std::string text = "\xEF\xBB\xBF[Memory]\r\nInitialHeap=1g\r\n";
    tree_.file("game/LaunchConfig.ini", text);
    EXPECT_EQ(run().out, (Lines{"Starting: ", game_, "Failed to find jvm installation."}));
    EXPECT_EQ(launcher_test::readFile(settingsPath()), text);
}

TEST_F(GameTree, FifosInPlaceOfTheSettingsAndTheRuntimeEndWithTheirMessages) {
    ASSERT_EQ(mkfifo(settingsPath().c_str(), 0600), 0);
    tree_.dir("runtime");
    ASSERT_EQ(mkfifo(tree_.path("runtime/libjvm.so").c_str(), 0600), 0);
    const Outcome outcome = run(true);
    EXPECT_EQ(
        outcome.out,
        (Lines{"Starting: ", openError(), settingsPath() + ": cannot open file",
               "Failed to create ini.", game_, "Runtime path: " + game_ + "/../runtime/libjvm.so",
               "Failed to load libjvm.so", game_ + "/../runtime/libjvm.so: not a regular file"}));
    EXPECT_EQ(outcome.status, 1);
}

// A directory deeper than the longest path the kernel gives for
// /proc/self/exe, made and entered by relative steps.
class DeepDirectory {
public:
    explicit DeepDirectory(const std::string& base) : length_(base.size()) {
        levels_.push_back(open(base.c_str(), O_RDONLY | O_DIRECTORY));
        while (length_ <= PATH_MAX) {
            const int parent = levels_.back();
            if (mkdirat(parent, name_.c_str(), 0755) != 0) break;
            levels_.push_back(openat(parent, name_.c_str(), O_RDONLY | O_DIRECTORY));
            length_ += 1 + name_.size();
        }
    }
    ~DeepDirectory() {
        unlinkat(innermost(), "tessvik", 0);
        for (std::size_t i = levels_.size() - 1; i > 0; --i) {
            close(levels_[i]);
            unlinkat(levels_[i - 1], name_.c_str(), AT_REMOVEDIR);
        }
        close(levels_.front());
    }
    DeepDirectory(const DeepDirectory&) = delete;
    DeepDirectory& operator=(const DeepDirectory&) = delete;

    int innermost() const { return levels_.back(); }
    bool deepEnough() const { return length_ > PATH_MAX; }

private:
    const std::string name_ = std::string(200, 'd');
    std::size_t length_;
    std::vector<int> levels_;
};

TEST_F(GameTree, ALauncherThatCannotFindItsOwnDirectoryTouchesNoFile) {
    DeepDirectory deep(tree_.root());
    ASSERT_TRUE(deep.deepEnough());
    ASSERT_EQ(linkat(AT_FDCWD, (game_ + "/tessvik").c_str(), deep.innermost(), "tessvik", 0), 0);
    const bool rootSettingsBefore = fs::exists("/LaunchConfig.ini");

    const Outcome outcome = run(false, false, deep.innermost());
    EXPECT_EQ(outcome.out, (Lines{"Starting: ", "Cannot find the launcher's own directory."}));
    EXPECT_EQ(outcome.err, Lines{});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(faccessat(deep.innermost(), "LaunchConfig.ini", F_OK, 0), 0);
    EXPECT_FALSE(fs::exists(settingsPath()));
    if (!rootSettingsBefore && fs::exists("/LaunchConfig.ini")) {
        fs::remove("/LaunchConfig.ini");
        ADD_FAILURE() << "the launcher wrote /LaunchConfig.ini";
    }
}

}  // namespace

// A VM that refuses the start-up cache's options, by returning or by ending
// the process as it starts: the launch goes on without them, once, and the
// cache's memo keeps the next launches away from it for a while.
TEST_F(GameTree, AVmThatRefusesTheCachesOptionsCostsTheCacheNotTheLaunch) {
    fakeRuntime("runtime/lib/server");
    tree_.file("runtime/lib/server/classes.jsa", "the runtime's own archive");
    tree_.file("runtime/release", "JAVA_VERSION=\"17.0.15\"\n");
    tree_.writeSettings("[Runtime]\nClassDataSharing=1\n");
    for (const bool endsTheProcess : {false, true}) {
        launcher_test::RunOptions options;
        options.environment.set["XDG_CACHE_HOME"] = tree_.dir(endsTheProcess ? "c1" : "c2");
        if (endsTheProcess) options.environment.set["FAKE_RUNTIME_EXIT"] = "1";
        const launcher_test::RunResult result = tree_.launch({}, options);
        const Lines out = splitLines(result.out);
        EXPECT_EQ(std::count(out.begin(), out.end(), "Starting: "), 1) << result.out;
        const auto writing = std::find_if(out.begin(), out.end(), [](const std::string& line) {
            return line.rfind("Class data sharing: writing ", 0) == 0;
        });
        ASSERT_NE(writing, out.end()) << result.out;
        const std::string archive = writing->substr(writing->rfind(' ') + 1);
        EXPECT_NE(std::find(writing, out.end(),
                            "Class data sharing is off: the VM did not start with " + archive +
                                "; this launch goes on without it"),
                  out.end())
            << result.out;
        EXPECT_EQ(splitLines(result.err), Lines{"Failed to create Java VM (error -1)"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(launcher_test::readFile(archive + ".failed"),
                  "1 0 again the VM did not start with it\n");
    }
}
