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

struct Outcome {
    bool exited = false;
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
    double seconds = 0;
    bool timedOut = false;
};

struct Command {
    std::vector<std::string> argv;
    std::map<std::string, std::string> environment;  // on top of this process's
    std::string directory;
    int limitSeconds = 60;      // then the program is killed
    bool closedOutput = false;  // output to a pipe nobody reads, closed at once
};

// Runs a command without core dumps, its output captured, killing it (and
// its process group) after the limit.
Outcome run(const Command& command) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (name != "JAVA_TOOL_OPTIONS" && name != "_JAVA_OPTIONS" && name != "JDK_JAVA_OPTIONS" &&
            command.environment.count(name) == 0) {
            environment.push_back(text);
        }
    }
    for (const auto& [name, value] : command.environment) environment.push_back(name + "=" + value);
    std::vector<std::string> argv = command.argv;
    std::vector<char*> args, envp;
    for (std::string& arg : argv) args.push_back(arg.data());
    for (std::string& each : environment) envp.push_back(each.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int pipeEnds[2];
    if (out == nullptr || err == nullptr || pipe(pipeEnds) != 0) std::abort();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (command.closedOutput) {
            close(pipeEnds[0]);
            dup2(pipeEnds[1], 1);
            dup2(pipeEnds[1], 2);
        } else {
            dup2(fileno(out), 1);
            dup2(fileno(err), 2);
        }
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || chdir(command.directory.c_str()) != 0) _exit(127);
        execve(args[0], args.data(), envp.data());
        _exit(126);
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    Outcome outcome;
    int status = 0;
    const auto limit = start + std::chrono::seconds(command.limitSeconds);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > limit) {
            outcome.timedOut = true;
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.exited = WIFEXITED(status);
    if (outcome.exited) outcome.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    for (auto [file, text] : {std::pair(out, &outcome.out), std::pair(err, &outcome.err)}) {
        std::rewind(file);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text->append(buffer, n);
        }
        std::fclose(file);
    }
    return outcome;
}

