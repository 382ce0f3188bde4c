// Choosing and loading the runtime library: the default search's result or
// the settings' directory, and the messages of each outcome.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <string>

#include "captured_messages.h"
#include "java_launcher.h"
#include "runtime_location.h"
#include "runtime_facts.h"
#include "platform/paths.h"

using namespace tessvik;

namespace {

using launcher_test::CapturedMessages;
using launcher_test::Lines;
using launcher_test::TempTree;

class RuntimeLoading : public ::testing::Test {
protected:
    std::string fakeRuntime(const std::string& directory) {
        return tree_.copy(FAKE_RUNTIME_LIBRARY, directory + "/libjvm.so");
    }

    TempTree tree_;
    LaunchSettings settings_;
};

TEST_F(RuntimeLoading, TheOverrideDirectoryItselfMustHoldTheLibrary) {
    fakeRuntime("jre/bin/server");
    CapturedMessages messages;
    EXPECT_EQ(validateJavaPath(tree_.path("jre")), "");
    EXPECT_EQ(validateJavaPath(""), "");
    EXPECT_EQ(
        messages.out(),
        (Lines{"Unable to find libjvm.so at specified location.", "Looked in: " + tree_.path("jre"),
               "A path must be specified to override the default java path"}));
    EXPECT_EQ(validateJavaPath(tree_.path("jre/bin/server")),
              tree_.path("jre/bin/server/libjvm.so"));
    // Nothing checks for a trailing separator.
    EXPECT_EQ(validateJavaPath(tree_.path("jre/bin/server/")),
              tree_.path("jre/bin/server//libjvm.so"));
}

TEST_F(RuntimeLoading, OverrideOnTakesTheSettingsPathEvenWithADefaultRuntime) {
    const std::string override = fakeRuntime("jre");
    JavaLauncher launcher(settings_, tree_.root());
    launcher.runtimePath = fakeRuntime("default");
    settings_.overrideDefaultJavaPath = 1;
    settings_.javaPath = tree_.path("jre");
    CapturedMessages messages;
    ASSERT_TRUE(loadRuntime(launcher));
    EXPECT_TRUE(launcher.runtimeModule);
    EXPECT_EQ(messages.all(), Lines{"Runtime path: " + override});
    EXPECT_EQ(launcher.runtimePath, tree_.path("default/libjvm.so"));  // not replaced
}

TEST_F(RuntimeLoading, OverrideOnWithoutALibraryFails) {
    fakeRuntime("default");
    for (const std::string& javaPath : {std::string(), tree_.path("default/..")}) {
        JavaLauncher launcher(settings_, tree_.root());
        launcher.runtimePath = tree_.path("default/libjvm.so");
        settings_.overrideDefaultJavaPath = 1;
        settings_.javaPath = javaPath;
        CapturedMessages messages;
        EXPECT_FALSE(loadRuntime(launcher));
        EXPECT_EQ(messages.out().size(), javaPath.empty() ? 2u : 3u);
        EXPECT_EQ(messages.out().back(), "Failed to find jvm installation.");
        EXPECT_FALSE(launcher.runtimeModule);
    }
}

TEST_F(RuntimeLoading, OverrideOffUsesTheDefaultSearchResult) {
    JavaLauncher launcher(settings_, tree_.root());
    settings_.javaPath = tree_.path("ignored");
    {
        CapturedMessages messages;
        EXPECT_FALSE(loadRuntime(launcher));
        EXPECT_EQ(messages.all(), Lines{"Failed to find jvm installation."});
    }
    launcher.runtimePath = fakeRuntime("runtime/bin/server");
    CapturedMessages messages;
    EXPECT_TRUE(loadRuntime(launcher));
    EXPECT_EQ(messages.all(), Lines{"Runtime path: " + launcher.runtimePath});
}

TEST_F(RuntimeLoading, AFileThatIsNoLibraryFailsToLoad) {
    // A FIFO or a device would never finish loading: neither is opened.
    const std::string fifo = tree_.dir("fifo") + "/libjvm.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& candidate : {tree_.file("runtime/libjvm.so", "not a shared library"),
                                         fifo, tree_.link("zeros/libjvm.so", "/dev/zero")}) {
        JavaLauncher launcher(settings_, tree_.root());
        launcher.runtimePath = candidate;
        CapturedMessages messages;
        EXPECT_FALSE(loadRuntime(launcher));
        EXPECT_EQ(messages.out(), Lines{"Runtime path: " + launcher.runtimePath});
        // Then the library's path and the system's reason.
        ASSERT_EQ(messages.err().size(), 2u);
        EXPECT_EQ(messages.err()[0], "Failed to load libjvm.so");
        EXPECT_EQ(messages.err()[1].rfind(candidate + ": ", 0), 0u) << messages.err()[1];
        EXPECT_FALSE(launcher.runtimeModule);
    }
}

