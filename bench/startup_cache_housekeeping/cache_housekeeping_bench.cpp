// Run: build/linux-release/bin/cache_housekeeping_bench
// A launcher folder with 100 game folders below a temporary directory: 50
// whose games are there and were played lately, 25 whose games are gone and
// 25 unused for 61 days without a record (or all 100 fresh). Each holds a
// cache of 64 KiB, its checksum record and a lock file, as a launch leaves
// them.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "folder_housekeeping.h"
#include "game_layout.h"
#include "platform/files.h"

using namespace tessvik;

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, std::size_t size) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'c');
}

class LauncherFolderTree {
public:
    LauncherFolderTree(int freshFolders, int goneFolders, int unusedFolders,
                       std::size_t cacheBytes = 64 * 1024)
        : goneFolders_(goneFolders), unusedFolders_(unusedFolders), cacheBytes_(cacheBytes) {
        std::string pattern = (fs::temp_directory_path() / "tessvik-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        root_ = pattern;
        fs::create_directories(root_ / "cache" / "Tessvik");
        for (int i = 0; i < freshFolders; ++i) {
            const fs::path game = root_ / "games" / ("Fresh" + std::to_string(i));
            fs::create_directories(game);
            keepGame_ = game.string();
            keep_ = gameFolder(keepGame_);
        }
        restoreStale();
    }
    ~LauncherFolderTree() { fs::remove_all(root_); }

    std::string launcherFolder() const { return launcherFolderIn((root_ / "cache").string()); }
    // The folder of the launch that prunes, and its game.
    const std::string& keep() const { return keep_; }
    const std::string& keepGame() const { return keepGame_; }

    // The stale folders as they were before a prune, and no stamp.
    void restoreStale() {
        fs::remove(fs::path(launcherFolder()) / "last-pruned");
        fs::remove(fs::path(launcherFolder()) / "last-pruned.at");
        for (int i = 0; i < goneFolders_; ++i) {
            gameFolder((root_ / "games" / ("Gone" + std::to_string(i))).string());
        }
        for (int i = 0; i < unusedFolders_; ++i) {
            const std::string folder =
                gameFolder((root_ / ("Unused" + std::to_string(i))).string());
            fs::remove(fs::path(folder) / "game-directory");
            fs::last_write_time(folder,
                                fs::file_time_type::clock::now() - std::chrono::hours(61 * 24));
        }
    }

private:
    std::string gameFolder(const std::string& gameDirectory) const {
        const fs::path folder = gameFolderIn((root_ / "cache").string(), "Game", gameDirectory);
        if (fs::exists(folder)) return folder.string();
        fs::create_directories(folder);
        writeFile(folder / "startup.aot", cacheBytes_);
        writeFile(folder / "startup.aot.sum", 24);
        writeFile(folder / "startup.aot.lock", 0);
        noteGameDirectory(folder.string(), gameDirectory);
        return folder.string();
    }

    int goneFolders_;
    int unusedFolders_;
    std::size_t cacheBytes_;
    fs::path root_;
    std::string keep_;
    std::string keepGame_;
};

// A launch's daily prune: 50 of the 100 folders go, within the launch's
// budget (argument 0) or all of them (argument 1: no budget).
void BM_TidyGameFolders(benchmark::State& state) {
    LauncherFolderTree tree(50, 25, 25);
    const auto budget = state.range(0) == 0
                            ? std::chrono::steady_clock::duration(housekeepingBudget)
                            : std::chrono::steady_clock::duration::max() / 2;
    for (auto _ : state) {
        state.PauseTiming();
        tree.restoreStale();
        state.ResumeTiming();
        tidyGameFolders(tree.launcherFolder(), tree.keep(), FolderPart::cacheData,
                        platform::fileTimeNow(), budget);
    }
}
BENCHMARK(BM_TidyGameFolders)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The daily prune with nothing to remove: 100 folders looked at.
void BM_TidyGameFoldersNoneStale(benchmark::State& state) {
    LauncherFolderTree tree(100, 0, 0);
    for (auto _ : state) {
        state.PauseTiming();
        tree.restoreStale();
        state.ResumeTiming();
        tidyGameFolders(tree.launcherFolder(), tree.keep(), FolderPart::cacheData,
                        platform::fileTimeNow());
    }
}
BENCHMARK(BM_TidyGameFoldersNoneStale)->Unit(benchmark::kMillisecond);

// Every other launch of the day: the stamp alone is looked at.
void BM_TidyGameFoldersStamped(benchmark::State& state) {
    LauncherFolderTree tree(50, 25, 25);
    tidyGameFolders(tree.launcherFolder(), tree.keep(), FolderPart::cacheData,
                    platform::fileTimeNow());
    for (auto _ : state) {
        tidyGameFolders(tree.launcherFolder(), tree.keep(), FolderPart::cacheData,
                        platform::fileTimeNow());
    }
}
BENCHMARK(BM_TidyGameFoldersStamped)->Unit(benchmark::kMicrosecond);

// A launch's part of the daily look over 5,000 game folders, none stale: the
// listing and as many folders as the budget allows (the next launches go on
// where it stopped).
void BM_TidyFiveThousandFolders(benchmark::State& state) {
    LauncherFolderTree tree(5000, 0, 0, 1024);
    for (auto _ : state) {
        state.PauseTiming();
        tree.restoreStale();
        state.ResumeTiming();
        tidyGameFolders(tree.launcherFolder(), tree.keep(), FolderPart::cacheData,
                        platform::fileTimeNow());
    }
}
BENCHMARK(BM_TidyFiveThousandFolders)->Unit(benchmark::kMillisecond);

// Every launch: its folder's record, already written.
void BM_NoteGameDirectory(benchmark::State& state) {
    LauncherFolderTree tree(50, 25, 25);
    for (auto _ : state) noteGameDirectory(tree.keep(), tree.keepGame());
}
BENCHMARK(BM_NoteGameDirectory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
