// The start-up cache: what a launch decides from what it finds, which options
// a runtime gets, where an entry lives and what its name depends on, and which
// files the launcher refuses to hand to the VM. Synthetic archives here; the
// real VMs write and map real ones in tests/launcher_vm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "digest.h"
#include "platform/locks.h"
#include "startup_cache/cache_decision.h"
#include "game_tree.h"
#include "startup_cache/class_data_archive.h"
#include "startup_cache/class_path_reach.h"
#include "startup_cache/startup_cache.h"
#include "temp_tree.h"

using namespace tessvik;

namespace {

using launcher_test::TempTree;
using Options = std::vector<std::string>;
namespace fs = launcher_test::fs;

const std::string identity = "OpenJDK 64-Bit Server VM (17.0.15+6) for linux-amd64 JRE (17.0.15+6)";
constexpr std::size_t identityAt = 617;

void putLittleEndian(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i, value >>= 8) bytes[at + i] = static_cast<char>(value & 0xff);
}

// An archive as Java 17 writes one: magic, version 11, the VM identity, and
// one region at 4096 of usedBytes, in a file of fileBytes.
std::string archiveBytes(std::uint32_t magic, std::size_t usedBytes, std::size_t fileBytes,
                         const std::string& vm = identity) {
    std::string bytes(fileBytes, '\0');
    putLittleEndian(bytes, 0, magic, 4);
    putLittleEndian(bytes, 8, 11, 4);
    putLittleEndian(bytes, 16 + 24, 4096, 8);
    putLittleEndian(bytes, 16 + 40, usedBytes, 8);
    bytes.replace(identityAt, vm.size(), vm);
    return bytes;
}

class ClassDataSharing : public ::testing::Test {
protected:
    ClassDataSharing() {
        input_.runtimeVersion = 17;
        input_.runtimeLibrary = tree_.file("runtime/lib/server/libjvm.so", "library");
        tree_.file("runtime/lib/server/classes.jsa", archiveBytes(0xf00baba2, 4096, 8192));
        input_.gameDirectory = tree_.dir("game");
        input_.gameName = "Skerry";
        input_.classPath = {tree_.file("game/client.jar", "jar"), tree_.path("game/internal-pack")};
        input_.vmOptions = {"-Xmx1g"};
        input_.cacheDirectory = tree_.path("cache");
    }

    // The entry the plan's line names.
    static std::string archiveOf(const SharingPlan& plan) {
        return plan.message.substr(plan.message.rfind(' ') + 1);
    }
    // This launch's plan; the launch before it lets go of what it held.
    SharingPlan plan() {
        launch_.reset();
        return launch_.emplace(input_).plan();
    }
    void finish() { launch_.reset(); }
    void vmEnded() { launch_->vmEnded(); }
    // The VM of a writing launch ended normally, having written an archive.
    void endWriting(const SharingPlan& writing) {
        const std::string option = writing.options.back();
        tree_.file(option.substr(option.find('=') + 1).substr(tree_.root().size() + 1),
                   archiveBytes(0xf00baba8, 8192, 12288));
        vmEnded();
        finish();
    }

    TempTree tree_;
    SharingInput input_;
    std::optional<StartupCacheLaunch> launch_;
};

