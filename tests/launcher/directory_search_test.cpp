// The directory search every launcher step relies on: Windows-like pattern
// matching and listing order, depth-first recursion, links and cycles.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <string>
#include <vector>

#include "java_launcher.h"
#include "platform/platform.h"
#include "temp_tree.h"

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

class DirectorySearch : public ::testing::Test {
protected:
    Lines search(const std::string& directory, const std::string& name, bool matchByName,
                 bool recurse) {
        Lines results;
        findFiles(directory, name, results, matchByName, recurse);
        return results;
    }
    // The paths relative to the tree's root, to keep expectations short.
    Lines relative(const Lines& paths) {
        Lines out;
        for (const std::string& p : paths) {
            out.push_back(p.rfind(tree_.root() + "/", 0) == 0 ? p.substr(tree_.root().size() + 1)
                                                              : p);
        }
        return out;
    }

    TempTree tree_;
};

TEST_F(DirectorySearch, ExactNameIsByteForByteAndDepthFirst) {
    tree_.file("B/libjvm.so");
    tree_.file("a/x/libjvm.so");
    tree_.file("a/y/LIBJVM.SO");
    tree_.file("a/libjvm.so.1");
    tree_.file("libjvm.so");
    tree_.dir("c/libjvm.so");  // a directory named like the library
    tree_.file("c/libjvm.so/libjvm.so");
    EXPECT_EQ(relative(search(tree_.root(), "libjvm.so", true, true)),
              (Lines{"a/x/libjvm.so", "B/libjvm.so", "c/libjvm.so/libjvm.so", "libjvm.so"}));
    EXPECT_EQ(relative(search(tree_.root(), "libjvm.so", true, false)), Lines{"libjvm.so"});
}

TEST_F(DirectorySearch, PatternsSelectFilesAsListedAndSkipDirectories) {
    tree_.file("Client.jar");
    tree_.file("b.JAR");
    tree_.file("a.jar");
    tree_.file("notes.txt");
    tree_.dir("dir.jar");
    tree_.file("sub/c.jar");
    EXPECT_EQ(relative(search(tree_.root(), "*.jar", false, false)),
              (Lines{"a.jar", "b.JAR", "Client.jar"}));
    EXPECT_EQ(relative(search(tree_.root(), "client.jar", false, false)), Lines{"Client.jar"});
    EXPECT_EQ(relative(search(tree_.root(), "*.*", false, false)),
              (Lines{"a.jar", "b.JAR", "Client.jar", "notes.txt"}));
}

TEST_F(DirectorySearch, AppendsWithoutTouchingEarlierResults) {
    tree_.file("x.jar");
    Lines results{"kept"};
    findFiles(tree_.root(), "*.jar", results, false, false);
    findFiles(tree_.path("missing"), "*.jar", results, false, false);
    findFiles(tree_.path("x.jar"), "*.jar", results, false, false);  // not a directory
    EXPECT_EQ(relative(results), (Lines{"kept", "x.jar"}));
}

TEST_F(DirectorySearch, LinksAreFollowedButEachDirectoryIsSearchedOnce) {
    tree_.file("a/libjvm.so");
    tree_.link("a/up", "..");   // back to the root: a cycle
    tree_.link("a/self", ".");  // a cycle of one
    tree_.link("b", "a");       // another way into a, already searched
    tree_.link("c/file.so", "../a/libjvm.so");
    tree_.link("c/libjvm.so", "../a/libjvm.so");  // a link to a file is a file
    tree_.link("d/libjvm.so", "missing");         // so is a dangling one
    tree_.file("outside/libjvm.so");
    tree_.link("tree/e", "../outside");  // reached only through a link
    EXPECT_EQ(relative(search(tree_.path("tree/.."), "libjvm.so", true, true)),
              (Lines{"tree/../a/libjvm.so", "tree/../c/libjvm.so", "tree/../d/libjvm.so",
                     "tree/../outside/libjvm.so"}));
    EXPECT_EQ(relative(search(tree_.path("tree"), "libjvm.so", true, true)),
              Lines{"tree/e/libjvm.so"});
}

TEST_F(DirectorySearch, ManyPathsToTheSameDirectoriesCostOneVisitEach) {
    // Each level holds two links to the next: 2^20 paths lead to the
    // library, which is one file in one directory.
    const int levels = 20;
    for (int level = 0; level < levels; ++level) {
        const std::string next = "../n" + std::to_string(level + 1);
        tree_.link("n" + std::to_string(level) + "/a", next);
        tree_.link("n" + std::to_string(level) + "/b", next);
    }
    tree_.file("n" + std::to_string(levels) + "/libjvm.so");
    std::string first = "n0";
    for (int level = 0; level < levels; ++level) first += "/a";
    EXPECT_EQ(relative(search(tree_.path("n0"), "libjvm.so", true, true)),
              Lines{first + "/libjvm.so"});
}

struct DeepSearch {
    std::string root;
    Lines results;
};

TEST_F(DirectorySearch, ADeepTreeDoesNotExhaustASmallStack) {
    // A search that called itself would need far more than 64 KiB here.
    std::string path = tree_.root();
    for (int level = 0; level < 600; ++level) {
        path += "/d";
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << level;
    }
    std::ofstream(path + "/libjvm.so") << "";

    DeepSearch deep{tree_.root(), {}};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* arg) -> void* {
                      auto* d = static_cast<DeepSearch*>(arg);
                      findFiles(d->root, "libjvm.so", d->results, true, true);
                      return nullptr;
                  },
                  &deep),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(deep.results, Lines{path + "/libjvm.so"});
}

TEST_F(DirectorySearch, AnUnreadableDirectoryContributesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    tree_.file("a/libjvm.so");
    tree_.file("b/libjvm.so");
    chmod(tree_.path("a").c_str(), 0);
    EXPECT_EQ(relative(search(tree_.root(), "libjvm.so", true, true)), Lines{"b/libjvm.so"});
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

TEST(ExecutableDirectory, IsTheDirectoryOfTheRunningProgram) {
    const std::string directory = executableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '/');
    EXPECT_TRUE(launcher_test::fs::exists(directory + "/launcher_unit_tests"));
}

TEST(ExecutableDirectory, OnlyAPathNamingTheFileShowsItsDirectory) {
    TempTree tree;
    const std::string launcher = tree.file("game/tessvik");
    tree.dir("game/dir");
    EXPECT_EQ(directoryHoldingExecutable(launcher), tree.path("game"));
    for (const std::string& path : {std::string(), std::string("tessvik"), tree.path("game/"),
                                    tree.path("game/dir"), launcher + " (deleted)"}) {
        EXPECT_EQ(directoryHoldingExecutable(path), std::nullopt) << path;
    }
}

}  // namespace
