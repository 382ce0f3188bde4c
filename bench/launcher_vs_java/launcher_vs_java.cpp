// Whole-process time and peak memory of tessvik against the JDK's java
// launcher, on one game tree with the same VM options and class path and a
// client whose main returns at once. The two run interleaved, A B A B ...;
// the figure is the median of the per-pair time ratios. Then tessvik's own
// time from process start to its JNI_CreateJavaVM call, taken by a
// preloaded library that wraps that call.
//
// Then class-data sharing, with a client that loads about 2,800 classes at
// start (Swing, XML, streams) and prints one line when it is ready: tessvik
// with [Runtime] ClassDataSharing on against java with the same options and
// no archive of the client's classes, on JDK 17 and on the other JDK when
// there is one. First the run that writes the archive, or on Java 25 and
// later records for the ahead-of-time cache (the cache emptied before each
// pair, and the cache's assembly after it awaited, untimed), then the runs
// that map it, against java without the archive and against java given the
// same archive. Whole processes, and the time to the client's line.
//
//   launcher_vs_java [PAIRS [TESSVIK]]   (default 30 pairs, the tessvik built
//                                         with this benchmark)
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "game_tree.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Sample {
    double milliseconds;     // wall time
    double cpuMilliseconds;  // user and system time of the process
    long peakKilobytes;
    double firstLineMilliseconds = 0;  // to the client's line, when one was awaited
};

// The line the heavy client prints once it is ready.
const char* const clientLine = "\nready\n";

long long monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Reads the program's output from fd to its end, noting when line arrived
// (a line of its own: after a line end or at the start). 0 when it never did.
long long readUntilEnd(int fd, const std::string& line) {
    std::string seen = "\n";
    long long arrived = 0;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (arrived != 0) continue;
        seen.append(buffer, static_cast<std::size_t>(got));
        if (seen.find(line) != std::string::npos) arrived = monotonicNanoseconds();
    }
    return arrived;
}

