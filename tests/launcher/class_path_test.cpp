// The class path: which files of the game tree are on it, in which order,
// and the option text the VM receives.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "captured_messages.h"
#include "class_path.h"
#include "digest.h"
#include "game_layout.h"
#include "java_launcher.h"
#include "platform/paths.h"
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

// The record holds the game's name and its main class in internal form.
TEST(GameName, TheSettingsNameElseTheInstallFolderElseTheGameFolder) {
    LaunchSettings settings;
    EXPECT_EQ(gameNameOf(settings, "/steam/common/Tiny Quest/game"), "Tiny Quest");
    EXPECT_EQ(gameNameOf(settings, "/game"), "game");
    EXPECT_EQ(gameNameOf(settings, "C:/game"), "game");  // a drive is no install folder
    EXPECT_EQ(gameNameOf(settings, "/"), "Tessvik");
    settings.gameName = "Tiny Quest";
    settings.mainClass = "tinyquest.Main";
    const JavaLauncher game(settings, "/steam/common/tq/game");
    EXPECT_EQ(game.gameName + ", " + game.mainClass, "Tiny Quest, tinyquest/Main");
}

// The name as a folder's name, the same on every system.
TEST(GameName, AsAFolderNameEverySystemTakes) {
    const std::pair<std::string, std::string> names[] = {
        {"Tiny Quest", "Tiny Quest"},
        {"Zarn: Deluxe", "Zarn_ Deluxe"},
        {"a/b\\c*?\"<>|;\t", "a_b_c________"},
        {"  Skerry  ", "Skerry"},
        {"   ", "game"},
        {"CON", "_CON"},
        {"com1.sav", "_com1.sav"},
        {"Console", "Console"},
        // 47 bytes, then a character of two: cut before it, not through it.
        {std::string(47, 'x') + "\xc3\xa9", std::string(47, 'x')},
    };
    for (const auto& [name, folder] : names) EXPECT_EQ(folderNameOf(name), folder) << name;
    EXPECT_EQ(platform::lastComponentOf(gameFolderIn("/c", "Tiny Quest", "/g")),
              "Tiny Quest-" + digestOf("/g"));
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