// The status as a shell shows it: 128 + the signal when a signal ended it.
int shellStatus(const Outcome& outcome) {
    if (outcome.timedOut) return -1;
    return outcome.exited ? outcome.status : 128 + outcome.signal;
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
    {"Java25", "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"},
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
        Command command{
            {runtime_.home() + "/bin/java", "-Dworkdir=" + game(),
             "-Djava.class.path=" + clientJar() + ":" + game() + "/internal-pack:" + game() +
                 "/launcher-data",
             "-Djava.library.path=" + game() + "/nativelibs", "-Xmn256M", "-Xms64m", "-Xmx256m"},
            std::move(env),
            root()};
        command.argv.insert(command.argv.end(), vmParams_.begin(), vmParams_.end());
        command.argv.push_back(mainClass);
        command.environment["TESSVIK_TEST_MODE"] = mode;
        return command;
    }

    // The launcher's command; a first launch gets a cache of its own, a
    // cached launch the tree's, filled first.
    Command tessvikCommand(const std::string& mode, std::map<std::string, std::string> env = {}) {
        Command command{{launcher()}, std::move(env), root()};
        command.environment["TESSVIK_TEST_MODE"] = mode;
        command.environment["XDG_CACHE_HOME"] = cache();
        command.environment["XDG_STATE_HOME"] = dir("state");
        if (sharing_ == Sharing::first) {
            command.environment["XDG_CACHE_HOME"] = dir("cache-" + std::to_string(++launches_));
        } else if (sharing_ == Sharing::cached && !filled_) {
            fill();
        }
        return command;
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
    // A launch that crashed while the archive was in use costs the archive.
    void noteEnd(const Outcome& outcome) {
        if (!outcome.exited) filled_ = false;
    }

    const std::string& archive() const { return archive_; }

private:
    // Writes the tree's archive (or records and assembles its cache) with a
    // launch of its own.
    void fill() {
        Command command{
            {launcher()}, {{"XDG_CACHE_HOME", cache()}, {"XDG_STATE_HOME", dir("state")}}, root()};
        const Outcome outcome = run(command);
        const std::string line = sharingLine(outcome);
        archive_ = line.substr(line.rfind(' ') + 1);
        for (int i = 0; i < 600 && !fs::exists(archive_ + ".sum"); ++i) {
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
    return "status " + std::to_string(shellStatus(outcome)) + " after " +
           std::to_string(outcome.seconds).substr(0, 4) + " s\n--- out\n" + outcome.out +
           "--- err\n" + outcome.err;
}

// How a client may end (the client's modes). The crashes come last: one
// while the cached archive is in use costs the archive.
const char* const endings[] = {
    "return",
    "exit3",
    "hook+exit4",
    "hook+halt5",
    "workerExit6+return",
    "workerExit6+sleep",
    "throw",
    "handler",
    "hook+workerThrow+return",
    "thread",
    "oom",
    "overflow",
    "hook+sigterm",
    "native+return",
    "nativeExit7+sleep",
    "crash",
    "workerCrash+return",
};

}  // namespace

// Rows run four at a time, java's and the launcher's side by side.
TEST_P(JavaOracle, EveryEndingEndsAsUnderJava) {
    OracleTree tree(runtime(), sharing());
    const std::map<std::string, std::string> env{{"TESSVIK_TEST_NATIVE", CLIENT_NATIVE_LIBRARY}};
    const std::size_t count = std::size(endings);
    for (std::size_t first = 0; first < count; first += 4) {
        std::vector<std::future<std::pair<Outcome, Outcome>>> rows;
        for (std::size_t i = first; i < std::min(count, first + 4); ++i) {
            rows.push_back(std::async(std::launch::async, runBoth,
                                      tree.javaCommand(endings[i], env),
                                      tree.tessvikCommand(endings[i], env)));
        }
        for (std::size_t i = first; i < std::min(count, first + 4); ++i) {
            const auto [java, ours] = rows[i - first].get();
            tree.noteEnd(ours);
            SCOPED_TRACE(std::string(endings[i]) + "\njava: " + describe(java) +
                         "\ntessvik: " + describe(ours));
            EXPECT_TRUE(tree.sharingAsAsked(ours)) << tree.sharingLine(ours);
            EXPECT_EQ(shellStatus(ours), shellStatus(java));
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
    java.limitSeconds = ours.limitSeconds = timeOut + 8;
    const auto [javaEnd, ourEnd] = runBoth(java, ours);
    SCOPED_TRACE("java: " + describe(javaEnd) + "\ntessvik: " + describe(ourEnd));
    EXPECT_TRUE(tree.sharingAsAsked(ourEnd)) << tree.sharingLine(ourEnd);
    if (javaEnd.seconds <= timeOut + 4) {
        EXPECT_LE(ourEnd.seconds, timeOut + 4);
    }
    EXPECT_EQ(shellStatus(ourEnd), shellStatus(javaEnd));
}

// Output to a pipe whose reader has gone, as in "tessvik | true".
TEST_P(JavaOracleEdge, OutputToAClosedPipeLeavesTheClientItsRunAndStatus) {
    OracleTree tree(*GetParam(), Sharing::first);
    for (const char* mode : {"return", "exit3"}) {
        Command java = tree.javaCommand(mode);
        Command ours = tree.tessvikCommand(mode);
        java.closedOutput = ours.closedOutput = true;
        const auto [javaEnd, ourEnd] = runBoth(java, ours);
        EXPECT_EQ(shellStatus(ourEnd), shellStatus(javaEnd)) << mode;
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

// Options that touch class-data sharing; {archive} stands for the game's own
// archive, {new} for a file not yet there, {list} for a class list.
struct SharingOption {
    const char* options;          // blank-separated
    const char* name;             // what the launcher's line names
    bool turnsSharingOff = true;  // false: HotSpot takes it beside the cache's options
};

const SharingOption sharingOptions[] = {
    {"-Xshare:off", "Xshare"},
    {"-Xshare:auto", "Xshare"},
    {"-XX:-UseSharedSpaces", "UseSharedSpaces"},
    {"-XX:+UseSharedSpaces", "UseSharedSpaces"},
    {"-XX:SharedArchiveFile={archive}", "SharedArchiveFile"},
    {"-XX:ArchiveClassesAtExit={new}", "ArchiveClassesAtExit"},
    {"-XX:+AutoCreateSharedArchive -XX:SharedArchiveFile={new}", "AutoCreateSharedArchive"},
    {"-XX:+RecordDynamicDumpInfo", "RecordDynamicDumpInfo"},
    {"-XX:DumpLoadedClassList={new}", "DumpLoadedClassList"},
    {"-XX:SharedClassListFile={list}", "SharedClassListFile"},
    {"-XX:AOTMode=off", "AOTMode"},
    {"-XX:AOTCache={archive}", "AOTCache"},
    {"-XX:-UseCompressedClassPointers", "UseCompressedClassPointers"},
    {"-XX:-UseCompressedOops", "UseCompressedOops", false},
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
// java runs, the launcher says in one line that sharing is off, and why.
TEST_P(JavaOracleOptions, ASharingOptionFromAnySourceEndsAsUnderJava) {
    OracleTree cached(*GetParam(), Sharing::cached);
    cached.tessvikCommand("return");  // fills the cache
    const std::string list = cached.file("classes.list", "java/lang/Object\n");
    std::vector<std::unique_ptr<OracleTree>> trees;
    struct Row {
        std::string label, name;
        bool turnsSharingOff;
        OracleTree* tree;
        Command java, ours;
    };
    std::vector<Row> rows;
    for (const SharingOption& option : sharingOptions) {
        for (const std::string source : sources) {
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
                    return replaced(
                        replaced(replaced(option.options, "{archive}", cached.archive()), "{list}",
                                 list),
                        "{new}", tree.path(side + row + ".jsa"));
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
                                option.name, option.turnsSharingOff, &tree, java,
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
            EXPECT_EQ(shellStatus(ours), shellStatus(java));
            if (shellStatus(java) != 3) continue;
            const std::string line = rows[i].tree->sharingLine(ours);
            if (!rows[i].turnsSharingOff) {
                EXPECT_NE(line.rfind("Class data sharing is off", 0), 0u) << line;
                continue;
            }
            EXPECT_EQ(line.rfind("Class data sharing is off", 0), 0u) << line;
            EXPECT_NE(line.find(rows[i].name), std::string::npos) << line;
        }
    }
}

// A runtime a game team made with jlink --add-options carries options of its
// own, which the VM applies before every other source: one that chooses
// sharing turns it off, as from any other source.
TEST_P(JavaOracleEdge, AnOptionTheRuntimeImageCarriesEndsAsUnderJava) {
    launcher_test::TempTree images;
    const std::string image = images.root() + "/runtime";
    Command jlink{{GetParam()->home() + "/bin/jlink", "--add-modules",
                   "java.base,java.management,jdk.unsupported", "--add-options=-Xshare:off",
                   "--output", image},
                  {},
                  images.root()};
    // Java 13 to 24 share only beside the runtime's own base archive.
    if (GetParam()->name == "Java17") jlink.argv.push_back("--generate-cds-archive");
    const Outcome made = run(jlink);
    ASSERT_EQ(made.status, 0) << describe(made);
    const Runtime imageRuntime{GetParam()->name, image + "/lib/server/libjvm.so"};
    OracleTree tree(imageRuntime, Sharing::first);
    const auto [java, ours] = runBoth(tree.javaCommand("exit3"), tree.tessvikCommand("exit3"));
    SCOPED_TRACE("java: " + describe(java) + "\ntessvik: " + describe(ours));
    EXPECT_EQ(shellStatus(java), 3);
    EXPECT_EQ(shellStatus(ours), 3);
    EXPECT_EQ(tree.sharingLine(ours),
              "Class data sharing is off: -Xshare:off in the runtime image chooses sharing "
              "itself");
}

INSTANTIATE_TEST_SUITE_P(, JavaOracleOptions, ::testing::Values(&runtimes[0], &runtimes[1]),
                         [](const auto& info) { return info.param->name; });
