// The class-data archive: which options a runtime gets, where the archive
// lives and what its name depends on, and which archive files the launcher
// refuses to hand to the VM. Synthetic archives here; the real VMs write and
// map real ones in tests/launcher_vm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "cache_file_guard.h"
#include "class_data_archive.h"
#include "class_data_sharing.h"
#include "temp_tree.h"

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
        input_.classPath = {tree_.file("game/client.jar", "jar"), tree_.path("game/internal-pack")};
        input_.vmOptions = {"-Xmx1g"};
        input_.cacheDirectory = tree_.path("cache");
    }

    std::string archiveOf(const SharingPlan& plan) {
        const std::string option = plan.options.back();
        return option.substr(option.find('=') + 1);
    }

    TempTree tree_;
    SharingInput input_;
};

TEST_F(ClassDataSharing, OptionsByRuntimeVersion) {
    for (std::optional<int> version :
         {std::optional<int>(), std::optional<int>(8), std::optional<int>(12)}) {
        input_.runtimeVersion = version;
        const SharingPlan plan = planClassDataSharing(input_);
        EXPECT_EQ(plan.options, Options{});
        EXPECT_EQ(plan.message, "Class data sharing is not available for this runtime");
    }
    input_.runtimeVersion = 19;
    SharingPlan plan = planClassDataSharing(input_);
    const std::string archive = archiveOf(plan);
    EXPECT_EQ(plan.options,
              (Options{"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive}));
    EXPECT_EQ(plan.message, "Class data sharing: writing " + archive);
    EXPECT_EQ(archive.rfind(tree_.path("cache/Tessvik/game-"), 0), 0u) << archive;

    input_.runtimeVersion = 13;
    EXPECT_EQ(planClassDataSharing(input_).options, Options{"-XX:ArchiveClassesAtExit=" + archive});
    tree_.file(archive.substr(tree_.root().size() + 1), archiveBytes(0xf00baba8, 8192, 12288));
    input_.runtimeVersion = 16;
    plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, Options{"-XX:SharedArchiveFile=" + archive});
    EXPECT_EQ(plan.message, "Class data sharing: using " + archive);
    // Java 17 and 18 log what they map, so that a refused archive is found out.
    input_.runtimeVersion = 18;
    plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, (Options{"-Xlog:cds=info,cds+dynamic=info:file=\"" + archive +
                                         ".log\":none:filecount=0",
                                     "-XX:SharedArchiveFile=" + archive}));
    EXPECT_EQ(plan.mapLog, archive + ".log");
}

TEST_F(ClassDataSharing, NameFollowsTheClassPathFilesAndOlderArchivesGo) {
    const std::string first = archiveOf(planClassDataSharing(input_));
    tree_.file(first.substr(tree_.root().size() + 1), "an archive of an older game");
    tree_.file(first.substr(tree_.root().size() + 1) + ".sum", "its record");
    tree_.file("game/client.jar", "a longer jar");
    const std::string second = archiveOf(planClassDataSharing(input_));
    EXPECT_NE(second, first);
    EXPECT_EQ(fs::path(second).parent_path(), fs::path(first).parent_path());
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(first + ".sum"));
    input_.vmOptions.push_back("-Xmx64g");
    const std::string third = archiveOf(planClassDataSharing(input_));
    EXPECT_NE(third, second);

    // A patcher that keeps size and dates: a new file all the same.
    const std::string jar = input_.classPath.front();
    const auto written = fs::last_write_time(jar);
    fs::rename(jar, jar + ".old");
    tree_.file("game/client.jar", "a longer jaR");
    fs::last_write_time(jar, written);
    EXPECT_NE(archiveOf(planClassDataSharing(input_)), third);
}

TEST_F(ClassDataSharing, AnArchiveIsUsedOnlyWhileItsBytesAreThoseRecorded) {
    const std::string archive = archiveOf(planClassDataSharing(input_));
    const std::string relative = archive.substr(tree_.root().size() + 1);
    const std::string bytes = archiveBytes(0xf00baba8, 8192, 12288);
    const struct {
        const char* what;
        std::size_t at;  // where 16 bytes change after the record; npos: none
        bool recorded;
        const char* line;
    } cases[] = {
        {"recorded, unchanged", std::string::npos, true, "using "},
        {"changed in the body", 8192 + 16, true, "writing "},
        {"changed in the header's padding", 2048, true, "writing "},
        {"never recorded: recorded now", std::string::npos, false, "using "},
    };
    for (const auto& c : cases) {
        tree_.file(relative, bytes);
        fs::remove(archive + ".sum");
        if (c.recorded) {
            ASSERT_TRUE(recordIntegrity(archive));
        }
        if (c.at != std::string::npos) {
            std::string changed = bytes;
            changed.replace(c.at, 16, 16, '\x5a');
            tree_.file(relative, changed);
        }
        const SharingPlan plan = planClassDataSharing(input_);
        EXPECT_EQ(plan.message, "Class data sharing: " + std::string(c.line) + archive) << c.what;
        EXPECT_EQ(checkIntegrity(archive), plan.writes ? Integrity::unrecorded : Integrity::intact)
            << c.what;
    }
}

