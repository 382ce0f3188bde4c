// The start-up cache where launches and the work after them meet: a game that
// restarts itself at any moment of its own end, an assembly killed midway,
// and the game's agents, logs and recordings beside a cache written in the
// background. Whatever happens, every launch ends as its client ends it, and
// sharing comes back on.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cache_tree.h"

namespace fs = std::filesystem;
using launcher_test::Lines;
using namespace cache_test;

namespace {

struct Process {
    int pid = 0;
    int parent = 0;
    std::string environment;  // NUL-separated, as /proc shows it
};

// The processes this user may look at.
std::vector<Process> processes() {
    std::vector<Process> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        Process process{std::stoi(name), 0, readFile(entry.path().string() + "/environ")};
        // "pid (name) state ppid ...": the name may hold anything but ends at the last ')'.
        const std::string stat = readFile(entry.path().string() + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::sscanf(stat.c_str() + close + 1, " %*c %d", &process.parent);
        found.push_back(process);
    }
    return found;
}

// The assembly of the tree's cache: the process whose environment names a
// request in its cache folder; 0 when none runs. With child set to the pid
// of a VM it runs, if any.
int assemblyOf(const CacheTree& tree, int* child = nullptr) {
    const std::string variable = "TESSVIK_AOT_REQUEST=" + tree.cache() + "/";
    const std::vector<Process> all = processes();
    for (const Process& process : all) {
        if (process.environment.find(variable) == std::string::npos ||
            process.environment.find("TESSVIK_AOT_STEP=") != std::string::npos) {
            continue;
        }
        if (child != nullptr) {
            *child = 0;
            for (const Process& other : all) {
                if (other.parent == process.pid) *child = other.pid;
            }
        }
        return process.pid;
    }
    return 0;
}

// Waits until nothing of the tree's cache is held: no launch, no assembly
// (a killed one leaves its request, unlocked). False after a minute.
bool quiet(const CacheTree& tree) {
    for (int i = 0; i < 600; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        std::vector<std::string> held = filesEndingIn(tree, ".lock");
        for (const std::string& request : filesEndingIn(tree, ".request")) held.push_back(request);
        if (std::all_of(held.begin(), held.end(), lockFree)) return true;
    }
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What a file holds and when it was last written.
struct FileState {
    std::string content;
    fs::file_time_type written;
    bool operator==(const FileState& other) const {
        return content == other.content && written == other.written;
    }
};
FileState stateOf(const std::string& path) {
    return {readFile(path), fs::exists(path) ? fs::last_write_time(path) : fs::file_time_type()};
}

// Thirty launches, each started by the one before as that one ends: from a
// shutdown hook, after a pause of up to 300 ms, while its VM ends (writing its
// archive or configuration), or after its launcher has gone. Every third
// client ends with System.exit(3).
void restartThirtyTimes(const std::string& jvmLibrary) {
    constexpr int launches = 30;
    const auto start = std::chrono::steady_clock::now();
    CacheTree tree(jvmLibrary);
    const std::string chain = tree.root() + "/launches";
    const RunResult first = tree.launch({}, "chain",
                                        {{{"TESSVIK_TEST_CHAIN", chain},
                                          {"TESSVIK_TEST_CHAIN_LENGTH", std::to_string(launches)},
                                          {"TESSVIK_TEST_NEXT", tree.launcher()}},
                                         {}});
    // A launch has ended once its shell wrote the status line: a launch may
    // end after the ones it started.
    const auto ended = [&](int launch) {
        const std::string status = readFile(chain + "-" + std::to_string(launch) + ".out.status");
        return !status.empty() && status.back() == '\n';
    };
    const auto allEnded = [&] {
        for (int launch = 2; launch <= launches; ++launch) {
            if (!ended(launch)) return false;
        }
        return true;
    };
    for (int i = 0; i < 1800 && !allEnded(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(allEnded()) << readFile(chain);
    ASSERT_TRUE(settled(tree));

    Lines expected;
    Lines statuses;
    Lines states;
    for (int launch = 1; launch <= launches; ++launch) {
        const std::string name = chain + "-" + std::to_string(launch) + ".out";
        const std::string out = launch == 1 ? first.out + first.err : readFile(name);
        const std::string status =
            launch == 1 ? std::to_string(first.status) + "\n" : readFile(name + ".status");
        expected.push_back(std::to_string(launch) + " " + std::to_string(launch % 3 ? 0 : 3));
        statuses.push_back(std::to_string(launch) + " " + status.substr(0, status.find('\n')));
        states.push_back("Class data sharing" + restOfLine(out, "Class data sharing"));
        EXPECT_FALSE(contains(out, "[error")) << launch << ":\n" << out;
    }
    EXPECT_EQ(launcher_test::splitLines(readFile(chain)), expected);
    EXPECT_EQ(statuses, expected);
    for (const std::string& state : states) {
        EXPECT_NE(state, "Class data sharing") << "a launch without a sharing line";
    }

    const CacheRun next = tree.launchCached();
    EXPECT_EQ(next.state, "using") << next.run.out;
    EXPECT_EQ(next.mainFrom.rfind("shared objects file", 0), 0u) << next.mainFrom;
    const std::string name = fs::path(next.cache).filename().string();
    EXPECT_EQ(tree.cacheFiles(), (Lines{name, name + ".lock", name + ".sum", "game-directory"}));
    // What the launches said, each line without the cache's name, and how often.
    std::map<std::string, int> said;
    for (const std::string& state : states) ++said[state.substr(0, state.find(tree.cache()))];
    std::cout << "[          ] " << secondsSince(start) << " s\n";
    for (const auto& [state, times] : said)
        std::cout << "[          ] " << times << "x " << state << "\n";
}

// True while the process runs: there, and not a zombie nobody reaped yet.
bool running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

class CacheRace : public ::testing::Test {};

// The cases of Java 25's cache, skipped without Temurin 25.
class CacheRace25 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(jdk25Library)) GTEST_SKIP() << "no JDK at " << jdk25Library;
    }
};

}  // namespace