TEST(StartupCacheDecision, WhatALaunchDoesWithWhatItFound) {
    const FailureMemo none;
    const FailureMemo waiting =
        memoAfterFailure(memoAfterFailure(none, "killed", Retry::later), "x", Retry::later);
    const FailureMemo refused = memoAfterFailure(none, "the VM cannot start with it", Retry::never);
    const struct {
        EntryFacts facts;
        CacheStep step;
        bool discard, recordNow;
    } cases[] = {
        {{true, Integrity::intact, true, false, none, ""}, CacheStep::use, false, false},
        {{true, Integrity::unrecorded, true, false, none, ""}, CacheStep::use, false, true},
        {{true, Integrity::unrecorded, false, false, none, ""}, CacheStep::write, true, false},
        {{true, Integrity::damaged, true, false, none, ""}, CacheStep::write, true, false},
        {{true, Integrity::intact, true, true, none, ""}, CacheStep::write, true, false},
        {{true, Integrity::intact, true, true, none, "no room"}, CacheStep::off, true, false},
        {{false, Integrity::unrecorded, true, false, none, ""}, CacheStep::write, false, false},
        {{false, Integrity::unrecorded, true, false, none, "no room"},
         CacheStep::off,
         false,
         false},
        {{false, Integrity::unrecorded, true, false, waiting, ""}, CacheStep::off, false, false},
        {{false, Integrity::unrecorded, true, false, refused, ""}, CacheStep::off, false, false},
        // A whole cache is used, whatever failed before it.
        {{true, Integrity::intact, true, false, refused, ""}, CacheStep::use, false, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const EntryDecision decision = decideEntry(cases[i].facts);
        EXPECT_EQ(decision.step, cases[i].step) << i;
        EXPECT_EQ(decision.discard, cases[i].discard) << i;
        EXPECT_EQ(decision.recordNow, cases[i].recordNow) << i;
    }
    // The back-off in launches: at once, then 1, 3, 7 and at most 15.
    FailureMemo memo;
    for (int expected : {0, 1, 3, 7, 15, 15}) {
        memo = memoAfterFailure(memo, "no room", Retry::later);
        EXPECT_EQ(memo.launchesToWait, expected);
        EXPECT_EQ(memoFromText(memoText(memo)).launchesToWait, expected);
    }
    EXPECT_TRUE(memoFromText(memoText(refused)).final);
    EXPECT_EQ(memoFromText("garbage").failures, 1);
}

TEST(StartupCacheDecision, OnlyOptionsKnownToWorkKeepTheCacheAndTheBackgroundVmsGetWhatItNeeds) {
    const std::string chooses = "chooses sharing itself";
    const std::string stops = "stops the VM beside the cache's options";
    const std::string unknown = "is not one the cache is known to work with";
    const struct {
        const char* option;
        std::string archive;  // why a dynamic archive keeps away, "" when it works with it
        std::string aot;      // the same for an ahead-of-time cache
    } cases[] = {
        {"-Xshare:off", chooses, chooses},
        {"-XX:-UseSharedSpaces", chooses, chooses},
        {"-XX:SharedArchiveFile=x", chooses, chooses},
        {"-XX:ArchiveClassesAtExit=x", chooses, chooses},
        {"-XX:+AutoCreateSharedArchive", chooses, chooses},
        {"-XX:+RecordDynamicDumpInfo", chooses, chooses},
        {"-XX:DumpLoadedClassList=x", chooses, chooses},
        {"-XX:SharedClassListFile=x", chooses, chooses},
        {"-XX:AOTMode=off", chooses, chooses},
        {"-XX:AOTCache=x", chooses, chooses},
        {"-XX:-UseCompressedClassPointers", chooses, chooses},
        {"--limit-modules=java.base", stops, stops},
        {"--patch-module=java.base=x", stops, stops},
        {"--upgrade-module-path=x", stops, stops},
        {"-Xbootclasspath/a:x", stops, stops},
        {"-javaagent:a.jar", stops, ""},
        {"-agentlib:jdwp=transport=dt_socket", stops, ""},
        {"-agentpath:/x.so", stops, unknown},
        {"-XX:ObjectAlignmentInBytes=16", stops, ""},
        {"-XX:StartFlightRecording", unknown, ""},
        {"--module-path=x", unknown, unknown},
        {"-XX:+SomeFutureFlag", unknown, unknown},
        {"-Xfuture", unknown, unknown},
        {"-Xss4m", "", ""},
        {"-Dname=value", "", ""},
        {"-XX:+UseG1GC", "", ""},
        {"-XX:ActiveProcessorCount=1", "", ""},
        {"--add-opens=java.base/java.lang=ALL-UNNAMED", "", ""},
        {"-Xlog:gc:file=gc.log", "", ""},
    };
    for (const auto& c : cases) {
        const std::vector<GivenVmOption> options{
            {"-Xmx1g", "VMParams"},
            {c.option, "_JAVA_OPTIONS"},
            {"-javaagent:x", "the launcher", OptionOrigin::launcher}};
        for (const auto& [kind, why] :
             {std::pair(CacheKind::archive, c.archive), std::pair(CacheKind::aotCache, c.aot)}) {
            const std::optional<CacheStopper> stopper = optionKeepingCacheOff(options, kind);
            EXPECT_EQ(stopper ? stopper->why : "", why) << c.option;
            EXPECT_TRUE(!stopper || stopper->option.source == "_JAVA_OPTIONS") << c.option;
        }
    }
    // In the VM's order, with what decides the VM's own choices; never what
    // the image gives, writes a file of the game's or runs a command.
    EXPECT_EQ(
        backgroundOptions(
            {{"-XX:ActiveProcessorCount=1", "JAVA_TOOL_OPTIONS", OptionOrigin::javaToolOptions},
             {"-Xss2m", "the runtime image", OptionOrigin::runtimeImage},
             {"-Djava.class.path=a.jar", "the launcher", OptionOrigin::launcher},
             {"-Xmx2g", "VMParams"},
             {"-XX:+UseZGC", "VMParams"},
             {"-XX:HeapDumpPath=x", "VMParams"},
             {"-XX:OnError=x", "VMParams"},
             {"-Xlog:gc:file=x", "VMParams"},
             {"--add-opens=a/b=c", "VMParams"},
             {"-XX:MaxRAM=1g", "_JAVA_OPTIONS", OptionOrigin::javaOptions}}),
        (Options{"-XX:ActiveProcessorCount=1", "-Djava.class.path=a.jar", "-Xmx2g", "-XX:+UseZGC",
                 "--add-opens=a/b=c", "-XX:MaxRAM=1g"}));
}

TEST_F(ClassDataSharing, OptionsByRuntimeVersion) {
    for (std::optional<int> version :
         {std::optional<int>(), std::optional<int>(8), std::optional<int>(12)}) {
        input_.runtimeVersion = version;
        const SharingPlan none = plan();
        EXPECT_EQ(none.options, Options{});
        EXPECT_EQ(none.message, "Class data sharing is not available for this runtime");
    }
    // Every runtime from 13 to 24 writes at its end, to a name of its own.
    for (int version : {13, 19, 24}) {
        input_.runtimeVersion = version;
        const SharingPlan writing = plan();
        const std::string archive = archiveOf(writing);
        EXPECT_EQ(writing.message, "Class data sharing: writing " + archive);
        EXPECT_EQ(archive.rfind(tree_.path("cache/Tessvik/Skerry-"), 0), 0u) << archive;
        ASSERT_EQ(writing.options.size(), 1u);
        EXPECT_EQ(writing.options[0].rfind("-XX:ArchiveClassesAtExit=" + archive + ".part-", 0),
                  0u);
        EXPECT_FALSE(fs::exists(archive));
        finish();
    }
    input_.runtimeVersion = 16;
    const std::string archive = archiveOf(plan());
    endWriting(plan());
    EXPECT_TRUE(fs::exists(archive));
    SharingPlan using_ = plan();
    EXPECT_EQ(using_.options, Options{"-XX:SharedArchiveFile=" + archive});
    EXPECT_EQ(using_.message, "Class data sharing: using " + archive);
    // Java 17 and 18 log what they map on every use, so that a refused
    // archive is found out; where the cache's path holds '%', which the log's
    // file name cannot, the log goes to the temporary folder.
    input_.runtimeVersion = 18;
    tree_.file("game/client.jar", "the jar of a later version");
    const std::string fresh = archiveOf(plan());
    endWriting(plan());
    using_ = plan();
    ASSERT_EQ(using_.options.size(), 2u);
    EXPECT_EQ(
        using_.options[0].rfind("-Xlog:cds=info,cds+dynamic=info:file=\"" + fresh + ".log-", 0),
        0u);
    vmEnded();
    finish();
    const Options again = plan().options;
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1], "-XX:SharedArchiveFile=" + fresh);
    finish();
    input_.cacheDirectory = tree_.dir("cache %p");
    endWriting(plan());
    const Options escaped = plan().options;
    ASSERT_EQ(escaped.size(), 2u);
    EXPECT_EQ(escaped[0].find('%', escaped[0].find("file=")), std::string::npos) << escaped[0];
}

