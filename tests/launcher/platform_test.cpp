// The platform layer's rules that every step relies on: Windows-like pattern
// matching and listing order, the parts of a path, and the bounded reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/directories.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "temp_tree.h"

using namespace tessvik;

namespace {

using launcher_test::Lines;
using launcher_test::TempTree;
using platform::listsBefore;
using platform::matchesWildcard;

TEST(WildcardMatching, FollowsTheWindowsDirectorySearch) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.jar", "a.jar", true},
        {"*.jar", "X.JAR", true},
        {"*.jar", "a.jar.txt", false},
        {"*.jar", "jar", false},
        {"*.jar", ".jar", true},
        {"client.jar", "Client.jar", true},
        {"client.jar", "client.jar2", false},
        {"client.jar", "xclient.jar", false},
        {"*.*", "no-extension", true},
        {"*.*", "a.b.c", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c", "abbc", false},
        {"?", "\xC3\xA9", true},
        {"*a*b", "xaybz", false},
        {"*a*b", "xayab", true},
        {"**", "", true},
        {"*", "anything", true},
        {"lib*", "LIBJVM.SO", true},
        {"é", "É", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesWildcard(c.pattern, c.name), c.matches)
            << '"' << c.pattern << "\" vs \"" << c.name << '"';
    }
}

TEST(ListingOrder, ComparesUpperCasedNamesOrdinally) {
    Lines names{"_x", "b", "Zeta", "B.jar", "alpha", "a.jar", "A", "[", "1"};
    std::sort(names.begin(), names.end(), listsBefore);
    // Upper-casing puts "_" and "[" after every letter, as NTFS lists them.
    EXPECT_EQ(names, (Lines{"1", "A", "a.jar", "alpha", "b", "B.jar", "Zeta", "[", "_x"}));
    EXPECT_TRUE(listsBefore("A", "a"));  // a fixed order where case differs
    EXPECT_FALSE(listsBefore("a", "A"));
}

TEST(PathParts, OneSetOfEdgeRulesForEveryPath) {
    const struct {
        const char* path;
        const char* directory;
        const char* last;
    } cases[] = {
        {"/a/b", "/a", "b"}, {"/a/b/", "/a", "b"}, {"/a//b", "/a", "b"}, {"a//b//", "a", "b"},
        {"/b", "/", "b"},    {"//b", "/", "b"},    {"/", "/", ""},       {"//", "/", ""},
        {"b", "", "b"},      {"b/", "", "b"},      {"", "", ""},         {"C:", "", "C:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::directoryOf(c.path), c.directory) << '"' << c.path << '"';
        EXPECT_EQ(platform::lastComponentOf(c.path), c.last) << '"' << c.path << '"';
    }
}

TEST(FileReader, ReadsRegularFilesByteForByteWithinTheLimit) {
    using platform::FileReadOutcome;
    using platform::OverLimit;
    TempTree tree;
    const std::string bytes("a\r\nb\x1A\0c\n", 8);
    tree.file("file", bytes);
    tree.dir("directory");
    tree.link("dangling", "missing");
    tree.link("link", "file");
    ASSERT_EQ(mkfifo(tree.path("fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::uint64_t limit;
        OverLimit overLimit;
        FileReadOutcome outcome;
        std::string bytes;
    } cases[] = {
        {tree.path("file"), 8, OverLimit::refuse, FileReadOutcome::read, bytes},
        {tree.path("link"), 100, OverLimit::refuse, FileReadOutcome::read, bytes},
        {tree.path("file"), 7, OverLimit::refuse, FileReadOutcome::tooLarge, ""},
        {tree.path("file"), 3, OverLimit::cut, FileReadOutcome::read, "a\r\n"},
        {tree.path("missing"), 8, OverLimit::refuse, FileReadOutcome::missing, ""},
        {tree.path("dangling"), 8, OverLimit::refuse, FileReadOutcome::cannotOpen, ""},
        {tree.path("directory"), 8, OverLimit::refuse, FileReadOutcome::notRegularFile, ""},
        {tree.path("fifo"), 8, OverLimit::refuse, FileReadOutcome::notRegularFile, ""},
        {"/dev/zero", 8, OverLimit::cut, FileReadOutcome::notRegularFile, ""},
    };
    for (const auto& c : cases) {
        const platform::FileContent content = platform::readFile(c.path, c.limit, c.overLimit);
        EXPECT_EQ(content.outcome, c.outcome) << c.path << " " << c.limit;
        EXPECT_EQ(content.bytes, c.bytes) << c.path << " " << c.limit;
    }
    // Five gigabytes, none of them read.
    const std::string large = tree.file("large");
    launcher_test::fs::resize_file(large, 5ull << 30);
    EXPECT_EQ(platform::readFile(large, 1 << 20).outcome, FileReadOutcome::tooLarge);
    if (geteuid() != 0) {  // permissions do not bind the superuser
        chmod(tree.path("file").c_str(), 0);
        EXPECT_EQ(platform::readFile(tree.path("file"), 8).outcome, FileReadOutcome::cannotOpen);
    }
}

}  // namespace
