// The class path: which files of the game tree are on it, in which order,
// and the option text the VM receives.
#include <gtest/gtest.h>

#include <string>

#include "captured_messages.h"
#include "class_path.h"
#include "java_launcher.h"
#include "temp_tree.h"
#include "vm_options.h"

using namespace tessvik;

namespace {

using launcher_test::CapturedMessages;
using launcher_test::Lines;
using launcher_test::TempTree;

class ClassPath : public ::testing::Test {
protected:
    ClassPath() : launcher_(settings_, tree_.root()) {}
    Lines collect() {
        findMainJar(launcher_);
        collectJars(launcher_);
        Lines out;
        for (const std::string& p : launcher_.classPath) {
            out.push_back(p.substr(tree_.root().size() + 1));
        }
        return out;
    }

    TempTree tree_;
    LaunchSettings settings_;
    JavaLauncher launcher_;
};

TEST_F(ClassPath, TheMainJarComesFirstAndOnce) {
    tree_.file("a.jar");
    tree_.file("client.jar");
    tree_.file("z.jar");
    EXPECT_EQ(collect(), (Lines{"client.jar", "a.jar", "z.jar"}));
}

TEST_F(ClassPath, TheMainJarIsFoundWhateverItsLetterCase) {
    tree_.file("Client.JAR");
    tree_.file("b.jar");
    EXPECT_EQ(collect(), (Lines{"Client.JAR", "b.jar"}));
}

TEST_F(ClassPath, WithoutAMainJarTheFirstListedJarLeads) {
    tree_.file("zz.jar");
    tree_.file("B.jar");
    tree_.file("a.jar");
    EXPECT_EQ(collect(), (Lines{"a.jar", "B.jar", "zz.jar"}));
}

TEST_F(ClassPath, TheGamesOwnMainJarLeadsAndItsClassIsInInternalForm) {
    tree_.file("client.jar");
    tree_.file("tiny.jar");
    settings_.mainJar = "tiny.jar";
    settings_.mainClass = "tinyquest.Main";
    JavaLauncher game(settings_, tree_.root());
    findMainJar(game);
    collectJars(game);
    EXPECT_EQ(game.classPath, (Lines{tree_.path("tiny.jar"), tree_.path("client.jar")}));
    EXPECT_EQ(game.mainClass, "tinyquest/Main");
    EXPECT_EQ(launcher_.mainClass, "com/zarnhall/client/launcherfx/ZarnMain");
}

TEST(GameName, TheSettingsNameElseTheInstallFolderElseTheGameFolder) {
    const struct {
        const char* name;
        const char* gameDirectory;
        const char* expected;
    } cases[] = {
        {"", "/steam/common/Tiny Quest/game", "Tiny Quest"},
        {"Tiny Quest", "/steam/common/tq/game", "Tiny Quest"},
        {"", "/game", "game"},
        {"", "C:/game", "game"},  // a drive is no install folder
        {"", "/", "Tessvik"},
    };
    for (const auto& c : cases) {
        LaunchSettings settings;
        settings.gameName = c.name;
        EXPECT_EQ(gameNameOf(settings, c.gameDirectory), c.expected) << c.gameDirectory;
        EXPECT_EQ(JavaLauncher(settings, c.gameDirectory).gameName, c.expected);
    }
}

TEST_F(ClassPath, EveryLibFileFollowsTheJarsButNoDirectory) {
    tree_.file("client.jar");
    tree_.dir("client.jar.d");
    tree_.dir("folder.jar");
    tree_.file("lib/readme.txt");
    tree_.file("lib/client.jar");  // same name, other path: both stay
    tree_.file("lib/noext");
    tree_.file("lib/sub/deep.jar");
    tree_.file("other/x.jar");
    EXPECT_EQ(collect(), (Lines{"client.jar", "lib/client.jar", "lib/noext", "lib/readme.txt"}));
}

TEST_F(ClassPath, ADirectoryNamedLikeTheMainJarIsNotIt) {
    tree_.dir("client.jar");
    tree_.file("a.jar");
    EXPECT_EQ(collect(), Lines{"a.jar"});
}

TEST_F(ClassPath, TheOptionListsEntriesThenBothResourceDirectories) {
    const std::string w = tree_.root();
    EXPECT_EQ(collect(), Lines{});
    EXPECT_EQ(buildClassPathOption(launcher_),
              "-Djava.class.path=:" + w + "/internal-pack:" + w + "/launcher-data");

    tree_.file("client.jar");
    tree_.file("lib/a.jar");
    launcher_.classPath.clear();
    collect();
    EXPECT_EQ(buildClassPathOption(launcher_), "-Djava.class.path=" + w + "/client.jar:" + w +
                                                   "/lib/a.jar:" + w + "/internal-pack:" + w +
                                                   "/launcher-data");
}

TEST_F(ClassPath, AGameDirectoryWhosePathHoldsTheSeparatorGivesRelativeEntries) {
    // The separator would split every full path below it into pieces.
    const std::string game = tree_.dir("Zarnhall: Deluxe/game");
    launcher_.gameDirectory = game;
    tree_.file("Zarnhall: Deluxe/game/client.jar");
    tree_.file("Zarnhall: Deluxe/game/lib/a.jar");
    findMainJar(launcher_);
    collectJars(launcher_);
    EXPECT_EQ(launcher_.classPath, (Lines{game + "/client.jar", game + "/lib/a.jar"}));
    EXPECT_EQ(buildClassPathOption(launcher_),
              "-Djava.class.path=client.jar:lib/a.jar:internal-pack:launcher-data");
    EXPECT_EQ(javaVmOptions(game, "", launcher_.nativeLibDir, settings_, {}).with()[2],
              "-Djava.library.path=nativelibs");
    // Without the separator, the library path stays in full.
    EXPECT_EQ(javaVmOptions("/games/z", "", launcher_.nativeLibDir, settings_, {}).with()[2],
              "-Djava.library.path=/games/z/nativelibs");
}

TEST_F(ClassPath, AFileWhoseNameHoldsTheSeparatorIsLeftOffWithALine) {
    tree_.file("client.jar");
    tree_.file("old:client.jar");
    tree_.file("lib/a.jar");
    tree_.file("lib/b:c.jar");
    CapturedMessages messages;
    EXPECT_EQ(collect(), (Lines{"client.jar", "lib/a.jar"}));
    const std::string line = "Left off the class path, its name holds ':': ";
    EXPECT_EQ(messages.out(),
              (Lines{line + tree_.path("old:client.jar"), line + tree_.path("lib/b:c.jar")}));
}

}  // namespace
