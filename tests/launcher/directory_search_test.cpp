// The directory search every launcher step relies on: depth-first recursion,
// links and cycles; and the launcher's own directory.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <string>
#include <vector>

#include "directory_search.h"
#include "game_layout.h"
#include "platform/paths.h"
#include "temp_tree.h"

using namespace tessvik;

namespace {

using launcher_test::Lines;
using launcher_test::TempTree;

class DirectorySearch : public ::testing::Test {
protected:
    Lines search(const std::string& directory, const std::string& name, FileMatch match,
                 Descent descent) {
        Lines results;
        findFiles(directory, name, results, match, descent);
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
    EXPECT_EQ(relative(search(tree_.root(), "libjvm.so", FileMatch::exactName, Descent::wholeTree)),
              (Lines{"a/x/libjvm.so", "B/libjvm.so", "c/libjvm.so/libjvm.so", "libjvm.so"}));
    EXPECT_EQ(
        relative(search(tree_.root(), "libjvm.so", FileMatch::exactName, Descent::thisDirectory)),
        Lines{"libjvm.so"});
}

TEST_F(DirectorySearch, PatternsSelectFilesAsListedAndSkipDirectories) {
    tree_.file("Client.jar");
    tree_.file("b.JAR");
    tree_.file("a.jar");
    tree_.file("notes.txt");
    tree_.dir("dir.jar");
    tree_.file("sub/c.jar");
    EXPECT_EQ(relative(search(tree_.root(), "*.jar", FileMatch::pattern, Descent::thisDirectory)),
              (Lines{"a.jar", "b.JAR", "Client.jar"}));
    EXPECT_EQ(
        relative(search(tree_.root(), "client.jar", FileMatch::pattern, Descent::thisDirectory)),
        Lines{"Client.jar"});
    EXPECT_EQ(relative(search(tree_.root(), "*.*", FileMatch::pattern, Descent::thisDirectory)),
              (Lines{"a.jar", "b.JAR", "Client.jar", "notes.txt"}));
}

TEST_F(DirectorySearch, AppendsWithoutTouchingEarlierResults) {
    tree_.file("x.jar");
    Lines results{"kept"};
    findFiles(tree_.root(), "*.jar", results, FileMatch::pattern, Descent::thisDirectory);
    findFiles(tree_.path("missing"), "*.jar", results, FileMatch::pattern, Descent::thisDirectory);
    findFiles(tree_.path("x.jar"), "*.jar", results, FileMatch::pattern,
              Descent::thisDirectory);  // not a directory
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
    EXPECT_EQ(relative(search(tree_.path("tree/.."), "libjvm.so", FileMatch::exactName,
                              Descent::wholeTree)),
              (Lines{"tree/../a/libjvm.so", "tree/../c/libjvm.so", "tree/../d/libjvm.so",
                     "tree/../outside/libjvm.so"}));
    EXPECT_EQ(
        relative(search(tree_.path("tree"), "libjvm.so", FileMatch::exactName, Descent::wholeTree)),
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
    EXPECT_EQ(
        relative(search(tree_.path("n0"), "libjvm.so", FileMatch::exactName, Descent::wholeTree)),
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
                      findFiles(d->root, "libjvm.so", d->results, FileMatch::exactName,
                                Descent::wholeTree);
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
    EXPECT_EQ(relative(search(tree_.root(), "libjvm.so", FileMatch::exactName, Descent::wholeTree)),
              Lines{"b/libjvm.so"});
}

TEST(ExecutableDirectory, IsTheDirectoryOfTheRunningProgram) {
    const std::optional<std::string> directory = executableDirectory(platform::executablePath());
    ASSERT_TRUE(directory && !directory->empty());
    EXPECT_NE(directory->back(), '/');
    EXPECT_TRUE(launcher_test::fs::exists(*directory + "/launcher_unit_tests"));
}

TEST(ExecutableDirectory, OnlyAPathNamingTheFileShowsItsDirectory) {
    TempTree tree;
    const std::string launcher = tree.file("game/tessvik");
    tree.dir("game/dir");
    EXPECT_EQ(executableDirectory(launcher), tree.path("game"));
    for (const std::string& path : {std::string(), std::string("tessvik"), tree.path("game/"),
                                    tree.path("game/dir"), launcher + " (deleted)"}) {
        EXPECT_EQ(executableDirectory(path), std::nullopt) << path;
    }
}

}  // namespace
