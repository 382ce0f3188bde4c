// Throw-away game trees for end-to-end runs of the built launcher, and running a
// program with its output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "temp_tree.h"

namespace launcher_test {

struct ChildEnvironment {
    std::map<std::string, std::string> set;
    std::vector<std::string> unset;
};

struct RunOptions {
    ChildEnvironment environment;
    std::string workingDirectory;  // where the program runs; this process's own when empty
    int directory = -1;            // an open directory to run in instead, however long its path
    bool mergeStreams = false;     // standard error into standard output, so that their order shows
    // As an ordinary user when the test runs as root, so that permissions bind.
    bool unprivileged = false;
    // Under script(1), so that the standard streams are a terminal; all output
    // then arrives in out.
    bool inTerminal = false;
    // Output and error into a pipe whose reader has gone (as "program | true").
    bool closedOutput = false;
    // Started with its standard input, output and error closed, as some
    // desktop launchers and service managers start programs.
    bool closedStreams = false;
    // Then the program and whatever it started in its process group are killed.
    int limitSeconds = 120;
};

struct RunResult {
    bool exited = false;  // ended by exit rather than by a signal
    int status = -1;      // exit status; -1 when the program did not exit
    int signal = 0;       // the signal that ended it
    std::string out;
    std::string err;
    double seconds = 0;     // from start to end
    bool timedOut = false;  // killed at the limit

    // The status as a shell shows it: 128 + the signal when a signal ended it;
    // -1 when it was killed at the limit.
    int shellStatus() const {
        if (timedOut) return -1;
        return exited ? status : 128 + signal;
    }
};

// The one way the launcher's tests run a program. Runs argv[0] (looked up on
// PATH when it holds no slash) with the given arguments; argv[0] is also what
// the program sees as its own name. Standard input is /dev/null and the output
// streams are captured; no core dump is written. The environment is this
// process's, changed as the options say, without the variables that would
// give a Java VM options of their own and without a user state directory
// (HOME, XDG_STATE_HOME) unless the options set one. The program runs in a
// process group of its own, which is killed when the limit passes.
RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// A game tree below a fresh temporary directory (root(), its name beginning
// with rootPrefix): game/ holds the launcher, and runtime/ stands beside it.
class GameTree : public TempTree {
public:
    explicit GameTree(const std::string& launcherExecutable,
                      const std::string& rootPrefix = "tessvik-test-");

    const std::string& game() const { return game_; }
    std::string launcher() const { return game_ + "/tessvik"; }
    std::string settingsPath() const { return game_ + "/LaunchConfig.ini"; }

    void writeSettings(const std::string& body) const { file("game/LaunchConfig.ini", body); }
    // runtime/bin/server/libjvm.so linking to a JDK's VM library, and
    // runtime/release to that JDK's release file.
    void linkJdkRuntime(const std::string& jvmLibrary) const;

    // Runs the launcher by its full path with the given arguments, in root()
    // unless the options name another directory.
    RunResult launch(const std::vector<std::string>& args = {}, RunOptions options = {}) const;

private:
    std::string game_;
};

}  // namespace launcher_test