TEST_F(ClassDataSharing, AnArchiveInUseWhenALaunchEndedAbnormallyIsWrittenAnew) {
    const std::string archive = archiveOf(planClassDataSharing(input_));
    tree_.file(archive.substr(tree_.root().size() + 1), archiveBytes(0xf00baba8, 8192, 12288));
    ASSERT_TRUE(recordIntegrity(archive));

    CacheUse running = CacheUse::begin(archive);
    ASSERT_TRUE(running.marked());
    EXPECT_FALSE(endedAbnormallyInUse(archive));  // a launch still running
    EXPECT_EQ(planClassDataSharing(input_).message, "Class data sharing: using " + archive);
    running.end();
    EXPECT_FALSE(endedAbnormallyInUse(archive));

    // A launch that crashed leaves its mark, and nobody holds it.
    tree_.file(archive.substr(tree_.root().size() + 1) + ".in-use-0123456789abcdef");
    EXPECT_EQ(planClassDataSharing(input_).message, "Class data sharing: writing " + archive);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_FALSE(endedAbnormallyInUse(archive));
}

TEST_F(ClassDataSharing, NoWriteWithoutRoomOrAfterAFailedOne) {
    const std::string archive = archiveOf(planClassDataSharing(input_));
    const std::string directory = fs::path(archive).parent_path().string();
    const std::uint64_t needed = archiveRoomNeeded(3);  // the jar of 3 bytes
    EXPECT_EQ(needed, (48u << 20) + 13);
    input_.cacheFreeBytes = 48 << 10;
    SharingPlan plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, Options{});
    EXPECT_EQ(plan.message, "Class data sharing is off: " + directory +
                                " has 48 KiB free, an archive may need 48 MiB");
    input_.cacheFreeBytes = needed - 1;
    EXPECT_EQ(planClassDataSharing(input_).options, Options{});
    input_.cacheFreeBytes = needed;
    EXPECT_EQ(planClassDataSharing(input_).message, "Class data sharing: writing " + archive);

    // An archive that is there needs no room.
    tree_.file(archive.substr(tree_.root().size() + 1), archiveBytes(0xf00baba8, 8192, 12288));
    input_.cacheFreeBytes = 0;
    EXPECT_EQ(planClassDataSharing(input_).message, "Class data sharing: using " + archive);

    // The VM wrote none, or aborted while it wrote (part of it left): no
    // attempt for these inputs until they change.
    input_.cacheFreeBytes.reset();
    for (const bool completed : {true, false}) {
        fs::remove(archive);
        fs::remove(archive + ".failed");
        const SharingPlan writing = planClassDataSharing(input_);
        ASSERT_TRUE(writing.writes);
        if (!completed) tree_.file(archive.substr(tree_.root().size() + 1), "part of it");
        archiveAfterRun(writing, completed);
        EXPECT_FALSE(fs::exists(archive));
        plan = planClassDataSharing(input_);
        EXPECT_EQ(plan.options, Options{});
        EXPECT_EQ(plan.message, "Class data sharing is off: writing " + archive + " failed before");
    }
    tree_.file("game/client.jar", "a new jar");
    EXPECT_EQ(planClassDataSharing(input_).options.size(), 1u);
}

TEST_F(ClassDataSharing, OffWithoutADefaultArchiveOrWithClassFilesInAClassPathDirectory) {
    fs::remove(tree_.path("runtime/lib/server/classes.jsa"));
    SharingPlan plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, Options{});
    EXPECT_EQ(plan.message, "Class data sharing is not available for this runtime (no " +
                                tree_.path("runtime/lib/server/classes.jsa") + ")");
    tree_.file("runtime/lib/server/classes.jsa", archiveBytes(0xf00baba2, 4096, 8192));

    tree_.file("game/internal-pack/com/zarnhall/Hidden.class");
    plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, Options{});
    EXPECT_EQ(plan.message, "Class data sharing is off: " + tree_.path("game/internal-pack") +
                                " on the class path holds class files");
}

TEST(ClassDataArchive, TheChecksumDoesNotDependOnHowTheBytesArrive) {
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
