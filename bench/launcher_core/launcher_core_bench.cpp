// Run: build/linux-release/bin/launcher_core_bench
// The runtime search looks below the benchmark's own ../runtime, so the JDK
// is copied (as hard links where possible) to build/<preset>/runtime for
// the run and removed afterwards.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "class_path.h"
#include "game_layout.h"
#include "java_launcher.h"
#include "launch_settings.h"
#include "platform/paths.h"
#include "runtime_location.h"

using namespace tessvik;

namespace fs = std::filesystem;

namespace {

// Keeps the launcher's message lines out of the benchmark's report.
class QuietStandardOutput {
public:
    QuietStandardOutput() : saved_(std::cout.rdbuf(sink_.rdbuf())) {}
    ~QuietStandardOutput() { std::cout.rdbuf(saved_); }

private:
    std::ostringstream sink_;
    std::streambuf* saved_;
};

fs::path makeTemporaryDirectory() {
    std::string pattern = (fs::temp_directory_path() / "tessvik-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}

void BM_LocateDefaultRuntime(benchmark::State& state) {
    const std::string directory = executableDirectory(platform::executablePath()).value_or(".");
    const fs::path runtime = fs::path(directory) / ".." / "runtime";
    std::error_code error;
    fs::remove_all(runtime, error);
    const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    fs::copy(JDK_HOME, runtime, options | fs::copy_options::create_hard_links, error);
    if (error) {
        fs::remove_all(runtime, error);
        fs::copy(JDK_HOME, runtime, options);
    }
    std::size_t entries = 0;
    for (auto it = fs::recursive_directory_iterator(runtime);
         it != fs::recursive_directory_iterator(); ++it) {
        ++entries;
    }

    LaunchSettings settings;
    QuietStandardOutput quiet;
    for (auto _ : state) {
        JavaLauncher launcher(settings, directory);
        locateDefaultRuntime(launcher);
        benchmark::DoNotOptimize(launcher.runtimePath);
        if (launcher.runtimePath.empty()) state.SkipWithError("no runtime found in the copy");
    }
    state.counters["entries"] = static_cast<double>(entries);
    fs::remove_all(runtime, error);
}
BENCHMARK(BM_LocateDefaultRuntime)->Unit(benchmark::kMillisecond);

void BM_CollectJarsAndBuildOption(benchmark::State& state) {
    const fs::path game = makeTemporaryDirectory();
    fs::create_directory(game / "lib");
    std::ofstream(game / "client.jar") << "";
    for (int i = 0; i < 500; ++i) {
        std::ofstream(game / ("game-module-" + std::to_string(i) + ".jar")) << "";
        std::ofstream(game / "lib" / ("library-" + std::to_string(i) + ".jar")) << "";
    }

    LaunchSettings settings;
    std::size_t length = 0;
    for (auto _ : state) {
        JavaLauncher launcher(settings, game.string());
        findMainJar(launcher);
        collectJars(launcher);
        const std::string option = buildClassPathOption(launcher);
        length = option.size();
        benchmark::DoNotOptimize(option);
    }
    state.counters["optionBytes"] = static_cast<double>(length);
    fs::remove_all(game);
}
BENCHMARK(BM_CollectJarsAndBuildOption)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
