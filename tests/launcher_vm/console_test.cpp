// The debug console on POSIX: where the launcher's and the client's output go
// when the settings turn debugMode on.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "client_tree.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

bool have(const char* program) {
    return launcher_test::runProgram({"sh", "-c", std::string("command -v ") + program}).status ==
           0;
}

// A tree with the debug switch on.
class LauncherDebugConsole : public ::testing::Test {
protected:
    LauncherDebugConsole() { tree_.writeSettings("512m", "1g", {}, false, false, false, true); }

    // Stand-ins for the terminal programs: each notes how it was called in the
    // file $TERMINAL_CALLS, then runs the given body.
    void addTerminalProgram(const std::string& name, const std::string& body) {
        fs::path path = fs::path(tree_.root()) / "bin" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $*\" >> \"$TERMINAL_CALLS\"\n"
                            << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    // Terminal programs that cannot open a window.
    void addFailingTerminals() {
        addTerminalProgram("x-terminal-emulator", "exit 1");
        addTerminalProgram("xterm", "exit 1");
    }

    ChildEnvironment consoleEnvironment(const std::string& display) const {
        ChildEnvironment environment;
        environment.set["PATH"] = tree_.root() + "/bin:" + std::getenv("PATH");
        environment.set["TERMINAL_CALLS"] = tree_.root() + "/terminal-calls";
        environment.unset = {"WAYLAND_DISPLAY"};
        if (display.empty()) {
            environment.unset.push_back("DISPLAY");
        } else {
            environment.set["DISPLAY"] = display;
        }
        return environment;
    }

    std::string terminalCalls() const { return readFile(tree_.root() + "/terminal-calls"); }

    ClientTree tree_;
};

}  // namespace

TEST_F(LauncherDebugConsole, TerminalAlreadyPresentIsKept) {
    addFailingTerminals();
    RunResult run = tree_.launch({}, "return", consoleEnvironment(":0"), true);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "Create java VM!\r\nmain returns")) << run.out;
    EXPECT_EQ(terminalCalls(), "");
    EXPECT_EQ(tree_.report().back(), "console true");
}

TEST_F(LauncherDebugConsole, WithoutDisplayTheStreamsStayWhereTheyAre) {
    addFailingTerminals();
    RunResult run = tree_.launch({}, "return", consoleEnvironment(""));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Create java VM!\nmain returns\n")) << run.out;
    EXPECT_EQ(terminalCalls(), "");
    EXPECT_EQ(tree_.report().back(), "console false");
}

TEST_F(LauncherDebugConsole, WindowThatCannotOpenLeavesTheStreamsAndTriesXtermSecond) {
    addFailingTerminals();
    RunResult run = tree_.launch({}, "return", consoleEnvironment(":0"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Create java VM!\nmain returns\n")) << run.out;
    std::string calls = terminalCalls();
    EXPECT_EQ(calls.rfind("x-terminal-emulator -T Tessvik debug console -e sh -c ", 0), 0u)
        << calls;
    EXPECT_TRUE(contains(calls, "\nxterm -sl 500 -T Tessvik debug console -e sh -c ")) << calls;
}

// The console closes with the process: after a failure past the VM's start
// it waits for a key, so that the reason can be read.
TEST_F(LauncherDebugConsole, AFailureAfterTheVmWasReachedWaitsForAKey) {
    addFailingTerminals();
    const struct {
        const char* mode;
        const char* initialHeap;
        bool withClient;
    } cases[] = {
        {"throw", "512m", true},    // main ended with an exception
        {"return", "512m", false},  // the main class missing
        {"return", "lots", true},   // the VM refused its options
    };
    for (const auto& c : cases) {
        tree_.writeSettings(c.initialHeap, "1g", {}, false, false, false, true);
        if (!c.withClient) fs::remove(tree_.clientJar());
        RunResult run = tree_.launch({}, c.mode, consoleEnvironment(":0"), true);
        EXPECT_EQ(run.status, 1) << c.mode << c.initialHeap << run.out;
        EXPECT_TRUE(contains(run.out, "Press any key to continue . . . ")) << run.out;
        if (!c.withClient) fs::copy_file(TEST_CLIENT_JAR, tree_.clientJar());
    }
    // A client that ends well closes the console at once.
    tree_.writeSettings("512m", "1g", {}, false, false, false, true);
    RunResult run = tree_.launch({}, "return", consoleEnvironment(":0"), true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_FALSE(contains(run.out, "Press any key")) << run.out;
}

// A terminal program that never reports its window may still open one late:
// it is ended with what it started, and no second program is tried.
TEST_F(LauncherDebugConsole, ATerminalThatDoesNotStartInTimeIsEndedAndNoOtherTried) {
    addTerminalProgram("x-terminal-emulator", "echo $$ > \"$TERMINAL_CALLS.pid\"; exec sleep 120");
    addTerminalProgram("xterm", "exit 1");
    RunResult run = tree_.launch({}, "return", consoleEnvironment(":0"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "main returns")) << run.out;
    EXPECT_FALSE(contains(terminalCalls(), "xterm ")) << terminalCalls();
    const pid_t terminal = std::stoi(readFile(tree_.root() + "/terminal-calls.pid"));
    EXPECT_NE(kill(terminal, 0), 0) << "the terminal program still runs";
}

// A real window: Xvfb as the display and xterm, logging what it shows.
TEST_F(LauncherDebugConsole, OutputGoesToATerminalWindowUnderAnXServer) {
    if (!have("Xvfb") || !have("xterm")) GTEST_SKIP() << "Xvfb or xterm not installed";
    const std::string windowLog = tree_.root() + "/window.log";
    addTerminalProgram("x-terminal-emulator", "exec xterm -l -lf '" + windowLog + "' \"$@\"");

    const std::string display = ":" + std::to_string(90 + getpid() % 800);
    std::vector<std::string> xvfbArgs{"Xvfb", display, "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : xvfbArgs) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t xvfb = -1;
    ASSERT_EQ(posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, argv.data(), environ), 0);
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    for (int i = 0; i < 200 && !fs::exists(socket); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }

    RunResult run = tree_.launch({}, "return", consoleEnvironment(display));
    // The window closes once the launcher has ended; xterm then writes its log.
    for (int i = 0; i < 200 && !contains(readFile(windowLog), "main returns"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Starting: ")) << run.out;
    EXPECT_FALSE(contains(run.out, "Create java VM!")) << run.out;
    std::string shown = readFile(windowLog);
    EXPECT_TRUE(contains(shown, "Create java VM!")) << shown;
    EXPECT_TRUE(contains(shown, "main returns")) << shown;
    EXPECT_EQ(tree_.report().back(), "console true");
}
