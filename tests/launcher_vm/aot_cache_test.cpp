// The ahead-of-time cache of Java 25 end to end: the launch records, the
// assembly runs after the launcher has gone, the next launch maps the cache;
// whatever changes in its inputs, and however launches meet, no launch ends
// other than as the client ends it. Skipped without Temurin 25.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "cache_tree.h"

namespace fs = std::filesystem;
using launcher_test::Lines;

using namespace cache_test;

namespace {

class AotCache : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(jdk25Library)) GTEST_SKIP() << "no JDK at " << jdk25Library;
    }
};

}  // namespace

TEST_F(AotCache, RecordedAtExitAssembledAfterTheLaunchUsedNextAndRenewedForAChangedJar) {
    CacheTree tree;
    const CacheRun first = tree.launchCached("exit3");
    EXPECT_EQ(first.run.status, 3) << first.run.out << first.run.err;
    EXPECT_EQ(first.state, "recording") << first.run.out;
    EXPECT_EQ(first.cache.rfind(tree.gameFolder(tree.cache()) + "/", 0), 0u) << first.cache;
    // The launcher did not wait for the assembly.
    EXPECT_FALSE(fs::exists(first.cache));
    // The assembly's VMs leave the game's log options out: its log stays.
    fs::remove(tree.root() + "/classes.log");
    ASSERT_TRUE(assembled(tree, first.cache));
    EXPECT_FALSE(fs::exists(tree.root() + "/classes.log"));

    const CacheRun second = tree.launchCached();
    EXPECT_EQ(second.run.status, 0) << second.run.err;
    EXPECT_EQ(second.state, "using") << second.run.out;
    EXPECT_EQ(second.cache, first.cache);
    EXPECT_EQ(second.mainFrom, "shared objects file");
    const std::string name = fs::path(first.cache).filename().string();
    EXPECT_EQ(tree.cacheFiles(), (Lines{name, name + ".lock", name + ".sum", "game-directory"}));

    // Same size, another time: a new cache, recorded when main returns.
    fs::last_write_time(tree.clientJar(),
                        fs::last_write_time(tree.clientJar()) + std::chrono::seconds(5));
    const CacheRun changed = tree.launchCached();
    EXPECT_EQ(changed.run.status, 0) << changed.run.err;
    EXPECT_EQ(changed.state, "recording");
    EXPECT_NE(changed.cache, first.cache);
    EXPECT_FALSE(fs::exists(first.cache));
    ASSERT_TRUE(assembled(tree, changed.cache));
    EXPECT_EQ(tree.launchCached().state, "using");

    Lines gameFiles;
    for (const auto& entry : fs::directory_iterator(tree.game())) {
        gameFiles.push_back(entry.path().filename().string());
    }
    std::sort(gameFiles.begin(), gameFiles.end());
    EXPECT_EQ(gameFiles, (Lines{"LaunchConfig.ini", "client.jar", "tessvik"}));
}