TEST_F(ClassDataSharing, NameFollowsTheInputsAndOlderEntriesGo) {
    const std::string first = archiveOf(plan());
    finish();
    tree_.file(first.substr(tree_.root().size() + 1), "an archive of an older game");
    tree_.file(first.substr(tree_.root().size() + 1) + ".sum", "its record");
    tree_.file("game/client.jar", "a longer jar");
    const std::string second = archiveOf(plan());
    EXPECT_NE(second, first);
    EXPECT_EQ(fs::path(second).parent_path(), fs::path(first).parent_path());
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(first + ".sum"));
    input_.vmOptions.push_back("-Xmx64g");
    const std::string third = archiveOf(plan());
    EXPECT_NE(third, second);
    input_.givenOptions = {{"-Dx=1", "JAVA_TOOL_OPTIONS"}};
    const std::string fourth = archiveOf(plan());
    EXPECT_NE(fourth, third);

    // A patcher that keeps size and dates: a new file all the same.
    const std::string jar = input_.classPath.front();
    const auto written = fs::last_write_time(jar);
    fs::rename(jar, jar + ".old");
    tree_.file("game/client.jar", "a longer jaR");
    fs::last_write_time(jar, written);
    EXPECT_NE(archiveOf(plan()), fourth);
}

TEST_F(ClassDataSharing, AnArchiveIsUsedWhileItIsTheFileRecordedAndNotAfterACrash) {
    const std::string archive = archiveOf(plan());
    endWriting(plan());
    EXPECT_EQ(plan().message, "Class data sharing: using " + archive);  // recorded now
    EXPECT_TRUE(fs::exists(archive + ".sum"));
    finish();

    // Changed after its record: written anew.
    tree_.file(archive.substr(tree_.root().size() + 1), archiveBytes(0xf00baba8, 8192, 16384));
    EXPECT_EQ(plan().message, "Class data sharing: writing " + archive);
    EXPECT_FALSE(fs::exists(archive));
    endWriting(plan());
    EXPECT_EQ(plan().message, "Class data sharing: using " + archive);
    vmEnded();  // a normal end removes the mark while holding it
    finish();

    // A launch still running keeps its mark; one that crashed leaves it unheld.
    const CacheUse running = CacheUse::begin(CacheEntry{archive});
    ASSERT_TRUE(running.marked());
    EXPECT_EQ(plan().message, "Class data sharing: using " + archive);
    finish();  // the crash: the mark stays, nobody holds it
    {
        // Another launch writing meanwhile: the crash's mark waits for the
        // launch that can discard the archive.
        const platform::FileLock other = platform::FileLock::tryAcquire(archive + ".lock");
        EXPECT_EQ(plan().message,
                  "Class data sharing is off: another launch is writing " + archive);
    }
    EXPECT_EQ(plan().message, "Class data sharing: writing " + archive);
    EXPECT_FALSE(fs::exists(archive));
}

