// The cost of checking a class-data archive before the VM maps it, on an
// archive of about 30 MB written by the JDK's own VM:
//
//  - the launcher's check (checkRecord: the archive's size, change times and
//    file number compared with those recorded when it was first seen whole),
//    timed in this process (wall and CPU time), beside what an earlier
//    launcher did, the whole archive read through in pieces of 256 KiB;
//  - the VM's region checks: `java -XX:SharedArchiveFile=<archive>` with and
//    without -XX:+VerifySharedSpaces, a main that returns at once, the two
//    interleaved after warm-up runs.
//
// Figures are medians; the VM's added time is the median of the per-pair
// differences, its ratio the median of the per-pair ratios.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "startup_cache/cache_entry.h"
#include "game_tree.h"

using namespace tessvik;

namespace fs = std::filesystem;

namespace {

constexpr int classesInArchive = 4500;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

template <typename Work>
double millisecondsOf(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// This process's processor time of work, in milliseconds.
template <typename Work>
double cpuMillisecondsOf(Work work) {
    const std::clock_t start = std::clock();
    work();
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

std::vector<std::string> javaCommand(const std::string& archive, const std::string& extra,
                                     int classes) {
    std::vector<std::string> argv{JAVA_EXECUTABLE, "-XX:SharedArchiveFile=" + archive};
    if (!extra.empty()) argv.push_back(extra);
    argv.insert(argv.end(), {"-cp", LOADER_JAR, "LoadClasses", std::to_string(classes)});
    return argv;
}

double runJava(const std::vector<std::string>& argv) {
    launcher_test::RunResult result;
    const double ms = millisecondsOf([&] { result = launcher_test::runProgram(argv); });
    if (result.status != 0) {
        std::fprintf(stderr, "java failed (%d): %s\n", result.status, result.err.c_str());
        std::exit(1);
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    launcher_test::TempTree tree("archive-check-bench-");
    const std::string archive = tree.path("classes.jsa");
    launcher_test::runProgram({JAVA_EXECUTABLE, "-XX:ArchiveClassesAtExit=" + archive, "-cp",
                               LOADER_JAR, "LoadClasses", std::to_string(classesInArchive)});
    const CacheEntry entry{archive};
    if (!writeRecord(entry)) {
        std::fprintf(stderr, "no archive written at %s\n", archive.c_str());
        return 1;
    }
    std::printf("archive: %.1f MB, %d classes\n", fs::file_size(archive) / 1e6, classesInArchive);

    const auto readThrough = [&] {
        std::ifstream in(archive, std::ios::binary);
        std::vector<char> piece(std::size_t(256) << 10);
        while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount()) {}
    };
    const auto checkOnce = [&] {
        if (checkRecord(entry) != Integrity::intact) std::exit(1);
    };
    std::vector<double> check, read, checkCpu, readCpu;
    for (int i = 0; i < rounds; ++i) {
        read.push_back(millisecondsOf(readThrough));
        check.push_back(millisecondsOf(checkOnce));
        readCpu.push_back(cpuMillisecondsOf(readThrough));
        checkCpu.push_back(cpuMillisecondsOf(checkOnce));
    }

    const auto plain = javaCommand(archive, "", 0);
    const auto verified = javaCommand(archive, "-XX:+VerifySharedSpaces", 0);
    for (int i = 0; i < 3; ++i) runJava(plain), runJava(verified);
    std::vector<double> plainRuns, verifiedRuns, added, ratios;
    for (int i = 0; i < rounds; ++i) {
        const double a = runJava(plain);
        const double b = runJava(verified);
        plainRuns.push_back(a);
        verifiedRuns.push_back(b);
        added.push_back(b - a);
        ratios.push_back(b / a);
    }

    std::printf("rounds: %d\n", rounds);
    std::printf("launcher's check (read + checksum): %.2f ms wall, %.2f ms CPU\n", median(check),
                median(checkCpu));
    std::printf("baseline, the read alone: %.2f ms wall, %.2f ms CPU; check / read %.2f\n",
                median(read), median(readCpu), median(check) / median(read));
    std::printf("java with the archive: %.1f ms; with -XX:+VerifySharedSpaces: %.1f ms\n",
                median(plainRuns), median(verifiedRuns));
    std::printf("VerifySharedSpaces adds: %.1f ms (ratio %.3f)\n", median(added), median(ratios));
    std::printf("launcher's check / java start with the archive: %.3f\n",
                median(check) / median(plainRuns));
    return 0;
}
