// A game tree for the test client: the built launcher in game/, the client as
// game/client.jar, and runtime/ standing for a JDK (its VM library and release
// file). The client reports what it received to reportFile() and behaves as
// TESSVIK_TEST_MODE says; the launcher's cache is cache/ in the tree.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "game_layout.h"
#include "game_tree.h"
#include "java_launcher.h"

// The VM library of the second JDK the tests compare with (Java 25), "" where
// this machine has none.
inline const char* const jdk25Library = JDK25_LIBRARY;

using launcher_test::ChildEnvironment;
using launcher_test::contains;
using launcher_test::readFile;
using launcher_test::RunResult;

class ClientTree : public launcher_test::GameTree {
public:
    // jvmLibrary: the VM library of the JDK the tree's runtime stands for;
    // rootPrefix: how the name of the tree's root begins.
    explicit ClientTree(const std::string& jvmLibrary = JVM_LIBRARY,
                        const std::string& rootPrefix = "tessvik-test-")
        : GameTree(TESSVIK_EXECUTABLE, rootPrefix) {
        copy(TEST_CLIENT_JAR, "game/client.jar");
        linkJdkRuntime(jvmLibrary);
        writeSettings("512m", "1g", {});
    }

    std::string clientJar() const { return game() + "/client.jar"; }
    std::string reportFile() const { return root() + "/report.txt"; }
    std::string cache() const { return root() + "/cache"; }
    std::string state() const { return root() + "/state"; }
    // The game's folder below a base directory of the user's, as the
    // launcher names it without a [Game] Name.
    std::string gameFolder(const std::string& base) const {
        return tessvik::gameFolderIn(base, tessvik::gameNameOf({}, game()), game());
    }

    using GameTree::writeSettings;
    // Writes a settings file: heap sizes, extra VM options, verbose flags and
    // the debug switch.
    void writeSettings(const std::string& initialHeap, const std::string& maxHeap,
                       const std::vector<std::string>& vmParams, bool verboseJni = false,
                       bool verboseGC = false, bool verboseClass = false,
                       bool debugMode = false) const {
        std::string body =
            "[Runtime]\nOverrideDefaultJavaPath=false\nJavaPath=\n[Memory]\n"
            "InitialHeap=" +
            initialHeap + "\nMaxHeapSize=" + maxHeap + "\n[VMParams]\n";
        for (std::size_t i = 0; i < vmParams.size(); ++i) {
            body += "JvmParam" + std::to_string(i) + "=" + vmParams[i] + "\n";
        }
        body += "[Debug]\nDebugMode=" + std::to_string(debugMode) +
                "\nVerboseJni=" + std::to_string(verboseJni) +
                "\nVerboseGC=" + std::to_string(verboseGC) +
                "\nVerboseClass=" + std::to_string(verboseClass) + "\n";
        writeSettings(body);
    }

    // Runs the launcher with extra arguments after the program name and the
    // client's mode; XDG_CACHE_HOME is cache() unless the environment names
    // another.
    RunResult launch(const std::vector<std::string>& args = {}, const std::string& mode = "return",
                     ChildEnvironment environment = {}, bool inTerminal = false) const {
        launcher_test::RunOptions options;
        options.environment = std::move(environment);
        options.environment.set["TESSVIK_TEST_MODE"] = mode;
        options.environment.set["TESSVIK_TEST_REPORT"] = reportFile();
        options.environment.set.emplace("XDG_CACHE_HOME", cache());
        options.inTerminal = inTerminal;
        return GameTree::launch(args, options);
    }

    // A one-pixel image for -splash: in the tree's root; its path.
    std::string splashImage() const {
        return file("splash.gif",
                    std::string("GIF89a\1\0\1\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\1\0\1\0"
                                "\0\2\2D\1\0;",
                                35));
    }

    // The lines of the client's report, empty when it wrote none.
    launcher_test::Lines report() const {
        return launcher_test::splitLines(readFile(reportFile()));
    }
};
