// The launcher end to end: the real executable in a real game tree starts the
// JDK's VM and calls the test client, which reports what it received.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "client_tree.h"

namespace fs = std::filesystem;
using launcher_test::Lines;

namespace {

Lines withPrefix(const Lines& lines, const std::string& prefix) {
    Lines selected;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) selected.push_back(line.substr(prefix.size()));
    }
    return selected;
}

// The lines of the launcher's own output, from its first line on; lines end in
// LF, or CR LF on a terminal.
Lines linesOf(const std::string& text) {
    Lines lines = launcher_test::splitLines(text);
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return lines;
}

// The Unicode code points of a UTF-8 text, as lower-case hex, blank-separated.
std::string codePointsOf(const std::string& utf8) {
    std::string result;
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        unsigned long cp = length == 1   ? byte
                           : length == 2 ? byte & 0x1F
                           : length == 3 ? byte & 0x0F
                                         : byte & 0x07;
        for (int k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        std::ostringstream hex;
        hex << std::hex << cp;
        result += (result.empty() ? "" : " ") + hex.str();
        i += length;
    }
    return result;
}

bool hasLine(const std::string& text, const std::string& line) {
    for (const std::string& each : linesOf(text)) {
        if (each == line) return true;
    }
    return false;
}

// The options the VM reports as its input arguments: everything the launcher
// passed except the class path, which the VM keeps as a property only.
Lines expectedInputs(const ClientTree& tree, const std::string& initialHeap,
                     const std::string& maxHeap, const Lines& rest = {}) {
    Lines inputs{"-Dworkdir=" + tree.game(), "-Djava.library.path=" + tree.game() + "/nativelibs",
                 "-Xmn256M", "-Xms" + initialHeap, "-Xmx" + maxHeap};
    inputs.insert(inputs.end(), rest.begin(), rest.end());
    return inputs;
}

}  // namespace

// --- Options handed to the VM ---------------------------------------------

TEST(LauncherVmOptions, SixFixedOptionsInOrderWhenNothingIsAdded) {
    ClientTree tree;
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(hasLine(run.out, "Number of options: 6")) << run.out;
    Lines report = tree.report();
    EXPECT_EQ(withPrefix(report, "input "), expectedInputs(tree, "512m", "1g"));
    EXPECT_EQ(withPrefix(report, "property workdir="), Lines{tree.game()});
    EXPECT_EQ(withPrefix(report, "property java.library.path="),
              Lines{tree.game() + "/nativelibs"});
    EXPECT_EQ(withPrefix(report, "property user.dir="), Lines{tree.root()});  // the caller's
}

TEST(LauncherVmOptions, ExtraOptionsThenVerboseSwitchesInOrderJniGcClass) {
    ClientTree tree;
    tree.writeSettings("512m", "1g", {"-Dzarn.first=1", "-Dzarn.second=two words"}, true, true,
                       true);
    RunResult run = tree.launch();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(hasLine(run.out, "Number of options: 11"));
    EXPECT_EQ(withPrefix(tree.report(), "input "),
              expectedInputs(tree, "512m", "1g",
                             {"-Dzarn.first=1", "-Dzarn.second=two words", "-verbose:jni",
                              "-verbose:gc", "-verbose:class"}));
}

TEST(LauncherVmOptions, OnlyVerboseClassGivesSevenOptionsEndingWithIt) {
    ClientTree tree;
    tree.writeSettings("512m", "1g", {}, false, false, true);
    RunResult run = tree.launch();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(hasLine(run.out, "Number of options: 7"));
    EXPECT_EQ(withPrefix(tree.report(), "input "),
              expectedInputs(tree, "512m", "1g", {"-verbose:class"}));
}

TEST(LauncherVmOptions, HeapSizesPassedAsWritten) {
    ClientTree tree;
    tree.writeSettings("1g", "1536m", {});
    RunResult run = tree.launch();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(withPrefix(tree.report(), "input "), expectedInputs(tree, "1g", "1536m"));
}