// Runs the program with its output discarded, or written to outputPath, or
// read through a pipe when awaitLine is set; returns wall time, peak resident
// memory and when the awaited line came. startedAt receives the time just
// before the spawn.
Sample runOnce(std::vector<std::string> argv, const std::vector<std::string>& extraEnvironment,
               long long* startedAt = nullptr, const std::string& outputPath = "",
               bool awaitLine = false) {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<std::string> envText(extraEnvironment);
    for (char** entry = environ; *entry != nullptr; ++entry) envText.emplace_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int pipeEnds[2] = {-1, -1};
    if (awaitLine) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            std::perror("pipe");
            std::exit(2);
        }
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    } else {
        const char* output = outputPath.empty() ? "/dev/null" : outputPath.c_str();
        posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, output, O_WRONLY | O_APPEND, 0);
    }
    const long long start = monotonicNanoseconds();
    pid_t child = -1;
    if (posix_spawn(&child, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        std::perror(args[0]);
        std::exit(2);
    }
    long long lineAt = 0;
    if (awaitLine) {
        close(pipeEnds[1]);
        lineAt = readUntilEnd(pipeEnds[0], clientLine);
        close(pipeEnds[0]);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const long long end = monotonicNanoseconds();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", args[0], status);
        std::exit(2);
    }
    if (startedAt != nullptr) *startedAt = start;
    const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return {static_cast<double>(end - start) / 1e6, cpu, usage.ru_maxrss,
            lineAt == 0 ? 0.0 : static_cast<double>(lineAt - start) / 1e6};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Interleaved runs of two programs, A then B, and what each pair gave.
struct Pairs {
    std::vector<double> aTimes, bTimes, ratios, cpuRatios, aPeaks, bPeaks;
    std::vector<double> aLines, bLines, lineRatios;  // when the client's line was awaited

    void add(const Sample& a, const Sample& b) {
        aTimes.push_back(a.milliseconds);
        bTimes.push_back(b.milliseconds);
        ratios.push_back(a.milliseconds / b.milliseconds);
        cpuRatios.push_back(a.cpuMilliseconds / b.cpuMilliseconds);
        aPeaks.push_back(static_cast<double>(a.peakKilobytes));
        bPeaks.push_back(static_cast<double>(b.peakKilobytes));
        if (a.firstLineMilliseconds > 0 && b.firstLineMilliseconds > 0) {
            aLines.push_back(a.firstLineMilliseconds);
            bLines.push_back(b.firstLineMilliseconds);
            lineRatios.push_back(a.firstLineMilliseconds / b.firstLineMilliseconds);
        }
    }
};

// beforeEach runs before every pair, untimed; afterA after A's run, untimed,
// before B's. awaitLine times the client's line too.
Pairs runPairs(const std::vector<std::string>& a, const std::vector<std::string>& aEnvironment,
               const std::vector<std::string>& b, int pairs,
               const std::function<void()>& beforeEach = {},
               const std::function<void()>& afterA = {}, bool awaitLine = false) {
    Pairs result;
    for (int i = 0; i < pairs; ++i) {
        if (beforeEach) beforeEach();
        Sample first = runOnce(a, aEnvironment, nullptr, "", awaitLine);
        if (afterA) afterA();
        Sample second = runOnce(b, {}, nullptr, "", awaitLine);
        result.add(first, second);
    }
    return result;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The files below directory whose names end in suffix.
std::vector<fs::path> filesEndingIn(const fs::path& directory, const std::string& suffix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(directory, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (endsWith(it->path().filename().string(), suffix)) found.push_back(it->path());
    }
    return found;
}

bool lockFree(const fs::path& lock) {
    const int fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

// Waits until no assembly of an ahead-of-time cache runs below cache: no
// request left, and then no lock held (asked only then: an assembly that
// found its lock taken would give up). The milliseconds it took.
double awaitAssembly(const fs::path& cache) {
    const long long start = monotonicNanoseconds();
    for (;;) {
        if (filesEndingIn(cache, ".request").empty()) {
            const std::vector<fs::path> locks = filesEndingIn(cache, ".lock");
            if (std::all_of(locks.begin(), locks.end(), lockFree)) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return static_cast<double>(monotonicNanoseconds() - start) / 1e6;
}

// A game tree: game/ with tessvik, the client and LaunchConfig.ini, and
// runtime/ standing for the JDK of the VM library.
std::unique_ptr<launcher_test::GameTree> makeGameTree(const std::string& tessvik,
                                                      const std::string& clientJar,
                                                      const std::string& jvmLibrary,
                                                      const std::string& runtimeSettings) {
    auto tree = std::make_unique<launcher_test::GameTree>(tessvik);
    tree->copy(clientJar, "game/client.jar");
    tree->linkJdkRuntime(jvmLibrary);
    tree->writeSettings("[Runtime]\nOverrideDefaultJavaPath=false\nJavaPath=\n" + runtimeSettings +
                        "[Memory]\nInitialHeap=512m\nMaxHeapSize=2048m\n[VMParams]\n");
    return tree;
}

// The options tessvik gives its VM, for java in the same order.
std::vector<std::string> javaCommand(const std::string& java, const std::string& dir) {
    return {java,
            "-Dworkdir=" + dir,
            "-cp",
            dir + "/client.jar:" + dir + "/internal-pack:" + dir + "/launcher-data",
            "-Djava.library.path=" + dir + "/nativelibs",
            "-Xmn256M",
            "-Xms512m",
            "-Xmx2048m",
            "com.zarnhall.client.launcherfx.ZarnMain",
            dir + "/tessvik"};
}

// ratio names the two sides, the first over the second.
void printComparison(const char* what, const Pairs& pairs, const char* ratio = "tessvik / java") {
    std::printf("%s, %s, median of %zu pair ratios  %.3f  (%.1f / %.1f ms)\n", what, ratio,
                pairs.ratios.size(), median(pairs.ratios), median(pairs.aTimes),
                median(pairs.bTimes));
    std::printf("  CPU time ratio, median %.3f; peak RSS, median %.0f / %.0f KiB (%.3f)\n",
                median(pairs.cpuRatios), median(pairs.aPeaks), median(pairs.bPeaks),
                median(pairs.aPeaks) / median(pairs.bPeaks));
    if (!pairs.lineRatios.empty()) {
        std::printf("  to the client's line, median of pair ratios %.3f  (%.1f / %.1f ms)\n",
                    median(pairs.lineRatios), median(pairs.aLines), median(pairs.bLines));
    }
}

// The heavy client on one JDK: tessvik with sharing on against java.
void compareSharing(const std::string& tessvik, const std::string& jvmLibrary, int pairs) {
    const auto tree = makeGameTree(tessvik, HEAVY_CLIENT_JAR, jvmLibrary, "ClassDataSharing=1\n");
    const fs::path root = tree->root();
    const std::string& dir = tree->game();
    const fs::path jdk = fs::canonical(jvmLibrary).parent_path().parent_path().parent_path();
    const std::vector<std::string> java = javaCommand((jdk / "bin/java").string(), dir);
    const std::vector<std::string> sharing{tree->launcher()};
    const fs::path cache = root / "cache";
    const std::vector<std::string> environment{"XDG_CACHE_HOME=" + cache.string()};

    // What the client loads, and how much of it the JDK's own archive holds.
    std::vector<std::string> logged = java;
    const fs::path classLog = root / "classes.log";
    logged.insert(logged.begin() + 1, "-Xlog:class+load=info:file=" + classLog.string());
    runOnce(logged, {});
    std::istringstream lines(readText(classLog));
    int classes = 0, fromDefaultArchive = 0;
    for (std::string line; std::getline(lines, line); ++classes) {
        if (line.find("source: shared objects file") != std::string::npos) ++fromDefaultArchive;
    }
    std::printf("\n%s: the client loads %d classes, %d of them from the default archive\n",
                jdk.string().c_str(), classes, fromDefaultArchive);

    for (int i = 0; i < 2; ++i) runOnce(java, {});  // warm the file cache
    // An assembly runs after a recording launch: it must not share the
    // processors with a timed run.
    std::vector<double> assemblies;
    const Pairs first = runPairs(
        sharing, environment, java, std::max(3, pairs / 4),
        [&] {
            awaitAssembly(cache);
            fs::remove_all(cache);
        },
        [&] { assemblies.push_back(awaitAssembly(cache)); }, true);
    printComparison("first run, archive written or cache recorded", first);
    std::printf("  after it, the cache's assembly (none for an archive), median %.0f ms\n",
                median(assemblies));

    const fs::path output = root / "tessvik.out";
    runOnce(sharing, environment, nullptr, output.string());
    const std::string text = readText(output);
    const std::string usingLine = "Class data sharing: using ";
    const std::size_t at = text.find(usingLine);
    if (at == std::string::npos) {
        std::fprintf(stderr, "tessvik does not use its archive:\n%s", text.c_str());
        std::exit(2);
    }
    printComparison("archive or cache in use",
                    runPairs(sharing, environment, java, pairs, {}, {}, true));

    // The VM's own gain, the most any launcher can get from the archive:
    // java given tessvik's archive against java without it.
    const std::size_t from = at + usingLine.size();
    const std::string archive = text.substr(from, text.find('\n', from) - from);
    std::vector<std::string> javaSharing = java;
    if (endsWith(archive, ".aot")) {
        javaSharing.insert(javaSharing.begin() + 1,
                           {"-XX:AOTMode=auto", "-XX:AOTCache=" + archive});
    } else {
        javaSharing.insert(javaSharing.begin() + 1, "-XX:SharedArchiveFile=" + archive);
    }
    const Pairs bound = runPairs(javaSharing, {}, java, pairs, {}, {}, true);
    std::printf("bound: java with that archive / java, median of %zu pair ratios  %.3f\n",
                bound.ratios.size(), median(bound.ratios));

    // Java 17 and 18: the launcher asks the VM on every use to log what it
    // maps, so that an archive the VM refuses is written anew. That log's
    // cost: java with the archive and the log against java with the archive.
    if (!endsWith(archive, ".aot")) {
        std::vector<std::string> javaChecked = javaSharing;
        javaChecked.insert(javaChecked.begin() + 1,
                           "-Xlog:cds=info,cds+dynamic=info:file=" + (root / "map.log").string() +
                               ":none:filecount=0");
        printComparison("the map check",
                        runPairs(javaChecked, {}, javaSharing, pairs, {}, {}, true),
                        "java with the archive and the log / without the log");
    }

    // The launcher's own cost: tessvik with its archive or cache against java
    // given the very same one.
    printComparison("against java given the same archive or cache",
                    runPairs(sharing, environment, javaSharing, pairs, {}, {}, true));
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const std::string tessvikBuilt = argc > 2 ? argv[2] : TESSVIK_EXECUTABLE;

    // The game tree: tessvik, the client, ../runtime/bin/server/libjvm.so.
    const auto tree = makeGameTree(tessvikBuilt, BENCH_CLIENT_JAR, JVM_LIBRARY, "");
    const fs::path root = tree->root();
    const std::string& dir = tree->game();
    const std::vector<std::string> tessvik{tree->launcher()};
    const std::vector<std::string> java = javaCommand(JAVA_EXECUTABLE, dir);

    for (int i = 0; i < 3; ++i) {  // warm the file cache
        runOnce(tessvik, {});
        runOnce(java, {});
    }
    const Pairs trivial = runPairs(tessvik, {}, java, pairs);

    // Own time: spawn to the JNI_CreateJavaVM call, preload initialisation
    // (just before main) to that call, and how much of it went into loading
    // the runtime library.
    const std::string stamps = (root / "timestamps").string();
    std::vector<double> toCall, mainToCall, loading, ownWork;
    for (int i = 0; i < pairs; ++i) {
        long long startedAt = 0;
        runOnce(tessvik, {"LD_PRELOAD=" TIMESTAMP_LIBRARY, "TESSVIK_BENCH_TIMESTAMPS=" + stamps},
                &startedAt);
        long long initialisedAt = 0, loadStartedAt = 0, loadEndedAt = 0, calledAt = 0;
        std::ifstream(stamps) >> initialisedAt >> loadStartedAt >> loadEndedAt >> calledAt;
        toCall.push_back(static_cast<double>(calledAt - startedAt) / 1e6);
        mainToCall.push_back(static_cast<double>(calledAt - initialisedAt) / 1e6);
        loading.push_back(static_cast<double>(loadEndedAt - loadStartedAt) / 1e6);
        ownWork.push_back(
            static_cast<double>(calledAt - initialisedAt - (loadEndedAt - loadStartedAt)) / 1e6);
    }

    std::printf("pairs                         %d\n", pairs);
    std::printf("tessvik whole process, median %.1f ms\n", median(trivial.aTimes));
    std::printf("java whole process, median    %.1f ms\n", median(trivial.bTimes));
    std::printf("ratio tessvik/java, median    %.3f\n", median(trivial.ratios));
    std::printf("CPU time ratio, median        %.3f\n", median(trivial.cpuRatios));
    std::printf("tessvik peak RSS, median      %.0f KiB\n", median(trivial.aPeaks));
    std::printf("java peak RSS, median         %.0f KiB\n", median(trivial.bPeaks));
    std::printf("tessvik spawn to JNI_CreateJavaVM, median    %.2f ms\n", median(toCall));
    std::printf("tessvik pre-main to JNI_CreateJavaVM, median %.2f ms\n", median(mainToCall));
    std::printf("  of which loading libjvm, median            %.2f ms\n", median(loading));
    std::printf("  the launcher's own work, median            %.2f ms\n", median(ownWork));
    std::fflush(stdout);

    compareSharing(tessvikBuilt, JVM_LIBRARY, pairs);
    if (fs::exists(OTHER_JVM_LIBRARY)) compareSharing(tessvikBuilt, OTHER_JVM_LIBRARY, pairs);
    return 0;
}
