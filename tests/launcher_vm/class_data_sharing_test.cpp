// Class-data sharing end to end: the real VMs write the archive at the end of
// a run (main returning or System.exit) and map it the next time; a damaged
// archive, one of the other JDK, one the VM refuses, a crash while one is in
// use and a cache that cannot be written leave the launch going as it would
// without sharing, with the client's exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "client_tree.h"

namespace fs = std::filesystem;
using launcher_test::Lines;

namespace {

const char* const mainClassLoaded = "com.zarnhall.client.launcherfx.ZarnMain source: ";

struct SharingRun {
    RunResult run;
    std::string line;      // the launcher's line about sharing
    std::string mainFrom;  // where the VM took the client's main class from
    Lines inputs;          // the VM's input arguments
};

// The rest of the line of text in which marker first appears, or "".
std::string restOfLine(const std::string& text, const std::string& marker) {
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) return {};
    const std::size_t from = at + marker.size();
    return text.substr(from, text.find('\n', from) - from);
}

// A game tree with sharing on and the VM's class loading logged.
class SharingTree : public ClientTree {
public:
    explicit SharingTree(const std::string& jvmLibrary = JVM_LIBRARY) : ClientTree(jvmLibrary) {
        writeSettings(
            "[Runtime]\nClassDataSharing=1\n[Memory]\nInitialHeap=64m\n"
            "MaxHeapSize=256m\n[VMParams]\nJvmParam0=" +
            logOption() + "\n");
    }
    std::string logOption() const {
        return "-Xlog:class+load=info:file=" + root() + "/classes.log";
    }

    SharingRun launchSharing(const std::string& mode = "return", ChildEnvironment env = {}) const {
        fs::remove(root() + "/classes.log");
        fs::remove(reportFile());
        SharingRun result{launch({}, mode, env), "", "", {}};
        result.line = "Class data sharing" + restOfLine(result.run.out, "Class data sharing");
        result.mainFrom = restOfLine(readFile(root() + "/classes.log"), mainClassLoaded);
        for (const std::string& line : report()) {
            if (line.rfind("input ", 0) == 0) result.inputs.push_back(line.substr(6));
        }
        return result;
    }
};

// The archive a sharing line names after "using " or "writing ".
std::string archiveOf(const SharingRun& run) {
    const std::size_t at = run.line.find(": ");
    const std::size_t blank = run.line.find(' ', at + 2);
    return blank == std::string::npos ? std::string() : run.line.substr(blank + 1);
}

void cutAtAPageBoundary(const std::string& archive) {
    fs::permissions(archive, fs::perms::owner_write, fs::perm_options::add);
    fs::resize_file(archive, fs::file_size(archive) / 2 / 4096 * 4096);
}

void replaceWithCopy(const std::string& source, const std::string& target) {
    fs::remove(target);
    fs::copy_file(source, target);
}

}  // namespace

TEST(ClassDataSharing, Java17WritesAtExitMapsNextTimeAndRewritesATruncatedArchive) {
    SharingTree tree;
    const SharingRun first = tree.launchSharing("exit3");
    EXPECT_EQ(first.run.status, 3) << first.run.out << first.run.err;
    const std::string archive = archiveOf(first);
    EXPECT_EQ(first.line, "Class data sharing: writing " + archive);
    EXPECT_EQ(archive.rfind(tree.gameFolder(tree.cache()) + "/", 0), 0u) << archive;
    EXPECT_NE(first.run.out.find("\nNumber of options: 8\n"), std::string::npos);
    ASSERT_GE(first.inputs.size(), 3u);
    // The VM writes under a name of its own, and gets no hook of the
    // launcher's: no exit or abort hook among its arguments.
    EXPECT_EQ(first.inputs.end()[-2], tree.logOption());
    EXPECT_EQ(first.inputs.back().rfind("-XX:ArchiveClassesAtExit=" + archive + ".part-", 0), 0u)
        << first.inputs.back();
    EXPECT_TRUE(fs::is_regular_file(archive));

    const SharingRun second = tree.launchSharing();
    EXPECT_EQ(second.run.status, 0) << second.run.err;
    EXPECT_EQ(second.line, "Class data sharing: using " + archive);
    ASSERT_GE(second.inputs.size(), 2u);
    // Every use of the archive logs whether the VM maps it.
    EXPECT_EQ(second.inputs.end()[-2].rfind("-Xlog:cds=info,cds+dynamic=info:file=", 0), 0u);
    EXPECT_EQ(second.inputs.back(), "-XX:SharedArchiveFile=" + archive);
    EXPECT_EQ(second.mainFrom, "shared objects file (top)");

    // Java 17 would map the missing pages and die of a bus error.
    cutAtAPageBoundary(archive);
    const SharingRun rewrite = tree.launchSharing();
    EXPECT_EQ(rewrite.run.status, 0) << rewrite.run.err;
    EXPECT_EQ(rewrite.line, "Class data sharing: writing " + archive);
    const SharingRun last = tree.launchSharing();
    EXPECT_EQ(last.line, "Class data sharing: using " + archive);
    EXPECT_EQ(last.mainFrom, "shared objects file (top)");

    Lines gameFiles;
    for (const auto& entry : fs::directory_iterator(tree.game())) {
        gameFiles.push_back(entry.path().filename().string());
    }
    std::sort(gameFiles.begin(), gameFiles.end());
    EXPECT_EQ(gameFiles, (Lines{"LaunchConfig.ini", "client.jar", "tessvik"}));
}