TEST(LauncherVmOptions, ClassPathNamesMainJarOtherJarsLibraryFilesAndResourceDirs) {
    ClientTree tree;
    fs::copy_file(tree.clientJar(), tree.game() + "/other.jar");
    tree.file("game/lib/notes.txt", "not a jar, still on the class path");
    RunResult run = tree.launch();
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string& g = tree.game();
    EXPECT_EQ(withPrefix(tree.report(), "property java.class.path="),
              Lines{g + "/client.jar:" + g + "/other.jar:" + g + "/lib/notes.txt:" + g +
                    "/internal-pack:" + g + "/launcher-data"});
}

TEST(LauncherVmOptions, AGamePathHoldingTheSeparatorStartsTheClientFromRelativeEntries) {
    ClientTree tree(JVM_LIBRARY, "Zarnhall: Deluxe-");
    tree.file("game/lib/notes:old.txt", "its name would split the class path");
    RunResult run = tree.launch();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(hasLine(run.out, "Left off the class path, its name holds ':': " + tree.game() +
                                     "/lib/notes:old.txt"))
        << run.out;
    EXPECT_EQ(withPrefix(tree.report(), "property java.class.path="),
              Lines{"client.jar:internal-pack:launcher-data"});
    // The library path is relative too, and the launch runs in the game directory.
    EXPECT_EQ(withPrefix(tree.report(), "property java.library.path="), Lines{"nativelibs"});
    EXPECT_EQ(withPrefix(tree.report(), "property user.dir="), Lines{tree.game()});
}

// A game of its own: its jar and class from [Game], the settings' mistakes
// named while it still starts, tools naming it by sun.java.command, and the
// user's folders by its name.
TEST(LauncherVmOptions, ATeamsOwnJarAndClassStartDespiteNamedMistakes) {
    ClientTree tree;
    fs::rename(tree.clientJar(), tree.game() + "/tiny.jar");
    tree.writeSettings(
        "[Game]\nMainJar=tiny.jar\nMainClass=tinyquest.Main\nName=Tiny Quest\n"
        "[Memory]\nInitialHeap=\nMaxHeap=1g\n");
    RunResult run = tree.launch({"level 2"}, "exit3", {{{"XDG_STATE_HOME", tree.state()}}, {}});
    EXPECT_TRUE(fs::is_directory(tessvik::gameFolderIn(tree.state(), "Tiny Quest", tree.game())));
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_TRUE(hasLine(run.out, "LaunchConfig.ini: [Memory] has no key MaxHeap (MaxHeapSize?)"));
    EXPECT_EQ(withPrefix(tree.report(), "property sun.java.command="),
              Lines{"tinyquest.Main level 2"});
    EXPECT_EQ(withPrefix(tree.report(), "property java.class.path=")
                  .at(0)
                  .rfind(tree.game() + "/tiny.jar:", 0),
              0u);
}

// Under a display the client finds the splash screen java would show.
TEST(LauncherVmOptions, ASplashScreenIsShownBeforeTheVmAsJavaShowsIt) {
    if (launcher_test::runProgram({"sh", "-c", "command -v xvfb-run"}).status != 0) {
        GTEST_SKIP() << "xvfb-run not installed";
    }
    ClientTree tree;
    tree.splashImage();
    tree.writeSettings("512m", "1g", {"-splash:../splash.gif"});
    launcher_test::RunOptions options;
    options.environment.set = {{"TESSVIK_TEST_MODE", "options"}, {"XDG_CACHE_HOME", tree.cache()}};
    RunResult run = launcher_test::runProgram({"xvfb-run", "-a", tree.launcher()}, options);
    EXPECT_TRUE(contains(run.out, ", splash shown\n")) << run.out << run.err;
}

// --- Arguments handed to main ----------------------------------------------

TEST(LauncherVmArguments, WithoutArgumentsMainGetsTheProgramAsInvoked) {
    ClientTree tree;
    RunResult run = tree.launch();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(withPrefix(tree.report(), "arg "), Lines{codePointsOf(tree.launcher())});
}

TEST(LauncherVmArguments, EachArgumentArrivesExactly) {
    ClientTree tree;
    const Lines args{"with blank", "caf\xC3\xA9", "\xC4\x80\xC5\x81",  // U+0100 U+0141
                     "\xF0\x9F\x98\x80", ""};                          // U+1F600, empty
    RunResult run = tree.launch(args);
    EXPECT_EQ(run.status, 0) << run.err;
    Lines expected{codePointsOf(tree.launcher())};
    for (const std::string& arg : args) expected.push_back(codePointsOf(arg));
    Lines received = withPrefix(tree.report(), "arg");
    for (std::string& line : received) {
        if (!line.empty()) line.erase(0, 1);  // the blank after "arg"
    }
    EXPECT_EQ(received, expected);
}

