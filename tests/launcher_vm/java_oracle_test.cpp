// The launcher against the JDK's own: each way a client can end runs through
// the runtime's bin/java with the options the launcher gives the VM, and
// through tessvik with class-data sharing off, on a first launch (archive
// written, cache recorded) and on a cached launch (archive or cache used).
// Both must end alike (status or signal) and print the client's lines alike.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client_tree.h"
#include "temp_tree.h"

namespace fs = std::filesystem;
using launcher_test::Lines;

extern char** environ;

namespace {

const char* const mainClass = "com.zarnhall.client.launcherfx.ZarnMain";
const char* const crashHeader =
    "# A fatal error has been detected by the Java Runtime Environment:";

using Outcome = launcher_test::RunResult;

// A program and how it runs.
struct Command {
    std::vector<std::string> argv;
    launcher_test::RunOptions options;
};

Outcome run(const Command& command) {
    return launcher_test::runProgram(command.argv, command.options);
}

// A command in directory with the variables given, killed after a minute.
Command command(std::vector<std::string> argv, const std::map<std::string, std::string>& env,
                const std::string& directory) {
    Command made{std::move(argv), {}};
    made.options.environment.set = env;
    made.options.workingDirectory = directory;
    made.options.limitSeconds = 60;
    return made;
}

// The lines the client and its VM printed: the launcher's own lines left
// out, and what the VM logs (the archive it writes says what it skips), and
// of a crash report only its first line (the rest names process ids and
// addresses).
Lines clientLines(const std::string& text, bool launcherOut = false) {
    Lines lines;
    bool vmStarted = !launcherOut;
    for (const std::string& line : launcher_test::splitLines(text)) {
        if (!vmStarted) {
            vmStarted = line == "Create java VM!";
        } else if (line.rfind("Class data sharing", 0) == 0 || line.rfind("[", 0) == 0 ||
                   line.rfind(" AOTConfiguration recorded: ", 0) == 0) {
        } else if (line.rfind("#", 0) != 0 || line == crashHeader) {
            lines.push_back(line);
        }
    }
    return lines;
}

struct Runtime {
    std::string name;
    std::string jvmLibrary;
    std::string home() const {
        return fs::canonical(jvmLibrary).parent_path().parent_path().parent_path().string();
    }
};

const Runtime runtimes[] = {
    {"Java17", JVM_LIBRARY},
    {"Java25", jdk25Library},
};

enum class Sharing { off, first, cached };

// A game tree on one runtime, with sharing as asked, and the java command
// that gives the VM what the launcher gives it.
class OracleTree : public ClientTree {
public:
    OracleTree(const Runtime& runtime, Sharing sharing)
        : ClientTree(runtime.jvmLibrary), runtime_(runtime), sharing_(sharing) {
        setVmParams({});
    }

    // The given options after one that bounds a crash report's time.
    void setVmParams(const std::vector<std::string>& vmParams) {
        vmParams_ = {"-XX:ErrorLogTimeout=5"};
        vmParams_.insert(vmParams_.end(), vmParams.begin(), vmParams.end());
        std::string body =
            "[Runtime]\nClassDataSharing=" + std::string(sharing_ == Sharing::off ? "0" : "1") +
            "\n[Memory]\nInitialHeap=64m\nMaxHeapSize=256m\n[VMParams]\n";
        for (std::size_t i = 0; i < vmParams_.size(); ++i) {
            body += "JvmParam" + std::to_string(i) + "=" + vmParams_[i] + "\n";
        }
        writeSettings(body);
    }

    Command javaCommand(const std::string& mode,
                        std::map<std::string, std::string> env = {}) const {
        Command java = command(
            {runtime_.home() + "/bin/java", "-Dworkdir=" + game(),
             "-Djava.class.path=" + clientJar() + ":" + game() + "/internal-pack:" + game() +
                 "/launcher-data",
             "-Djava.library.path=" + game() + "/nativelibs", "-Xmn256M", "-Xms64m", "-Xmx256m"},
            env, root());
        // As a shell gives java the settings' values: one word a blank.
        for (const std::string& param : vmParams_) {
            for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1) {
                to = param.find(' ', from);
                java.argv.push_back(param.substr(from, to - from));
            }
        }
        java.argv.push_back(mainClass);
        java.options.environment.set["TESSVIK_TEST_MODE"] = mode;
        return java;
    }