TEST(ClassDataSharing, Java25KeepsACacheOfItsOwnAndAFileOfTheOtherJdkIsReplaced) {
    if (!fs::exists(jdk25Library)) GTEST_SKIP() << "no JDK at " << jdk25Library;
    SharingTree other(jdk25Library);
    SharingTree current;
    const SharingRun first = other.launchSharing();
    EXPECT_EQ(first.run.status, 0) << first.run.err;
    const std::string otherArchive = archiveOf(first);
    EXPECT_EQ(first.line, "Class data sharing: recording " + otherArchive);
    EXPECT_NE(first.run.out.find("\nNumber of options: 9\n"), std::string::npos);
    ASSERT_GE(first.inputs.size(), 3u);
    EXPECT_EQ(
        Lines(first.inputs.end() - 2, first.inputs.end()),
        (Lines{"-XX:AOTMode=record", "-XX:AOTConfiguration=" + otherArchive + ".aotconf.part"}));
    // The cache is assembled after the launch, and named once whole.
    for (int i = 0; i < 600 && !fs::exists(otherArchive + ".sum"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const SharingRun second = other.launchSharing();
    EXPECT_EQ(second.line, "Class data sharing: using " + otherArchive);
    EXPECT_EQ(second.mainFrom, "shared objects file");

    const std::string archive = archiveOf(current.launchSharing());
    const std::string saved = current.root() + "/saved.jsa";
    fs::copy_file(archive, saved);
    replaceWithCopy(otherArchive, archive);
    replaceWithCopy(saved, otherArchive);
    for (const auto& [tree, line] : {std::pair(&current, "Class data sharing: writing "),
                                     std::pair(&other, "Class data sharing: recording ")}) {
        const SharingRun run = tree->launchSharing();
        EXPECT_EQ(run.run.status, 0) << run.run.err;
        EXPECT_EQ(run.line.rfind(line, 0), 0u) << run.line;
        // The VM found nothing to complain about: the launcher removed the
        // foreign file first.
        EXPECT_EQ(run.run.out.find("[error"), std::string::npos) << run.run.out;
    }
}

TEST(ClassDataSharing, WithoutAWritableCacheTheOptionsStayAsWithoutSharing) {
    SharingTree tree;
    const std::string notADirectory = tree.root() + "/cache-file";
    std::ofstream(notADirectory) << "a file where the cache would be";
    const SharingRun run = tree.launchSharing("return", {{{"XDG_CACHE_HOME", notADirectory}}, {}});
    EXPECT_EQ(run.run.status, 0) << run.run.err;
    EXPECT_EQ(run.line.rfind("Class data sharing is off: cannot write to " + notADirectory, 0), 0u)
        << run.line;
    EXPECT_NE(run.run.out.find("\nNumber of options: 7\n"), std::string::npos);
    EXPECT_EQ(run.inputs.back(), tree.logOption());
}

TEST(ClassDataSharing, Java17ReplacesAnArchiveDamagedInItsBody) {
    SharingTree tree;
    const std::string archive = archiveOf(tree.launchSharing());
    EXPECT_EQ(tree.launchSharing().line, "Class data sharing: using " + archive);
    ASSERT_TRUE(fs::is_regular_file(archive + ".sum"));
    // A bad sector: 16 bytes at a page offset, header and size intact. The
    // VM would map the pages and crash, or load garbage.
    for (const std::uintmax_t at : {std::uintmax_t(4096) * 3, std::uintmax_t(4096) * 30}) {
        ASSERT_GT(fs::file_size(archive), at);
        fs::permissions(archive, fs::perms::owner_write, fs::perm_options::add);
        std::fstream(archive, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(static_cast<std::streamoff>(at))
            .write("sixteen bytes!!!", 16);
        const SharingRun replaced = tree.launchSharing("exit3");
        EXPECT_EQ(replaced.run.status, 3) << replaced.run.err;
        EXPECT_EQ(replaced.line, "Class data sharing: writing " + archive) << at;
        const SharingRun next = tree.launchSharing();
        EXPECT_EQ(next.line, "Class data sharing: using " + archive);
        EXPECT_EQ(next.mainFrom, "shared objects file (top)");
    }
}

TEST(ClassDataSharing, Java17DiscardsAnArchiveInUseWhenTheVmCrashed) {
    SharingTree tree;
    const std::string archive = archiveOf(tree.launchSharing());
    const SharingRun crash = tree.launchSharing("crash");
    EXPECT_EQ(crash.line, "Class data sharing: using " + archive);
    EXPECT_FALSE(crash.run.exited);
    const SharingRun after = tree.launchSharing();
    EXPECT_EQ(after.run.status, 0) << after.run.err;
    EXPECT_EQ(after.line, "Class data sharing: writing " + archive);
    EXPECT_EQ(tree.launchSharing().line, "Class data sharing: using " + archive);
}

// The archive's directory filled up, or taken away, while the client ran:
// the VM cannot write the archive as it ends, and HotSpot ends the process
// with status 1, as it does under java with the same options. The write is
// tried again at the next launch.
TEST(ClassDataSharing, AFailedWriteEndsAsTheVmEndsItAndIsTriedAgain) {
    SharingTree tree;
    for (const char* mode : {"return", "exit3"}) {
        const SharingRun failed =
            tree.launchSharing(mode, {{{"TESSVIK_TEST_BLOCK", "@ArchiveClassesAtExit"}}, {}});
        const std::string archive = archiveOf(failed);
        EXPECT_EQ(failed.line, "Class data sharing: writing " + archive);
        EXPECT_EQ(failed.run.status, 1) << mode << failed.run.out << failed.run.err;
        EXPECT_TRUE(contains(failed.run.out + failed.run.err, "Unable to")) << mode;
        EXPECT_FALSE(fs::exists(archive));
        for (const auto& entry : fs::directory_iterator(fs::path(archive).parent_path())) {
            if (entry.is_directory()) fs::remove_all(entry.path());
        }
        const SharingRun next = tree.launchSharing(mode);
        EXPECT_EQ(next.run.status, std::string(mode) == "return" ? 0 : 3) << mode;
        EXPECT_EQ(next.line, "Class data sharing: writing " + archive);
        EXPECT_EQ(tree.launchSharing(mode).line, "Class data sharing: using " + archive);
        fs::remove(archive);
    }
}

TEST(ClassDataSharing, Java17ReplacesAnArchiveTheVmDidNotMap) {
    SharingTree tree;
    SharingTree other;
    other.copy(TEST_CLIENT_JAR, "game/other.jar");
    const std::string archive = archiveOf(tree.launchSharing());
    const std::string otherArchive = archiveOf(other.launchSharing());
    // Whole, of the same VM, seen for the first time: only the VM can tell
    // that it was written for another class path.
    replaceWithCopy(otherArchive, archive);
    fs::remove(archive + ".sum");
    const SharingRun refused = tree.launchSharing();
    EXPECT_EQ(refused.run.status, 0) << refused.run.err;
    EXPECT_TRUE(contains(refused.run.out, "Class data sharing: the VM did not map " + archive +
                                              "; it is written anew at the next launch"))
        << refused.run.out;
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(tree.launchSharing().line, "Class data sharing: writing " + archive);
    EXPECT_EQ(tree.launchSharing().mainFrom, "shared objects file (top)");
}

// A library the launcher's class path does not name itself, patched between
// launches: named by the main jar's manifest (Class-Path), or in a class path
// the settings give. The cache's key covers it: the patch runs at once, with a
// cache of its own, on Java 17 and 25.
TEST(ClassDataSharing, APatchedLibraryOfTheManifestOrTheOptionsRunsAtOnce) {
    for (const std::string& jvm : {std::string(JVM_LIBRARY), std::string(jdk25Library)}) {
        if (!fs::exists(jvm)) continue;
        for (const bool byManifest : {true, false}) {
            SCOPED_TRACE(jvm + (byManifest ? ", manifest" : ", options"));
            SharingTree tree(jvm);
            const std::string library = tree.dir("game/libs") + "/version.jar";
            replaceWithCopy(TEST_LIBRARY_JARS "1.jar", library);
            if (byManifest) {
                const std::string manifest =
                    tree.file("manifest.txt", "Class-Path: libs/version.jar\n");
                ASSERT_EQ(
                    launcher_test::runProgram({"jar", "ufm", tree.clientJar(), manifest}).status,
                    0);
            } else {
                tree.writeSettings(
                    "[Runtime]\nClassDataSharing=1\n[VMParams]\nJvmParam0=" + tree.logOption() +
                    "\nJvmParam1=-Djava.class.path=" + tree.clientJar() + ":" + library + "\n");
            }
            const SharingRun first = tree.launchSharing("library");
            EXPECT_TRUE(contains(first.run.out, "\nlibrary 1\n")) << first.run.out;
            const std::string cache = archiveOf(first);
            for (int i = 0; i < 600 && !fs::exists(cache); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            const SharingRun used = tree.launchSharing("library");
            EXPECT_EQ(used.line, "Class data sharing: using " + cache);
            EXPECT_TRUE(contains(used.run.out, "\nlibrary 1\n")) << used.run.out;

            replaceWithCopy(TEST_LIBRARY_JARS "2.jar", library);
            const SharingRun patched = tree.launchSharing("library");
            EXPECT_TRUE(contains(patched.run.out, "\nlibrary 2\n")) << patched.run.out;
            EXPECT_NE(archiveOf(patched), cache) << patched.line;
            EXPECT_EQ(patched.line.rfind("Class data sharing: ", 0), 0u) << patched.line;
        }
    }
}

// A cache folder whose path holds what the VM's log and file options read
// as a process id or a time, and a launcher started with its standard
// streams closed: every launch ends as the client ends it, and nothing of
// the launch's output lands in the cache's files.
TEST(ClassDataSharing, APercentInTheCachesPathOrClosedStreamsCostNothing) {
    for (const std::string& jvm : {std::string(JVM_LIBRARY), std::string(jdk25Library)}) {
        if (!fs::exists(jvm)) continue;
        SCOPED_TRACE(jvm);
        SharingTree tree(jvm);
        ChildEnvironment environment;
        environment.set["XDG_CACHE_HOME"] = tree.dir("cache %p %t");
        const SharingRun first = tree.launchSharing("exit3", environment);
        EXPECT_EQ(first.run.status, 3) << first.run.out << first.run.err;
        const std::string cache = archiveOf(first);
        for (int i = 0; i < 600 && !fs::exists(cache); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const SharingRun used = tree.launchSharing("exit3", environment);
        EXPECT_EQ(used.run.status, 3) << used.run.out << used.run.err;
        EXPECT_EQ(used.line, "Class data sharing: using " + cache);

        // A first launch, which holds the entry's lock file while it writes.
        launcher_test::RunOptions closed;
        closed.closedStreams = true;
        closed.environment.set["XDG_CACHE_HOME"] = tree.dir("closed");
        closed.environment.set["TESSVIK_TEST_MODE"] = "exit3";
        EXPECT_EQ(tree.GameTree::launch({}, closed).status, 3);
        for (const auto& entry : fs::recursive_directory_iterator(tree.path("closed"))) {
            EXPECT_TRUE(entry.path().extension() != ".lock" || fs::file_size(entry) == 0)
                << entry.path();
        }
    }
}
