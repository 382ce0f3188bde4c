// A throw-away game tree for end-to-end runs of the launcher: the built
// executable copied into game/, the test client as game/client.jar, and
// runtime/bin/server/libjvm.so beside game/ linking to the JDK's VM library,
// with runtime/release linking to that JDK's release file. The launcher's
// cache is cache/ in the tree.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

struct RunResult {
    bool exited = false;  // ended by exit rather than by a signal
    int status = -1;      // exit status, or the signal number
    std::string out;
    std::string err;
};

struct ChildEnvironment {
    std::map<std::string, std::string> set;
    std::vector<std::string> unset;
};

// Runs argv[0] with the given arguments (argv[0] is also what the program
// sees as its own name), standard input from /dev/null and the two output
// streams captured. When wrapInTerminal, the program runs under script(1),
// so that its standard streams are a terminal; its output then arrives in
// out.
RunResult runProgram(const std::vector<std::string>& argv, const ChildEnvironment& environment,
                     const std::string& workingDirectory, bool wrapInTerminal = false);

class GameTree {
public:
    // jvmLibrary: the VM library of the JDK the tree's runtime stands for.
    explicit GameTree(const std::string& jvmLibrary = JVM_LIBRARY);
    ~GameTree();
    GameTree(const GameTree&) = delete;
    GameTree& operator=(const GameTree&) = delete;

    const std::string& root() const { return root_; }
    const std::string& game() const { return game_; }
    std::string launcher() const { return game_ + "/tessvik"; }
    std::string reportFile() const { return root_ + "/report.txt"; }
    std::string cache() const { return root_ + "/cache"; }

    // Writes LaunchConfig.ini with the given body.
    void writeSettings(const std::string& body) const;
    // Writes a settings file: heap sizes, extra VM options, verbose flags
    // and the debug switch.
    void writeSettings(const std::string& initialHeap, const std::string& maxHeap,
                       const std::vector<std::string>& vmParams, bool verboseJni = false,
                       bool verboseGC = false, bool verboseClass = false,
                       bool debugMode = false) const;
    void addFile(const std::string& relativePath, const std::string& content) const;
    void removeClientJar() const;

    // Runs the launcher with extra arguments after the program name; the
    // test client's mode goes in TESSVIK_TEST_MODE, and XDG_CACHE_HOME is
    // cache() unless the environment names another.
    RunResult launch(const std::vector<std::string>& args = {}, const std::string& mode = "return",
                     ChildEnvironment environment = {}, bool wrapInTerminal = false) const;

    // The lines of the client's report, empty when it wrote none.
    std::vector<std::string> report() const;

private:
    std::string root_;
    std::string game_;
};

std::string readFile(const std::string& path);
// The Unicode code points of a UTF-8 text, as lower-case hex, blank-separated.
std::string codePointsOf(const std::string& utf8);