    // The launcher's command; a first launch gets a cache of its own, a
    // cached launch the tree's, filled first.
    Command tessvikCommand(const std::string& mode, std::map<std::string, std::string> env = {}) {
        Command ours = command({launcher()}, env, root());
        auto& set = ours.options.environment.set;
        set["TESSVIK_TEST_MODE"] = mode;
        set["XDG_CACHE_HOME"] = cache();
        set["XDG_STATE_HOME"] = dir("state");
        if (sharing_ == Sharing::first) {
            set["XDG_CACHE_HOME"] = dir("cache-" + std::to_string(++launches_));
        } else if (sharing_ == Sharing::cached && !filled_) {
            fill();
        }
        return ours;
    }

    // The launcher's line on sharing, and whether it fits the tree's mode.
    std::string sharingLine(const Outcome& outcome) const {
        const std::size_t at = outcome.out.find("Class data sharing");
        if (at == std::string::npos) return {};
        return outcome.out.substr(at, outcome.out.find('\n', at) - at);
    }
    bool sharingAsAsked(const Outcome& outcome) const {
        const std::string line = sharingLine(outcome);
        switch (sharing_) {
            case Sharing::off: return line.empty();
            case Sharing::first:
                return line.rfind("Class data sharing: writing ", 0) == 0 ||
                       line.rfind("Class data sharing: recording ", 0) == 0;
            case Sharing::cached: return line.rfind("Class data sharing: using ", 0) == 0;
        }
        return false;
    }
    // A launch whose VM never ended (a crash, an exit from native code) leaves
    // the archive's in-use mark: the next launch discards the archive.
    void noteEndPastTheVm() { filled_ = false; }

