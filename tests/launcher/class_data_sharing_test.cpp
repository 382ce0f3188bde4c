// The class-data archive: which options a runtime gets, where the archive
// lives and what its name depends on, and which archive files the launcher
// refuses to hand to the VM. Synthetic archives here; the real VMs write and
// map real ones in tests/launcher_vm.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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
    input_.runtimeVersion = 18;
    plan = planClassDataSharing(input_);
    EXPECT_EQ(plan.options, Options{"-XX:SharedArchiveFile=" + archive});
    EXPECT_EQ(plan.message, "Class data sharing: using " + archive);
}

TEST_F(ClassDataSharing, NameFollowsTheClassPathFilesAndOlderArchivesGo) {
    const std::string first = archiveOf(planClassDataSharing(input_));
    tree_.file(first.substr(tree_.root().size() + 1), "an archive of an older game");
    tree_.file("game/client.jar", "a longer jar");
    const std::string second = archiveOf(planClassDataSharing(input_));
    EXPECT_NE(second, first);
    EXPECT_EQ(fs::path(second).parent_path(), fs::path(first).parent_path());
    EXPECT_FALSE(fs::exists(first));
    input_.vmOptions.push_back("-Xmx64g");
    EXPECT_NE(archiveOf(planClassDataSharing(input_)), second);
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
