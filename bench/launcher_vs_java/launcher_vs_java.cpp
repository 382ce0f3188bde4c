// Whole-process time and peak memory of tessvik against the JDK's java
// launcher, on one game tree with the same VM options and class path and a
// client whose main returns at once. The two run interleaved, A B A B ...;
// the figure is the median of the per-pair time ratios. Then tessvik's own
// time from process start to its JNI_CreateJavaVM call, taken by a
// preloaded library that wraps that call.
//
//   launcher_vs_java [PAIRS [TESSVIK]]   (default 30 pairs, the tessvik built
//                                         with this benchmark)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Sample {
    double milliseconds;     // wall time
    double cpuMilliseconds;  // user and system time of the process
    long peakKilobytes;
};

long long monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs the program with its output discarded; returns wall time and peak
// resident memory. startedAt receives the time just before the spawn.
Sample runOnce(std::vector<std::string> argv, const std::vector<std::string>& extraEnvironment,
               long long* startedAt = nullptr) {
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
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const long long start = monotonicNanoseconds();
    pid_t child = -1;
    if (posix_spawn(&child, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        std::perror(args[0]);
        std::exit(2);
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
    return {static_cast<double>(end - start) / 1e6, cpu, usage.ru_maxrss};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    // The game tree: tessvik, the client, ../runtime/bin/server/libjvm.so.
    const fs::path root = fs::temp_directory_path() / ("launcher-vs-java-" + std::to_string(getpid()));
    const fs::path game = root / "game";
    fs::create_directories(game);
    fs::create_directories(root / "runtime/bin/server");
    fs::copy_file(argc > 2 ? argv[2] : TESSVIK_EXECUTABLE, game / "tessvik");
    fs::copy_file(BENCH_CLIENT_JAR, game / "client.jar");
    fs::create_symlink(JVM_LIBRARY, root / "runtime/bin/server/libjvm.so");
    std::ofstream(game / "LaunchConfig.ini")
        << "[Runtime]\nOverrideDefaultJavaPath=false\nJavaPath=\n"
           "[Memory]\nInitialHeap=512m\nMaxHeapSize=2048m\n[VMParams]\n";
    const std::string dir = fs::canonical(game).string();

    const std::vector<std::string> tessvik{dir + "/tessvik"};
    // The options tessvik gives its VM, for java in the same order.
    const std::vector<std::string> java{JAVA_EXECUTABLE,
                                        "-Dworkdir=" + dir,
                                        "-cp",
                                        dir + "/client.jar:" + dir + "/internal-pack:" + dir +
                                            "/launcher-data",
                                        "-Djava.library.path=" + dir + "/nativelibs",
                                        "-Xmn256M",
                                        "-Xms512m",
                                        "-Xmx2048m",
                                        "com.zarnhall.client.launcherfx.ZarnMain",
                                        dir + "/tessvik"};

    for (int i = 0; i < 3; ++i) {  // warm the file cache
        runOnce(tessvik, {});
        runOnce(java, {});
    }
    std::vector<double> tessvikTimes, javaTimes, ratios, cpuRatios, tessvikPeaks, javaPeaks;
    for (int i = 0; i < pairs; ++i) {
        Sample a = runOnce(tessvik, {});
        Sample b = runOnce(java, {});
        tessvikTimes.push_back(a.milliseconds);
        javaTimes.push_back(b.milliseconds);
        ratios.push_back(a.milliseconds / b.milliseconds);
        cpuRatios.push_back(a.cpuMilliseconds / b.cpuMilliseconds);
        tessvikPeaks.push_back(static_cast<double>(a.peakKilobytes));
        javaPeaks.push_back(static_cast<double>(b.peakKilobytes));
    }

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
        ownWork.push_back(static_cast<double>(calledAt - initialisedAt - (loadEndedAt - loadStartedAt)) / 1e6);
    }
    fs::remove_all(root);

    std::printf("pairs                         %d\n", pairs);
    std::printf("tessvik whole process, median %.1f ms\n", median(tessvikTimes));
    std::printf("java whole process, median    %.1f ms\n", median(javaTimes));
    std::printf("ratio tessvik/java, median    %.3f\n", median(ratios));
    std::printf("CPU time ratio, median        %.3f\n", median(cpuRatios));
    std::printf("tessvik peak RSS, median      %.0f KiB\n", median(tessvikPeaks));
    std::printf("java peak RSS, median         %.0f KiB\n", median(javaPeaks));
    std::printf("tessvik spawn to JNI_CreateJavaVM, median    %.2f ms\n", median(toCall));
    std::printf("tessvik pre-main to JNI_CreateJavaVM, median %.2f ms\n", median(mainToCall));
    std::printf("  of which loading libjvm, median            %.2f ms\n", median(loading));
    std::printf("  the launcher's own work, median            %.2f ms\n", median(ownWork));
    return 0;
}