TEST(LauncherVmArguments, JniCallsPassTheVmChecks) {
    ClientTree tree;
    tree.writeSettings("512m", "1g", {"-Xcheck:jni"});
    for (const char* mode : {"return", "throw"}) {
        RunResult run = tree.launch({"one", "two"}, mode);
        EXPECT_FALSE(contains(run.out + run.err, "WARNING")) << mode << "\n" << run.out << run.err;
    }
}

// --- How a run ends ----------------------------------------------------------
// Each way the client ends is compared with java's in java_oracle_test.cpp.

TEST(LauncherVmExit, MainReturningGivesZeroAndTheLauncherLinesComeFirst) {
    ClientTree tree;
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    Lines out = linesOf(run.out);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[out.size() - 3], "Number of options: 6");
    EXPECT_EQ(out[out.size() - 2], "Create java VM!");
    EXPECT_EQ(out.back(), "main returns");
    EXPECT_EQ(run.err, "");
}

TEST(LauncherVmExit, MissingMainClassIsNamedOnStandardErrorAndGivesOne) {
    ClientTree tree;
    fs::remove(tree.clientJar());
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(linesOf(run.out).back(), "Create java VM!");
    EXPECT_TRUE(contains(run.err,
                         "Exception in thread \"main\" java.lang.NoClassDefFoundError: "
                         "com/zarnhall/client/launcherfx/ZarnMain"))
        << run.err;
}

TEST(LauncherVmOptions, DefaultSettingsFileStartsAJava17Runtime) {
    ClientTree tree;
    fs::remove(tree.game() + "/LaunchConfig.ini");
    // The runtime says what it is (the tree's release file is the JDK's):
    // -XX:+AggressiveOpts, which it would refuse, is left out.
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(hasLine(run.out, "Number of options: 6")) << run.out;
    EXPECT_EQ(withPrefix(tree.report(), "input "), expectedInputs(tree, "512m", "2048m"));
    EXPECT_TRUE(contains(readFile(tree.game() + "/LaunchConfig.ini"),
                         "[VMParams]\nJvmParam0=-XX:+AggressiveOpts\n"));
}

// Without a release file the runtime's version is not known, and the option
// is handed on.
TEST(LauncherVmExit, DefaultSettingsFileRefusedByThisVmFailsCleanly) {
    ClientTree tree;
    fs::remove(tree.game() + "/LaunchConfig.ini");
    fs::remove(tree.root() + "/runtime/release");
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(hasLine(run.out, "Number of options: 7"));
    EXPECT_EQ(linesOf(run.out).back(), "Create java VM!");
    EXPECT_TRUE(hasLine(run.err, "Unrecognized VM option 'AggressiveOpts'")) << run.err;
    EXPECT_EQ(linesOf(run.err).back(), "Failed to create Java VM (error -6)");
    for (const auto& entry : fs::recursive_directory_iterator(tree.root())) {
        std::string name = entry.path().filename().string();
        EXPECT_NE(name.rfind("core", 0), 0u) << entry.path();
        EXPECT_NE(name.rfind("hs_err_pid", 0), 0u) << entry.path();
    }
    EXPECT_TRUE(tree.report().empty());
}

TEST(LauncherVmExit, RuntimeLibraryWithoutTheVmEntryPointFailsCleanly) {
    ClientTree tree;
    fs::path library = fs::path(tree.root()) / "runtime/bin/server/libjvm.so";
    fs::remove(library);
    fs::create_symlink("/lib/x86_64-linux-gnu/libm.so.6", library);
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Failed to create Java VM (error -1)\n");
}

TEST(LauncherVmExit, RefusedHeapSizeFailsCleanly) {
    ClientTree tree;
    tree.writeSettings("lots", "1g", {});
    RunResult run = tree.launch();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "Failed to create Java VM (error ")) << run.err;
}
