// The choice between a message box, the pause and nothing after a failed
// launch, for every combination of console, output target and failure kind;
// when the Java VM's output is caught, and what the box says; where the
// watcher looks for a crash's report, and what it says of it.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "failure_notice.h"
#include "platform/paths.h"
#include "watcher.h"

using namespace tessvik;

namespace {

using namespace std::string_literals;

using platform::OutputTarget;

struct Case {
    bool hasConsole;
    OutputTarget output;
    bool pauseWanted;
    FailureNotice expected;
};

// Names each case in the test list by its values, e.g. "console_pipe_pause".
void PrintTo(const Case& c, std::ostream* os) {
    static const char* const targets[] = {"none", "console", "file", "pipe", "device"};
    *os << (c.hasConsole ? "console_" : "noConsole_") << targets[static_cast<int>(c.output)]
        << (c.pauseWanted ? "_pause" : "_noPause");
}

class FailureNoticeChoice : public ::testing::TestWithParam<Case> {};

TEST_P(FailureNoticeChoice, FollowsWhetherAnyoneSeesTheOutput) {
    const Case& c = GetParam();
    EXPECT_EQ(chooseFailureNotice({c.hasConsole, c.output}, c.pauseWanted), c.expected);
}

constexpr auto box = FailureNotice::messageBox;
constexpr auto pause = FailureNotice::pause;
constexpr auto nothing = FailureNotice::nothing;

INSTANTIATE_TEST_SUITE_P(
    NoConsole, FailureNoticeChoice,
    ::testing::Values(
        // Started from the desktop: nothing behind the standard handles.
        Case{false, OutputTarget::none, true, box}, Case{false, OutputTarget::none, false, box},
        // The null device or another device is no place anyone reads.
        Case{false, OutputTarget::device, true, box}, Case{false, OutputTarget::device, false, box},
        // Redirected: the messages are in the file or the pipe; the pause stands.
        Case{false, OutputTarget::file, true, pause},
        Case{false, OutputTarget::file, false, nothing},
        Case{false, OutputTarget::pipe, true, pause},
        Case{false, OutputTarget::pipe, false, nothing},
        // A console handle inherited without a console window of our own.
        Case{false, OutputTarget::console, true, box}));

INSTANTIATE_TEST_SUITE_P(WithConsole, FailureNoticeChoice,
                         ::testing::Values(
                             // The debug console, or started from a command prompt.
                             Case{true, OutputTarget::console, true, pause},
                             Case{true, OutputTarget::console, false, nothing},
                             Case{true, OutputTarget::none, true, pause},
                             Case{true, OutputTarget::device, true, pause},
                             Case{true, OutputTarget::file, true, pause},
                             Case{true, OutputTarget::pipe, false, nothing}));

TEST(VmOutputCatch, OnlyWhereNeitherStandardOutputNorStandardErrorIsSeen) {
    EXPECT_TRUE(outputUnseen({false, OutputTarget::none, OutputTarget::none}));
    EXPECT_TRUE(outputUnseen({false, OutputTarget::device, OutputTarget::device}));
    EXPECT_FALSE(outputUnseen({false, OutputTarget::device, OutputTarget::pipe}));
    EXPECT_FALSE(outputUnseen({false, OutputTarget::none, OutputTarget::file}));
    EXPECT_FALSE(outputUnseen({false, OutputTarget::pipe, OutputTarget::none}));
    EXPECT_FALSE(outputUnseen({true, OutputTarget::console, OutputTarget::console}));
}

TEST(CaughtVmOutput, SplitsAtEitherLineEndDroppingEmptyLinesAndNuls) {
    EXPECT_EQ(caughtLines("Error occurred during initialization of VM\r\n\r\nInitial heap\0 size\n"
                          "\nno line end"s),
              (std::vector<std::string>{"Error occurred during initialization of VM",
                                        "Initial heap size", "no line end"}));
}

TEST(FailureNoticeText, BeginsWithTheLaunchersLastMessageWhenTheVmSaidNothing) {
    EXPECT_EQ(composeFailureNotice({}, "Starting: \nC:\\game\nFailed to find jvm installation.\n"),
              "Failed to find jvm installation.\n\n"
              "Starting: \nC:\\game\nFailed to find jvm installation.");
}

TEST(FailureNoticeText, BeginsWithTheLastEightLinesTheVmWrote) {
    std::vector<std::string> vmLines;
    std::string log = "Create java VM!\n";
    for (int i = 0; i < 10; ++i) {
        vmLines.push_back("[class,load] " + std::to_string(i));
        log += vmLines.back() + "\n";
    }
    log += "Failed to create Java VM (error -6)\n";
    std::string reason;
    for (int i = 2; i < 10; ++i) reason += "[class,load] " + std::to_string(i) + "\n";
    EXPECT_EQ(composeFailureNotice(vmLines, log), reason + "\n" + log.substr(0, log.size() - 1));
}

TEST(CrashReport, WhereHotSpotWritesItByTheErrorFilePattern) {
    const std::string here = platform::joinPath("game", "");
    const struct {
        const char* errorFile;
        std::string expected;
    } cases[] = {
        {"", here + "hs_err_pid4242.log"},
        {"crashes/hs_err_%p.log", here + "crashes/hs_err_4242.log"},
        {"/state/hs_err_20261207_pid%p.log", "/state/hs_err_20261207_pid4242.log"},
        {"C:\\state\\%p%%p%.log", "C:\\state\\4242%p%.log"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crashReportPath(c.errorFile, 4242, "game"), c.expected) << c.errorFile;
    }
    EXPECT_EQ(crashNoticeText("Tiny Quest", platform::joinPath("crashes", "hs_err_pid7.log")),
              "Tiny Quest stopped because of an error. Its report is hs_err_pid7.log in crashes.");
    // Before the settings name the game, the boxes are the launcher's own.
    EXPECT_EQ(noticeTitle(""), "Tessvik");
    EXPECT_EQ(noticeTitle("Tiny Quest"), "Tiny Quest");
}

TEST(CrashNoticeChoice, ABoxUnseenALineInTheDebugConsoleNothingWhenTheGameTellsItself) {
    const struct {
        bool outputUnseen;
        bool consoleKept;
        bool wanted;
        CrashNotice notice;
    } cases[] = {
        {true, false, true, CrashNotice::messageBox},  {false, false, true, CrashNotice::nothing},
        {false, true, true, CrashNotice::consoleLine}, {true, true, false, CrashNotice::nothing},
        {false, true, false, CrashNotice::nothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseCrashNotice(c.outputUnseen, {c.consoleKept, c.wanted, {}}), c.notice)
            << c.outputUnseen << c.consoleKept << c.wanted;
    }
}

}  // namespace
