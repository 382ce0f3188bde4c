// The class path: which files of the game tree are on it, in which order,
// and the option text the VM receives.
#include <gtest/gtest.h>

#include <string>

#include "java_launcher.h"
#include "temp_tree.h"

namespace {

using launcher_test::Lines;
using launcher_test::TempTree;

class ClassPath : public ::testing::Test {
protected:
    ClassPath() : launcher(settings) {
        assignGameLayout(launcher);
        launcher.workDir = tree.root();
    }
    Lines collect() {
        launcher.findMainJar();
        launcher.collectJars();
        Lines out;
        for (const std::string& p : launcher.classPath) out.push_back(p.substr(tree.root().size() + 1));
        return out;
    }

    TempTree tree;
    LaunchSettings settings;
    JavaLauncher launcher;
};

TEST_F(ClassPath, TheMainJarComesFirstAndOnce) {
    tree.file("a.jar");
    tree.file("client.jar");
    tree.file("z.jar");
    EXPECT_EQ(collect(), (Lines{"client.jar", "a.jar", "z.jar"}));
}

TEST_F(ClassPath, TheMainJarIsFoundWhateverItsLetterCase) {
    tree.file("Client.JAR");
    tree.file("b.jar");
    EXPECT_EQ(collect(), (Lines{"Client.JAR", "b.jar"}));
}

TEST_F(ClassPath, WithoutAMainJarTheFirstListedJarLeads) {
    tree.file("zz.jar");
    tree.file("B.jar");
    tree.file("a.jar");
    EXPECT_EQ(collect(), (Lines{"a.jar", "B.jar", "zz.jar"}));
}

TEST_F(ClassPath, EveryLibFileFollowsTheJarsButNoDirectory) {
    tree.file("client.jar");
    tree.dir("client.jar.d");
    tree.dir("folder.jar");
    tree.file("lib/readme.txt");
    tree.file("lib/client.jar");  // same name, other path: both stay
    tree.file("lib/noext");
    tree.file("lib/sub/deep.jar");
    tree.file("other/x.jar");
    EXPECT_EQ(collect(), (Lines{"client.jar", "lib/client.jar", "lib/noext", "lib/readme.txt"}));
}

TEST_F(ClassPath, ADirectoryNamedLikeTheMainJarIsNotIt) {
    tree.dir("client.jar");
    tree.file("a.jar");
    EXPECT_EQ(collect(), Lines{"a.jar"});
}

TEST_F(ClassPath, TheOptionListsEntriesThenBothResourceDirectories) {
    const std::string w = tree.root();
    EXPECT_EQ(collect(), Lines{});
    EXPECT_EQ(launcher.buildClassPathOption(),
              "-Djava.class.path=:" + w + "/internal-pack:" + w + "/launcher-data");

    tree.file("client.jar");
    tree.file("lib/a.jar");
    launcher.classPath.clear();
    collect();
    EXPECT_EQ(launcher.buildClassPathOption(),
              "-Djava.class.path=" + w + "/client.jar:" + w + "/lib/a.jar:" + w +
                  "/internal-pack:" + w + "/launcher-data");
}

}  // namespace