TEST_F(AotCache, ADamagedCacheOrACollectorTheCacheCannotStartWithNeverEndsTheLaunch) {
    CacheTree tree;
    const std::string cache = tree.launchCached().cache;
    ASSERT_TRUE(assembled(tree, cache));

    // A bad sector in the cache's body: its header stays whole.
    {
        std::fstream file(cache, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(64 * 1024);
        file << std::string(16, '\x5a');
    }
    const CacheRun damaged = tree.launchCached();
    EXPECT_EQ(damaged.run.status, 0) << damaged.run.err;
    EXPECT_EQ(damaged.state, "recording");
    ASSERT_TRUE(assembled(tree, damaged.cache));
    const CacheRun after = tree.launchCached();
    EXPECT_EQ(after.state, "using");
    EXPECT_EQ(after.mainFrom, "shared objects file");

    // With the serial collector and these heap sizes HotSpot writes a cache
    // and then ends every VM given it ("archived heap objects cannot be
    // loaded"): the assembly's trial start finds that out.
    tree.writeOptions({"-XX:+UseSerialGC"});
    const CacheRun serial = tree.launchCached("exit3");
    EXPECT_EQ(serial.run.status, 3) << serial.run.err;
    EXPECT_EQ(serial.state, "recording");
    EXPECT_NE(serial.cache, cache);
    ASSERT_TRUE(settled(tree));
    const CacheRun refused = tree.launchCached();
    EXPECT_EQ(refused.run.status, 0) << refused.run.err;
    EXPECT_EQ(refused.state, "Class data sharing is off: " + serial.cache +
                                 ": the VM refused it (the VM cannot start with it)");
    EXPECT_EQ(refused.mainFrom, "file:" + tree.clientJar());
}

TEST_F(AotCache, ARuntimeWithoutItsJavaProgramIsAssembledByTheLauncher) {
    CacheTree tree;
    // A runtime as jlink may make it: the JDK's lib/, no bin/java.
    const fs::path jdk = fs::canonical(jdk25Library).parent_path().parent_path().parent_path();
    fs::remove_all(tree.root() + "/runtime");
    for (const auto& entry : fs::directory_iterator(jdk / "lib")) {
        if (entry.path().filename() == "server") continue;
        tree.link("runtime/lib/" + entry.path().filename().string(), entry.path().string());
    }
    for (const auto& entry : fs::directory_iterator(jdk / "lib/server")) {
        if (entry.path().filename() == "libjvm.so") continue;
        tree.link("runtime/lib/server/" + entry.path().filename().string(), entry.path().string());
    }
    // A copy, not a link: the VM finds its home from its library's own path.
    tree.copy(jdk25Library, "runtime/lib/server/libjvm.so");
    tree.copy((jdk / "release").string(), "runtime/release");

    const CacheRun first = tree.launchCached();
    EXPECT_EQ(first.run.status, 0) << first.run.err;
    EXPECT_EQ(first.state, "recording") << first.run.out;
    ASSERT_TRUE(assembled(tree, first.cache));
    const CacheRun second = tree.launchCached();
    EXPECT_EQ(second.state, "using") << second.run.out;
    EXPECT_EQ(second.mainFrom, "shared objects file");
}

TEST_F(AotCache, TwoLaunchesAtOnceLeaveOneWholeCache) {
    CacheTree tree;
    auto other = std::async(std::launch::async, [&] { return tree.launch(); });
    const RunResult one = tree.launch();
    const RunResult two = other.get();
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(two.status, 0) << two.err;
    // Both plan while the first VM still runs: one records, the other keeps
    // away from the cache.
    Lines states;
    for (const RunResult* run : {&one, &two}) {
        const std::string line = restOfLine(run->out, "Class data sharing: ");
        states.push_back(line.substr(0, line.find(' ')));
    }
    std::sort(states.begin(), states.end());
    EXPECT_EQ(states, (Lines{"assembling", "recording"}));
    ASSERT_TRUE(settled(tree));
    const CacheRun next = tree.launchCached();
    EXPECT_EQ(next.state, "using") << next.run.out;
    EXPECT_EQ(next.mainFrom, "shared objects file");
    const std::string name = fs::path(next.cache).filename().string();
    EXPECT_EQ(tree.cacheFiles(), (Lines{name, name + ".lock", name + ".sum", "game-directory"}));
}

TEST_F(AotCache, TheAssemblyModeWithoutARequestOfItsOwnEndsAtOnce) {
    CacheTree tree;
    // A whole request, as a launch writes one, but for another token.
    const std::string request = tree.path("forged.request");
    const std::string cache = tree.path("forged.aot");
    tree.file("forged.request", "0123456789abcdef0123456789abcdef\n" + std::string(jdk25Library) +
                                    "\n\n" + cache + "\n" + cache + ".part\n" + cache +
                                    ".aotconf\n" + cache + ".lock\n" + request + "\n");
    const RunResult run = tree.launch({"--assemble"}, "return",
                                      {{{"TESSVIK_AOT_REQUEST", request},
                                        {"TESSVIK_AOT_TOKEN", "a guess"},
                                        {"TESSVIK_AOT_STEP", "create"}},
                                       {}});
    // Never a launch: the game would run hidden, after the player's.
    EXPECT_EQ(run.status, 70) << run.err;
    EXPECT_FALSE(contains(run.out, "Starting: ")) << run.out;
    EXPECT_TRUE(tree.report().empty());
}