TEST_F(CacheRace, Java17RestartingAtAnyMomentOfItsEndLeavesSharingOn) {
    restartThirtyTimes(JVM_LIBRARY);
}

TEST_F(CacheRace25, RestartingAtAnyMomentOfItsEndLeavesSharingOn) {
    restartThirtyTimes(jdk25Library);
}

// An assembly ended by a signal (a shutdown, a player's task manager), while
// it waits for the recording launch or while its VM assembles: what it left
// counts as a failed attempt, retried at once.
TEST_F(CacheRace25, AKilledAssemblyIsRetriedAtTheNextLaunch) {
    for (const bool whileAssembling : {false, true}) {
        SCOPED_TRACE(whileAssembling ? "killed while its VM assembles" : "killed while it waits");
        const auto start = std::chrono::steady_clock::now();
        CacheTree tree;
        // While the client naps the assembly waits for the entry's lock.
        const std::string mode = whileAssembling ? "return" : "nap";
        auto recording = std::async(std::launch::async, [&] { return tree.launchCached(mode); });
        int assembly = 0;
        int child = 0;
        for (int i = 0; i < 3000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            assembly = assemblyOf(tree, &child);
            if (assembly != 0 && (whileAssembling ? child != 0 : true)) break;
        }
        ASSERT_NE(assembly, 0);
        ASSERT_EQ(kill(assembly, SIGTERM), 0);
        // Its VM goes with it, within moments even on a busy machine (where
        // the VM, at the assembly's low priority, assembles for seconds).
        for (int i = 0; i < 200 && child != 0 && running(child); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(child == 0 || !running(child))
            << "the assembly's VM " << child << " outlived it";
        const CacheRun recorded = recording.get();
        EXPECT_EQ(recorded.run.status, 0) << recorded.run.err;
        EXPECT_EQ(recorded.state, "recording") << recorded.run.out;
        EXPECT_NE(whileAssembling, child == 0) << "the assembly ran no VM when it was killed";
        ASSERT_TRUE(quiet(tree));
        EXPECT_FALSE(fs::exists(recorded.cache));
        const Lines left = tree.cacheFiles();

        const CacheRun again = tree.launchCached();
        EXPECT_EQ(again.run.status, 0) << again.run.err;
        EXPECT_EQ(again.state, "recording")
            << again.run.out << "left: " << testing::PrintToString(left);
        ASSERT_TRUE(assembled(tree, recorded.cache));
        const CacheRun next = tree.launchCached();
        EXPECT_EQ(next.state, "using") << next.run.out;
        EXPECT_EQ(next.mainFrom, "shared objects file");
        const std::string name = fs::path(next.cache).filename().string();
        // Nothing of the killed assembly outlives it: no VM of its own
        // writes a part after the next launch cleared what was left.
        EXPECT_EQ(tree.cacheFiles(),
                  (Lines{name, name + ".lock", name + ".sum", "game-directory"}));
        std::cout << "[          ] " << secondsSince(start)
                  << " s; left by the killed assembly: " << testing::PrintToString(left) << "\n";
    }
}

// The game's agent, its VM log and its flight recording belong to its own VM:
// the assembly's VMs run none of them, and the cache they make is the one the
// game's VM maps with all of them.
TEST_F(CacheRace25, TheAssemblyRunsNoneOfTheGamesAgentsLogsOrRecordings) {
    const auto start = std::chrono::steady_clock::now();
    // Given in the settings, or by the player in JAVA_TOOL_OPTIONS, which the
    // assembly's VMs never see.
    for (const bool fromEnvironment : {false, true}) {
        SCOPED_TRACE(fromEnvironment ? "JAVA_TOOL_OPTIONS" : "VMParams");
        CacheTree tree;
        const std::string agentLines = tree.root() + "/agent-lines";
        const Lines gameFiles{tree.root() + "/game.log", tree.root() + "/game.jfr",
                              tree.root() + "/classes.log"};
        const Lines options{"-javaagent:" + std::string(TEST_AGENT_JAR) + "=" + agentLines,
                            "-XX:+UnlockDiagnosticVMOptions", "-XX:+LogVMOutput",
                            "-XX:LogFile=" + gameFiles[0],
                            "-XX:StartFlightRecording=filename=" + gameFiles[1]};
        ChildEnvironment environment;
        if (fromEnvironment) {
            for (const std::string& option : options) {
                environment.set["JAVA_TOOL_OPTIONS"] += option + " ";
            }
        } else {
            tree.writeOptions(options);
        }
        const CacheRun recorded = tree.launchCached("return", environment);
        EXPECT_EQ(recorded.run.status, 0) << recorded.run.err;
        EXPECT_EQ(recorded.state, "recording") << recorded.run.out;
        // The files as the game's VM left them (no recording: see below).
        std::vector<FileState> written;
        for (const std::string& file : gameFiles) written.push_back(stateOf(file));
        ASSERT_TRUE(assembled(tree, recorded.cache)) << testing::PrintToString(tree.cacheFiles());
        EXPECT_EQ(launcher_test::splitLines(readFile(agentLines)).size(), 1u)
            << readFile(agentLines);
        for (std::size_t i = 0; i < gameFiles.size(); ++i) {
            EXPECT_TRUE(stateOf(gameFiles[i]) == written[i]) << gameFiles[i];
        }

        const CacheRun next = tree.launchCached("return", environment);
        EXPECT_EQ(next.run.status, 0) << next.run.err;
        EXPECT_EQ(next.state, "using") << next.run.out;
        EXPECT_EQ(next.mainFrom, "shared objects file") << next.run.out;
        // The modules the agent and the recording add (java.instrument,
        // jdk.jfr) are the cache's too: else HotSpot maps it with an error at
        // every launch.
        EXPECT_FALSE(contains(next.run.out + next.run.err, "[error")) << next.run.out;
        EXPECT_EQ(launcher_test::splitLines(readFile(agentLines)).size(), 2u);
        // HotSpot turns the flight recording off while it records for a cache
        // ("JFR will be disabled during CDS dumping"); with the cache it runs.
        EXPECT_TRUE(fs::exists(gameFiles[1]));
    }
    std::cout << "[          ] " << secondsSince(start) << " s\n";
}