TEST_F(ClassDataSharing, NoWriteWithoutRoomOrWhileAnotherLaunchWritesAndFailuresBackOff) {
    const std::string archive = archiveOf(plan());
    const std::string directory = fs::path(archive).parent_path().string();
    const std::uint64_t needed = archiveRoomNeeded(3);  // the jar of 3 bytes
    EXPECT_EQ(needed, (48u << 20) + 13);
    input_.cacheFreeBytes = 48 << 10;
    EXPECT_EQ(plan().message, "Class data sharing is off: " + archive + ": " + directory +
                                  " has 48 KiB free, a new cache may need 48 MiB");
    input_.cacheFreeBytes = needed - 1;
    EXPECT_EQ(plan().options, Options{});
    input_.cacheFreeBytes = needed;
    const SharingPlan writing = plan();
    EXPECT_EQ(writing.message, "Class data sharing: writing " + archive);

    // Another launch holds the entry while it writes.
    finish();
    {
        const platform::FileLock other = platform::FileLock::tryAcquire(archive + ".lock");
        ASSERT_TRUE(other.held());
        EXPECT_EQ(plan().message,
                  "Class data sharing is off: another launch is writing " + archive);
    }

    // A write the VM did not finish (its part left behind) is tried again at
    // the next launch, then after one launch more.
    input_.cacheFreeBytes.reset();
    tree_.file(archive.substr(tree_.root().size() + 1) + ".part-0123", "part of it");
    EXPECT_EQ(plan().message, "Class data sharing: writing " + archive);
    finish();
    tree_.file(archive.substr(tree_.root().size() + 1) + ".part-4567", "part of it");
    const std::string failed = "Class data sharing is off: " + archive +
                               ": writing it failed (an earlier attempt did not finish); it is "
                               "tried again once 1 more launches have run without it";
    EXPECT_EQ(plan().message, failed);
    EXPECT_EQ(plan().message, failed);  // the launch it waits
    EXPECT_EQ(plan().message, "Class data sharing: writing " + archive);
    endWriting(plan());
    EXPECT_EQ(plan().message, "Class data sharing: using " + archive);
    EXPECT_FALSE(fs::exists(archive + ".failed"));
}

