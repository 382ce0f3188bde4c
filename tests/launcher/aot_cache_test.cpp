// The ahead-of-time cache's plan: which runtimes get it, what its name
// depends on, and when a launch records, uses it or keeps away from it.
// The real VMs record, assemble and map caches in tests/launcher_vm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/locks.h"
#include "startup_cache/startup_cache.h"
#include "temp_tree.h"

using namespace tessvik;

namespace {

using launcher_test::TempTree;
using Options = std::vector<std::string>;

class AotCachePlan : public ::testing::Test {
protected:
    AotCachePlan() {
        input_.runtimeVersion = 25;
        input_.runtimeLibrary = tree_.file("runtime/lib/server/libjvm.so", "library");
        tree_.file("runtime/lib/server/classes.jsa", "default archive");
        tree_.file("runtime/lib/modules", "modules");
        tree_.file("runtime/release", "JAVA_VERSION=\"25.0.3\"\n");
        input_.gameDirectory = tree_.dir("game");
        input_.classPath = {tree_.file("game/client.jar", "jar"), tree_.dir("game/internal-pack"),
                            tree_.path("game/launcher-data")};
        input_.vmOptions = {"-Xmx1g"};
        input_.givenOptions = {{"-Xmx1g", "the launcher", OptionOrigin::launcher}};
        input_.cacheDirectory = tree_.path("cache");
    }

    // This launch's plan; the launch before it lets go of what it held.
    SharingPlan plan() {
        launch_.reset();
        return launch_.emplace(input_).plan();
    }
    void finish() { launch_.reset(); }
    void vmEnded() { launch_->vmEnded(); }
    // The cache the plan names, from its line.
    static std::string cacheOf(const SharingPlan& plan) {
        return plan.message.substr(plan.message.rfind(' ') + 1);
    }

    TempTree tree_;
    SharingInput input_;
    std::optional<StartupCacheLaunch> launch_;
};

}  // namespace

TEST_F(AotCachePlan, Java25RecordsThenUsesAndJava24KeepsTheArchive) {
    input_.runtimeVersion = 24;
    EXPECT_EQ(plan().options.front().rfind("-XX:ArchiveClassesAtExit=", 0), 0u);

    input_.runtimeVersion = 25;
    SharingPlan record = plan();
    const std::string cache = cacheOf(record);
    EXPECT_EQ(record.message, "Class data sharing: recording " + cache);
    EXPECT_EQ(cache.rfind(tree_.path("cache/Tessvik/game-"), 0), 0u) << cache;
    EXPECT_EQ(record.options,
              (Options{"-XX:AOTMode=record", "-XX:AOTConfiguration=" + cache + ".aotconf.part"}));
    // The request exists before the VM starts: the options the cache depends on.
    const std::string request = launcher_test::readFile(cache + ".request");
    EXPECT_NE(request.find("\n-Xmx1g\n"), std::string::npos) << request;

    // The recording launch holds the lock until it ends: a second launch
    // keeps away, and so does one while its assembly waits for the lock.
    platform::FileLock second = platform::FileLock::tryAcquire(cache + ".lock");
    EXPECT_FALSE(second.held());
    finish();
    {
        const platform::FileLock assembly = platform::FileLock::tryAcquire(cache + ".request");
        const SharingPlan meanwhile = plan();
        EXPECT_EQ(meanwhile.message, "Class data sharing: assembling " + cache);
        EXPECT_EQ(meanwhile.options, Options{});
    }

    // Named by the assembly: used, and recorded at first sight.
    tree_.file(cache.substr(tree_.root().size() + 1), "a whole cache");
    const SharingPlan use = plan();
    EXPECT_EQ(use.message, "Class data sharing: using " + cache);
    EXPECT_EQ(use.options, (Options{"-XX:AOTMode=auto", "-XX:AOTCache=" + cache}));
    finish();

    tree_.file(cache.substr(tree_.root().size() + 1), "a changed cache, of another size");
    EXPECT_EQ(plan().message, "Class data sharing: recording " + cache);
    finish();
}

TEST_F(AotCachePlan, EveryInputTheCacheDependsOnGivesANewName) {
    const std::string first = cacheOf(plan());
    finish();
    EXPECT_EQ(cacheOf(plan()), first);
    finish();
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"a class path directory made", [&] { tree_.dir("game/launcher-data"); }},
        {"another VM option", [&] { input_.vmOptions.push_back("-XX:+UseSerialGC"); }},
        {"options from the environment",
         [&] {
             input_.givenOptions = {{"-Xss2m", "JAVA_TOOL_OPTIONS"}};
         }},
        {"the modules image", [&] { tree_.file("runtime/lib/modules", "other modules"); }},
        {"the release file", [&] { tree_.file("runtime/release", "JAVA_VERSION=\"25.0.4\"\n"); }},
        {"a jar", [&] { tree_.file("game/client.jar", "new jar"); }},
    };
    std::vector<std::string> names{first};
    for (const auto& change : changes) {
        change.second();
        names.push_back(cacheOf(plan()));
        finish();
        EXPECT_NE(names.back(), names[names.size() - 2]) << change.first;
        // The earlier name's files went with it.
        EXPECT_FALSE(launcher_test::fs::exists(names[names.size() - 2] + ".lock")) << change.first;
    }
}

TEST_F(AotCachePlan, OffWhereTheVmWouldRefuseOrTheCacheFailedOrLacksRoom) {
    input_.givenOptions = {{"-Xshare:off", "VMParams"}};
    EXPECT_EQ(plan().message,
              "Class data sharing is off: -Xshare:off in VMParams chooses sharing itself");
    input_.givenOptions.clear();

    const std::string resource = tree_.file("game/internal-pack/logo.png");
    EXPECT_EQ(plan().message, "Class data sharing is off: " + tree_.path("game/internal-pack") +
                                  " on the class path is not empty");
    launcher_test::fs::remove(resource);

    const std::string cache = cacheOf(plan());
    finish();
    tree_.file(cache.substr(tree_.root().size() + 1) + ".failed",
               "1 0 final the VM cannot start with it\n");
    EXPECT_EQ(plan().message, "Class data sharing is off: " + cache +
                                  ": the VM refused it (the VM cannot start with it)");

    input_.vmOptions.push_back("-Xms64m");
    input_.cacheFreeBytes = 50 << 20;
    const SharingPlan cramped = plan();
    EXPECT_EQ(cramped.options, Options{});
    EXPECT_NE(cramped.message.find("50 MiB free, a new cache may need 96 MiB"), std::string::npos)
        << cramped.message;
}