    const std::string& archive() const { return archive_; }

private:
    // Writes the tree's archive (or records and assembles its cache) with a
    // launch of its own.
    void fill() {
        const Outcome outcome = run(command(
            {launcher()}, {{"XDG_CACHE_HOME", cache()}, {"XDG_STATE_HOME", dir("state")}}, root()));
        const std::string line = sharingLine(outcome);
        archive_ = line.substr(line.rfind(' ') + 1);
        // Java 17's archive is there once the launch ended, Java 25's cache once
        // its assembly named it.
        for (int i = 0; i < 600 && !fs::exists(archive_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        filled_ = true;
    }

    const Runtime& runtime_;
    Sharing sharing_;
    std::vector<std::string> vmParams_;
    std::string archive_;
    int launches_ = 0;
    bool filled_ = false;
};

// Runs the java command and the launcher's side by side.
std::pair<Outcome, Outcome> runBoth(Command java, Command tessvik) {
    auto oracle = std::async(std::launch::async, [&] { return run(java); });
    Outcome ours = run(tessvik);
    return {oracle.get(), ours};
}

class JavaOracle : public ::testing::TestWithParam<std::tuple<const Runtime*, Sharing>> {
protected:
    void SetUp() override {
        if (!fs::exists(runtime().jvmLibrary)) GTEST_SKIP() << "no " << runtime().jvmLibrary;
    }
    const Runtime& runtime() const { return *std::get<0>(GetParam()); }
    Sharing sharing() const { return std::get<1>(GetParam()); }
};

std::string describe(const Outcome& outcome) {
    return "status " + std::to_string(outcome.shellStatus()) + " after " +
           std::to_string(outcome.seconds).substr(0, 4) + " s\n--- out\n" + outcome.out +
           "--- err\n" + outcome.err;
}

std::string replaced(std::string text, const std::string& from, const std::string& to);

// How a client may end (the client's modes).
struct Ending {
    const char* mode;
    // The process ends past the VM's own end (a crash, an exit from native
    // code): its cache's in-use mark stays, and the next launch that meets
    // it discards the cache. Such an ending runs alone, after the others, so
    // that no launch beside it finds its mark, however slow the machine.
    bool pastTheVm = false;
    // VMParams as a game team copies them from java's command line, in a
    // tree of the row's own ({tree} its folder, which holds splash.gif).
    std::vector<std::string> vmParams = {};
};

const Ending endings[] = {
    {"return"},
    {"exit3"},
    {"hook+exit4"},
    {"hook+halt5"},
    {"workerExit6+return"},
    {"workerExit6+sleep"},
    {"throw"},
    {"handler"},
    {"hook+workerThrow+return"},
    {"thread"},
    {"oom"},
    {"overflow"},
    {"hook+sigterm"},
    {"native+return"},
    {"nativeExit7+sleep", true},
    {"crash", true},
    {"workerCrash+return", true},
    // One row, as each tree of its own waits for its cache to be written.
    {"options",
     false,
     {"--add-opens java.base/java.lang=ALL-UNNAMED", "-client", "--add-exports",
      "java.base/sun.nio.ch=ALL-UNNAMED", "--add-reads java.sql=ALL-UNNAMED", "--add-modules",
      "java.sql", "--enable-native-access ALL-UNNAMED", "-server", "-splash:{tree}/splash.gif"}},
};

// The endings in the batches they run in: the others four at a time, then
// each one past the VM alone.
std::vector<std::vector<Ending>> batches() {
    std::vector<std::vector<Ending>> batches(1);
    for (const Ending& ending : endings) {
        if (!ending.pastTheVm && batches.back().size() < 4) {
            batches.back().push_back(ending);
        } else if (!ending.pastTheVm) {
            batches.push_back({ending});
        }
    }
    for (const Ending& ending : endings) {
        if (ending.pastTheVm) batches.push_back({ending});
    }
    return batches;
}

}  // namespace

// Rows run in batches, java's and the launcher's side by side.
TEST_P(JavaOracle, EveryEndingEndsAsUnderJava) {
    OracleTree tree(runtime(), sharing());
    const std::map<std::string, std::string> env{{"TESSVIK_TEST_NATIVE", CLIENT_NATIVE_LIBRARY}};
    // A row with VMParams of its own runs in a tree of its own, made ready
    // (a cached launch's cache filled) while the tree of the others fills.
    std::vector<std::unique_ptr<OracleTree>> ownTrees;
    std::map<std::vector<std::string>, std::future<std::pair<Command, Command>>> ownRows;
    for (const Ending& ending : endings) {
        if (ending.vmParams.empty()) continue;
        OracleTree& own = *ownTrees.emplace_back(new OracleTree(runtime(), sharing()));
        std::vector<std::string> params;
        for (const std::string& param : ending.vmParams) {
            params.push_back(replaced(param, "{tree}", own.root()));
        }
        own.splashImage();
        own.setVmParams(params);
        ownRows[ending.vmParams] = std::async(std::launch::async, [&own, &ending, &env] {
            return std::make_pair(own.javaCommand(ending.mode, env),
                                  own.tessvikCommand(ending.mode, env));
        });
    }
    for (const std::vector<Ending>& batch : batches()) {
        std::vector<std::future<std::pair<Outcome, Outcome>>> rows;
        for (const Ending& ending : batch) {
            const auto [java, ours] = ending.vmParams.empty()
                                          ? std::make_pair(tree.javaCommand(ending.mode, env),
                                                           tree.tessvikCommand(ending.mode, env))
                                          : ownRows[ending.vmParams].get();
            rows.push_back(std::async(std::launch::async, runBoth, java, ours));
        }
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const auto [java, ours] = rows[i].get();
            if (batch[i].pastTheVm) tree.noteEndPastTheVm();
            SCOPED_TRACE(std::string(batch[i].mode) + "\njava: " + describe(java) +
                         "\ntessvik: " + describe(ours));
            EXPECT_TRUE(tree.sharingAsAsked(ours)) << tree.sharingLine(ours);
            EXPECT_EQ(ours.shellStatus(), java.shellStatus());
            EXPECT_EQ(clientLines(ours.out, true), clientLines(java.out));
            EXPECT_EQ(clientLines(ours.err), clientLines(java.err));
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<JavaOracle::ParamType>& info) {
    const char* const modes[] = {"SharingOff", "FirstLaunch", "CachedLaunch"};
    return std::get<0>(info.param)->name + modes[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(, JavaOracle,
                         ::testing::Combine(::testing::Values(&runtimes[0], &runtimes[1]),
                                            ::testing::Values(Sharing::off, Sharing::first,
                                                              Sharing::cached)),
                         caseName);

namespace {

class JavaOracleEdge : public ::testing::TestWithParam<const Runtime*> {
protected:
    void SetUp() override {
        if (!fs::exists(GetParam()->jvmLibrary)) GTEST_SKIP() << "no " << GetParam()->jvmLibrary;
    }
};

// The depth main's recursion reached, from a "depth N" line.
long depthOf(const Outcome& outcome) {
    const std::size_t at = outcome.out.find("\ndepth ");
    return at == std::string::npos && outcome.out.rfind("depth ", 0) != 0
               ? -1
               : std::stol(outcome.out.substr(outcome.out.find("depth ") + 6));
}

}  // namespace

// The preloaded allocator blocks every call, then the client crashes: the
// error report cannot finish, and its time-out ends the process (java's
// within half a second of it), sharing on. A VM whose time-out cannot end it
// either (some builds' watchdog allocates too) is killed at the limit under
// both launchers alike.
TEST_P(JavaOracleEdge, ACrashWithTheAllocatorBlockedEndsWithinTheReportsTimeOut) {
    OracleTree tree(*GetParam(), Sharing::first);
    const int timeOut = 4;
    tree.setVmParams({"-XX:ErrorLogTimeout=" + std::to_string(timeOut)});
    const std::map<std::string, std::string> env{{"TESSVIK_TEST_NATIVE", CLIENT_NATIVE_LIBRARY},
                                                 {"LD_PRELOAD", CLIENT_NATIVE_LIBRARY}};
    Command java = tree.javaCommand("blockedCrash", env);
    Command ours = tree.tessvikCommand("blockedCrash", env);
    java.options.limitSeconds = ours.options.limitSeconds = timeOut + 8;
    const auto [javaEnd, ourEnd] = runBoth(java, ours);
    SCOPED_TRACE("java: " + describe(javaEnd) + "\ntessvik: " + describe(ourEnd));
    EXPECT_TRUE(tree.sharingAsAsked(ourEnd)) << tree.sharingLine(ourEnd);
    if (javaEnd.seconds <= timeOut + 4) {
        EXPECT_LE(ourEnd.seconds, timeOut + 4);
    }
    EXPECT_EQ(ourEnd.shellStatus(), javaEnd.shellStatus());
}

// Output to a pipe whose reader has gone, as in "tessvik | true".
TEST_P(JavaOracleEdge, OutputToAClosedPipeLeavesTheClientItsRunAndStatus) {
    OracleTree tree(*GetParam(), Sharing::first);
    for (const char* mode : {"return", "exit3"}) {
        Command java = tree.javaCommand(mode);
        Command ours = tree.tessvikCommand(mode);
        java.options.closedOutput = ours.options.closedOutput = true;
        const auto [javaEnd, ourEnd] = runBoth(java, ours);
        EXPECT_EQ(ourEnd.shellStatus(), javaEnd.shellStatus()) << mode;
    }
}

// The client's main may need a deep stack, and sets its size with -Xss.
TEST_P(JavaOracleEdge, MainsStackIsAsDeepAsUnderJava) {
    OracleTree tree(*GetParam(), Sharing::off);
    tree.setVmParams({"-Xss256m"});
    const auto [java, ours] = runBoth(tree.javaCommand("depth"), tree.tessvikCommand("depth"));
    EXPECT_GE(depthOf(java), 300000) << describe(java);
    EXPECT_NEAR(depthOf(ours), depthOf(java), depthOf(java) / 10) << describe(ours);
}

INSTANTIATE_TEST_SUITE_P(, JavaOracleEdge, ::testing::Values(&runtimes[0], &runtimes[1]),
                         [](const auto& info) { return info.param->name; });

namespace {

// What the start-up cache does beside an option: works with it (writing,
// recording or using), keeps away with a line naming it, or either (the
// cache's own trial decides, as for collectors an ahead-of-time cache cannot
// load its heap objects with).
enum class Cache { works, off, either };

// Options from every kind the cache meets, each with the cache on a first
// and a cached launch; {archive} stands for the game's own archive, {new} for
// a file not yet there, {list} for a class list, {agent} for a Java agent,
// {empty} and {full} for an empty and a filled folder.
struct SharingOption {
    const char* options;      // blank-separated
    const char* name;         // what the launcher's line names, when it keeps away
    Cache java17;             // with Java 17's dynamic archive
    Cache java25;             // with Java 25's ahead-of-time cache
    bool everySource = true;  // else from VMParams and JAVA_TOOL_OPTIONS only
};

constexpr Cache works = Cache::works;
constexpr Cache off = Cache::off;
constexpr Cache either = Cache::either;

const SharingOption sharingOptions[] = {
    {"-Xshare:off", "Xshare", off, off},
    {"-Xshare:auto", "Xshare", off, off},
    {"-XX:-UseSharedSpaces", "UseSharedSpaces", off, off},
    {"-XX:+UseSharedSpaces", "UseSharedSpaces", off, off},
    {"-XX:SharedArchiveFile={archive}", "SharedArchiveFile", off, off},
    {"-XX:ArchiveClassesAtExit={new}", "ArchiveClassesAtExit", off, off},
    {"-XX:+AutoCreateSharedArchive -XX:SharedArchiveFile={new}", "AutoCreateSharedArchive", off,
     off},
    {"-XX:+RecordDynamicDumpInfo", "RecordDynamicDumpInfo", off, off},
    {"-XX:DumpLoadedClassList={new}", "DumpLoadedClassList", off, off},
    {"-XX:SharedClassListFile={list}", "SharedClassListFile", off, off},
    {"-XX:AOTMode=off", "AOTMode", off, off},
    {"-XX:AOTCache={archive}", "AOTCache", off, off},
    {"-XX:-UseCompressedClassPointers", "UseCompressedClassPointers", off, off},
    {"-XX:-UseCompressedOops", "", works, works},
    // Sizes, collectors and their tuning, the machine the VM sees.
    {"-Xss4m -Xmx200m -Xms32m -Xmn16m", "", works, works, false},
    {"-XX:+UseSerialGC", "", works, either, false},
    {"-XX:+UseParallelGC", "", works, either, false},
    {"-XX:+UseZGC", "", works, works, false},
    {"-XX:+UseShenandoahGC", "", works, works, false},
    {"-XX:MaxGCPauseMillis=50 -XX:G1HeapRegionSize=4m -XX:ParallelGCThreads=1 "
     "-XX:ConcGCThreads=1 -XX:+UseStringDeduplication -XX:+DisableExplicitGC -XX:+AlwaysPreTouch",
     "", works, works, false},
    {"-XX:MaxMetaspaceSize=256m -XX:MetaspaceSize=64m -XX:ReservedCodeCacheSize=64m "
     "-XX:MaxDirectMemorySize=64m -XX:TieredStopAtLevel=1 -XX:CICompilerCount=2",
     "", works, works, false},
    {"-XX:ActiveProcessorCount=1", "", works, either, false},
    {"-XX:MaxRAMPercentage=50 -XX:InitialRAMPercentage=10 -XX:MinRAMPercentage=10 -XX:MaxRAM=1g "
     "-XX:-UseContainerSupport -XX:+UseNUMA -XX:+UseTransparentHugePages -XX:+UseLargePages "
     "-XX:+PerfDisableSharedMem",
     "", works, works, false},
    // Diagnostics, errors, properties, logging, assertions, module access.
    {"-XX:+UnlockExperimentalVMOptions -XX:+UnlockDiagnosticVMOptions "
     "-XX:+ShowCodeDetailsInExceptionMessages -XX:-OmitStackTraceInFastThrow "
     "-XX:+HeapDumpOnOutOfMemoryError -XX:HeapDumpPath={empty} -XX:-CreateCoredumpOnCrash",
     "", works, works, false},
    {"-ea -esa -Dgame.flag=1 -Xlog:gc -verbose:gc -Xcheck:jni -Xrs", "", works, works, false},
    {"-Xint", "", works, works, false},
    {"--add-opens=java.base/java.lang=ALL-UNNAMED --add-exports=java.base/jdk.internal.misc=ALL-"
     "UNNAMED --add-modules=java.sql --add-reads=java.sql=ALL-UNNAMED "
     "--enable-native-access=ALL-UNNAMED",
     "", works, works, false},
    // What only the ahead-of-time cache works with.
    {"-javaagent:{agent}", "javaagent", off, works, false},
    {"-agentlib:jdwp=transport=dt_socket,server=y,suspend=n,address=localhost:0", "agentlib", off,
     works, false},
    {"-XX:ObjectAlignmentInBytes=16", "ObjectAlignmentInBytes", off, works, false},
    {"-XX:StartFlightRecording=filename={new}", "StartFlightRecording", off, works, false},
    // What stops the VM beside the cache, and what it does not know.
    {"--limit-modules=java.base,java.management", "limit-modules", off, off, false},
    {"--patch-module=java.base={empty}", "patch-module", off, off, false},
    {"--upgrade-module-path={empty}", "upgrade-module-path", off, off, false},
    {"-Xbootclasspath/a:{full}", "Xbootclasspath", off, off, false},
    {"-p {empty}", "module-path", off, off, false},
    {"-XX:+UseCountedLoopSafepoints", "UseCountedLoopSafepoints", off, off, false},
    // A stack size no VM can read, which the launcher reads from every
    // source for the main thread's stack: the VM stops, as under java.
    {"-Xss9999999999999999999999999", "Xss", works, works},
};

// Where the options are given: the settings' VMParams, the VM's two
// environment variables, or a file named by -XX:VMOptionsFile or -XX:Flags.
const char* const sources[] = {"VMParams", "JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "VMOptionsFile",
                               "Flags"};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, from.size(), to);
    return text;
}

class JavaOracleOptions : public JavaOracleEdge {};

}  // namespace

// Each option through each source, sharing on (a first launch, and through
// JAVA_TOOL_OPTIONS a cached one too): the launch ends as under java, and where
// java runs, the cache works with it, or the launcher says in one line that
// sharing is off, and why.
TEST_P(JavaOracleOptions, ASharingOptionFromAnySourceEndsAsUnderJava) {
    OracleTree cached(*GetParam(), Sharing::cached);
    cached.tessvikCommand("return");  // fills the cache
    const std::string list = cached.file("classes.list", "java/lang/Object\n");
    std::vector<std::unique_ptr<OracleTree>> trees;
    const std::string agent = std::string(TEST_AGENT_JAR) + "=" + cached.path("agent-lines");
    const std::string empty = cached.dir("empty");
    const std::string full = cached.file("full/a.txt", "a").substr(0, cached.path("full").size());
    const bool java17 = GetParam()->name == "Java17";
    struct Row {
        std::string label, name;
        Cache cache;
        OracleTree* tree;
        Command java, ours;
    };
    std::vector<Row> rows;
    for (const SharingOption& option : sharingOptions) {
        for (const std::string source : sources) {
            if (!option.everySource && source != "VMParams" && source != "JAVA_TOOL_OPTIONS") {
                continue;
            }
            for (const Sharing sharing : {Sharing::first, Sharing::cached}) {
                // Both variables reach the VM alike: a cached launch tries one.
                const bool fromEnvironment = source.find("OPTIONS") != std::string::npos;
                if (sharing == Sharing::cached && source != "JAVA_TOOL_OPTIONS") continue;
                if (sharing == Sharing::first) {
                    trees.push_back(std::make_unique<OracleTree>(*GetParam(), Sharing::first));
                }
                OracleTree& tree = sharing == Sharing::first ? *trees.back() : cached;
                const std::string row = std::to_string(rows.size());
                const auto text = [&](const std::string& side) {
                    std::string given = option.options;
                    for (const auto& [from, to] :
                         {std::pair<std::string, std::string>{"{archive}", cached.archive()},
                          {"{list}", list},
                          {"{new}", tree.path(side + row + ".jsa")},
                          {"{agent}", agent},
                          {"{empty}", empty},
                          {"{full}", full}}) {
                        given = replaced(given, from, to);
                    }
                    return given;
                };
                const auto sideCommand = [&](const std::string& side) {
                    std::string given = text(side);
                    std::map<std::string, std::string> env;
                    std::vector<std::string> vmParams;
                    if (fromEnvironment) {
                        env[source] = given;
                    } else if (source == "VMParams") {
                        for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1) {
                            to = given.find(' ', from);
                            vmParams.push_back(given.substr(from, to - from));
                        }
                    } else {
                        if (source == "Flags")
                            given = replaced(replaced(given, "-XX:", ""), " ", "\n");
                        vmParams.push_back(
                            "-XX:" + source + "=" +
                            tree.file(side + row + ".options", replaced(given, " ", "\n") + "\n"));
                    }
                    if (sharing == Sharing::first) tree.setVmParams(vmParams);
                    return side == "java" ? tree.javaCommand("exit3", env)
                                          : tree.tessvikCommand("exit3", env);
                };
                Command java = sideCommand("java");
                rows.push_back({std::string(option.options) + " in " + source +
                                    (sharing == Sharing::cached ? ", cached" : ", first launch"),
                                option.name, java17 ? option.java17 : option.java25, &tree, java,
                                sideCommand("ours")});
            }
        }
    }
    const std::size_t batch = 4;
    for (std::size_t first = 0; first < rows.size(); first += batch) {
        std::vector<std::future<std::pair<Outcome, Outcome>>> running;
        for (std::size_t i = first; i < std::min(rows.size(), first + batch); ++i) {
            running.push_back(std::async(std::launch::async, runBoth, rows[i].java, rows[i].ours));
        }
        for (std::size_t i = first; i < std::min(rows.size(), first + batch); ++i) {
            const auto [java, ours] = running[i - first].get();
            SCOPED_TRACE(rows[i].label + "\njava: " + describe(java) +
                         "\ntessvik: " + describe(ours));
            EXPECT_EQ(ours.shellStatus(), java.shellStatus());
            if (java.shellStatus() != 3) continue;
            const std::string line = rows[i].tree->sharingLine(ours);
            if (rows[i].cache == Cache::works) {
                EXPECT_EQ(line.rfind("Class data sharing: ", 0), 0u) << line;
            } else if (rows[i].cache == Cache::off) {
                EXPECT_EQ(line.rfind("Class data sharing is off", 0), 0u) << line;
                EXPECT_NE(line.find(rows[i].name), std::string::npos) << line;
            }
        }
    }
}

// A runtime a game team made with jlink --add-options carries options of its
// own, which the VM applies before every other source: one that chooses
// sharing turns it off, as from any other source.
TEST_P(JavaOracleEdge, AnOptionTheRuntimeImageCarriesEndsAsUnderJava) {
    launcher_test::TempTree images;
    const std::string image = images.root() + "/runtime";
    Command jlink = command({GetParam()->home() + "/bin/jlink", "--add-modules",
                             "java.base,java.management,jdk.unsupported",
                             "--add-options=-Xshare:off", "--output", image},
                            {}, images.root());
    // Java 13 to 24 share only beside the runtime's own base archive.
    if (GetParam()->name == "Java17") jlink.argv.push_back("--generate-cds-archive");
    const Outcome made = run(jlink);
    ASSERT_EQ(made.status, 0) << describe(made);
    const Runtime imageRuntime{GetParam()->name, image + "/lib/server/libjvm.so"};
    OracleTree tree(imageRuntime, Sharing::first);
    const auto [java, ours] = runBoth(tree.javaCommand("exit3"), tree.tessvikCommand("exit3"));
    SCOPED_TRACE("java: " + describe(java) + "\ntessvik: " + describe(ours));
    EXPECT_EQ(java.shellStatus(), 3);
    EXPECT_EQ(ours.shellStatus(), 3);
    EXPECT_EQ(tree.sharingLine(ours),
              "Class data sharing is off: -Xshare:off in the runtime image chooses sharing "
              "itself");
}

INSTANTIATE_TEST_SUITE_P(, JavaOracleOptions, ::testing::Values(&runtimes[0], &runtimes[1]),
                         [](const auto& info) { return info.param->name; });