TEST_F(ClassDataSharing, OffWithoutADefaultArchiveWithClassFilesOnTheClassPathOrAnOptionOfTheGame) {
    fs::remove(tree_.path("runtime/lib/server/classes.jsa"));
    SharingPlan off = plan();
    EXPECT_EQ(off.options, Options{});
    EXPECT_EQ(off.message, "Class data sharing is not available for this runtime (no " +
                               tree_.path("runtime/lib/server/classes.jsa") + ")");
    tree_.file("runtime/lib/server/classes.jsa", archiveBytes(0xf00baba2, 4096, 8192));

    input_.givenOptions = {{"-Xshare:auto", "JAVA_TOOL_OPTIONS"}};
    EXPECT_EQ(
        plan().message,
        "Class data sharing is off: -Xshare:auto in JAVA_TOOL_OPTIONS chooses sharing itself");
    input_.givenOptions.clear();

    tree_.file("game/internal-pack/com/zarnhall/Hidden.class");
    off = plan();
    EXPECT_EQ(off.options, Options{});
    EXPECT_EQ(off.message, "Class data sharing is off: " + tree_.path("game/internal-pack") +
                               " on the class path holds class files");
}

// A jar made by the JDK's own jar tool, with the manifest text given; stored
// rather than compressed when stored is set.
std::string jarWithManifest(const TempTree& tree, const std::string& jar,
                            const std::string& manifest, bool stored = false) {
    const std::string manifestFile = tree.file(jar + ".mf", manifest);
    const std::string content = tree.file(jar + ".d/a.txt", "a");
    const launcher_test::RunResult made =
        launcher_test::runProgram({"jar", stored ? "cf0m" : "cfm", tree.path(jar), manifestFile,
                                   "-C", tree.path(jar + ".d"), "a.txt"});
    EXPECT_EQ(made.status, 0) << made.err;
    return tree.path(jar);
}