// Wherever the launcher is started from: a relative JavaPath is the game
// directory's. A runtime whose real path holds ':' cannot start (HotSpot
// splits its library path there), and is said so before it is loaded; one
// reached through such a path by a link can.
TEST_F(RuntimeLoading, JavaPathIsTheGamesAndTheRuntimesRealPathMustNotSplit) {
    const std::string game = tree_.dir("game");
    settings_.overrideDefaultJavaPath = 1;
    settings_.javaPath = "../jre";
    fakeRuntime("jre");
    JavaLauncher launcher(settings_, game);
    CapturedMessages messages;
    EXPECT_TRUE(loadRuntime(launcher));
    EXPECT_EQ(messages.out(), Lines{"Runtime path: " + game + "/../jre/libjvm.so"});

    const std::string split = fakeRuntime("Zarn: Deluxe/runtime");
    tree_.link("Zarn: Linked", tree_.path("jre"));
    for (const std::string& path : {split, tree_.path("Zarn: Linked/libjvm.so")}) {
        settings_.javaPath = platform::directoryOf(path);
        JavaLauncher other(settings_, game);
        CapturedMessages said;
        EXPECT_EQ(loadRuntime(other), path != split);
        EXPECT_EQ(
            said.out().back().rfind("The Java runtime cannot run from a path that holds ':' (" +
                                        split + "): install the game",
                                    0),
            path == split ? 0u : std::string::npos);
    }
}

TEST(RuntimeLibraryDirectory, IsTheParentOfTheLibrarysDirectory) {
    EXPECT_EQ(runtimeLibraryDirectory("/g/../runtime/bin/server/libjvm.so"), "/g/../runtime/bin");
    EXPECT_EQ(runtimeLibraryDirectory("/jre/bin/server//libjvm.so"), "/jre/bin");
    EXPECT_EQ(runtimeLibraryDirectory("/g/../runtime/libjvm.so"), "/g/..");
    EXPECT_EQ(runtimeLibraryDirectory("/server/libjvm.so"), "/");
    EXPECT_EQ(runtimeLibraryDirectory("server/libjvm.so"), "");
}

}  // namespace

namespace {

TEST(RuntimeRelease, FeatureVersionOfEveryNumberingScheme) {
    EXPECT_EQ(featureVersionOf("1.8.0_392"), 8);
    EXPECT_EQ(featureVersionOf("11.0.2"), 11);
    EXPECT_EQ(featureVersionOf("25"), 25);
    EXPECT_EQ(featureVersionOf("21-ea"), 21);
    EXPECT_EQ(featureVersionOf(""), std::nullopt);
    EXPECT_EQ(featureVersionOf("openjdk"), std::nullopt);
}

TEST(RuntimeRelease, FoundAboveTheLibraryAndNeverWaitedOn) {
    TempTree tree;
    tree.file("jdk17/release", "IMPLEMENTOR=\"x\"\r\nJAVA_VERSION=\"17.0.15\"\r\n");
    EXPECT_EQ(runtimeFeatureVersion(tree.path("jdk17/lib/server/libjvm.so")), 17);
    tree.file("jdk8/release", "JAVA_VERSION=\"1.8.0_392\"\n");
    EXPECT_EQ(runtimeFeatureVersion(tree.path("jdk8/jre/lib/amd64/server/libjvm.so")), 8);
    tree.file("bare/lib/server/libjvm.so");
    EXPECT_EQ(runtimeFeatureVersion(tree.path("bare/lib/server/libjvm.so")), std::nullopt);
    // A FIFO in the release file's place is not read (reading it would block).
    tree.dir("fifo/lib/server");
    ASSERT_EQ(mkfifo(tree.path("fifo/release").c_str(), 0600), 0);
    EXPECT_EQ(runtimeFeatureVersion(tree.path("fifo/lib/server/libjvm.so")), std::nullopt);
}

}  // namespace