TEST(ClassPathReach, ManifestsAddWhatTheJdkFollowsAndTheVmsOptionsSayTheRest) {
    TempTree tree;
    const std::string game = tree.dir("game");
    // Continued lines, escapes, a folder, a file URL and one the JDK ignores.
    const std::string client = jarWithManifest(
        tree, "game/client.jar",
        "Manifest-Version: 1.0\r\nclass-path: lib/a.jar lib/b%20c.jar\r\n  x.jar res/ file:" +
            tree.path("abs.jar") +
            "\r\n  http://host/h.jar\r\n\r\nName: x\r\nClass-Path: no.jar\r\n");
    EXPECT_EQ(manifestClassPath(client),
              (Options{game + "/lib/a.jar", game + "/lib/b c.jar", game + "/x.jar", game + "/res/",
                       tree.path("abs.jar")}));
    // Followed through the jars it adds, each once, in the JDK's order.
    jarWithManifest(tree, "game/lib/a.jar", "Class-Path: ../x.jar inner.jar\n", true);
    jarWithManifest(tree, "game/x.jar", "Class-Path: client.jar\n");
    EXPECT_EQ(reachableClassPath({client, game + "/internal-pack"}),
              (Options{client, game + "/lib/a.jar", game + "/x.jar", game + "/lib/inner.jar",
                       game + "/lib/b c.jar", game + "/res/", tree.path("abs.jar"),
                       game + "/internal-pack"}));
    EXPECT_EQ(manifestClassPath(tree.file("game/not-a-jar.jar", "text")), Options{});
    EXPECT_EQ(manifestClassPath(tree.path("game/missing.jar")), Options{});

    // The last -Djava.class.path the VM takes, its relative entries from the
    // VM's current directory.
    EXPECT_EQ(effectiveClassPath({{"-Djava.class.path=/a.jar", "the launcher"},
                                  {"-Djava.class.path=b.jar::/c", "VMParams"},
                                  {"-Dother=x", "VMParams"}},
                                 "/game"),
              (Options{"/game/b.jar", "/c"}));
}

TEST(Digest, TheChecksumDoesNotDependOnHowTheBytesArrive) {
    std::string bytes(1000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    const std::uint64_t whole = checksumOf(bytes.data(), bytes.size());
    for (const std::size_t piece : {1, 7, 31, 32, 33, 999}) {
        Checksum checksum;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            checksum.add(bytes.data() + at, std::min(piece, bytes.size() - at));
        }
        EXPECT_EQ(checksum.value(), whole) << piece;
    }
    // One bit anywhere, in a whole block or in the tail.
    for (const std::size_t at : {0, 500, 990}) {
        std::string changed = bytes;
        changed[at] ^= 1;
        EXPECT_NE(checksumOf(changed.data(), changed.size()), whole) << at;
    }
    EXPECT_NE(checksumOf(bytes.data(), bytes.size() - 1), whole);
}

TEST(ClassDataArchive, OnlyAWholeArchiveOfTheSameVmIsComplete) {
    TempTree tree;
    const std::string base = tree.file("classes.jsa", archiveBytes(0xf00baba2, 4096, 8192));
    const struct {
        const char* what;
        std::string bytes;
        bool complete;
    } cases[] = {
        {"whole", archiveBytes(0xf00baba8, 8192, 12288), true},
        {"cut at a page", archiveBytes(0xf00baba8, 8192, 8192), false},
        {"cut within a page", archiveBytes(0xf00baba8, 8192, 12288).substr(0, 12000), false},
        {"header only", archiveBytes(0xf00baba8, 0, 4096).substr(0, 2048), false},
        {"static archive", archiveBytes(0xf00baba2, 8192, 12288), false},
        {"another VM",
         archiveBytes(0xf00baba8, 8192, 12288,
                      "OpenJDK 64-Bit Server VM (25.0.3+9-LTS) for linux-amd64 JRE"),
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isCompleteDynamicArchive(tree.file("top.jsa", c.bytes), base), c.complete)
            << c.what;
    }
    EXPECT_FALSE(isCompleteDynamicArchive(tree.path("missing.jsa"), base));
    EXPECT_FALSE(isCompleteDynamicArchive(tree.dir("directory.jsa"), base));
}

}  // namespace
