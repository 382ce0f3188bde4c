// Which game folders lose their cache or their crash reports, and the
// housekeeping passes on a tree.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "digest.h"
#include "folder_housekeeping.h"
#include "game_layout.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/paths.h"
#include "temp_tree.h"

using namespace tessvik;

namespace {

namespace fs = std::filesystem;
using launcher_test::TempTree;

constexpr std::int64_t day = 24 * 60 * 60;
// Time enough for the removals of a small tree on a busy machine.
constexpr std::chrono::minutes ample(1);

std::string gameFolderNameOf(const std::string& gameDirectory) {
    return platform::lastComponentOf(gameFolderIn({}, "Game", gameDirectory));
}

// The time seconds from now, in the units of the file system's times.
std::int64_t fileTimeIn(std::int64_t seconds) {
    return platform::fileTimeNow() + seconds * platform::fileTimeUnitsPerSecond;
}

void makeUnusedFor(const std::string& path, std::chrono::hours age) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

}  // namespace

TEST(GameFolderDecision, TheCacheGoesWhenItsGameIsGoneOrUnusedCrashReportsWhenBoth) {
    const std::string game = "/games/Skerry";
    const std::string own = gameFolderNameOf(game);
    const std::string other = gameFolderNameOf("/games/Other");
    const std::int64_t old = unusedFolderSeconds;
    struct Case {
        const char* what;
        std::string name;
        std::optional<std::string> record;
        bool directoryExists, uninstalled;
        std::int64_t idle;
        bool inUse;
        bool cacheGoes, crashesGo;
    };
    const Case cases[] = {
        {"game there, used lately", own, game, true, false, day, false, false, false},
        {"game there, unused 60 days", own, game, true, false, old, false, true, false},
        {"game uninstalled lately", own, game, false, true, 0, false, true, false},
        {"game uninstalled 60 days ago", own, game, false, true, old, false, true, true},
        {"game's drive not there: age decides", own, game, false, false, day, false, false, false},
        {"game's drive not there, unused long", own, game, false, false, old, false, true, false},
        {"record of another folder's game", other, game, false, true, old - 1, false, false, false},
        {"no record, used lately", own, std::nullopt, false, false, old - 1, false, false, false},
        {"no record, unused 60 days", own, std::nullopt, false, false, old, false, true, false},
        {"in use by a running launch", own, game, false, true, old, true, false, false},
        {"this launch's own folder", "keep-0123456789abcdef", std::nullopt, false, false, old,
         false, false, false},
        {"not a game folder's name", "Skerry-notadigest", std::nullopt, false, false, old, false,
         false, false},
    };
    for (const Case& c : cases) {
        GameFolderFacts facts;
        facts.name = c.name;
        facts.recordedDirectory = c.record;
        facts.recordedDirectoryExists = c.directoryExists;
        facts.uninstalled = c.uninstalled;
        facts.idleSeconds = c.idle;
        facts.inUse = c.inUse;
        EXPECT_EQ(shouldTidyGameFolder(facts, "keep-0123456789abcdef", FolderPart::cacheData),
                  c.cacheGoes)
            << c.what;
        EXPECT_EQ(shouldTidyGameFolder(facts, "keep-0123456789abcdef", FolderPart::crashReports),
                  c.crashesGo)
            << c.what;
    }
}

TEST(GameFolderRecord, WrittenOnceInPlaceOfALinkAndNotThroughIt) {
    TempTree tree;
    const std::string folder = tree.dir("cache/Tessvik/Skerry-0123456789abcdef");
    const std::string record = folder + "/game-directory";
    const std::string elsewhere = tree.file("elsewhere", "untouched");
    tree.link("cache/Tessvik/Skerry-0123456789abcdef/game-directory", elsewhere);

    noteGameDirectory(folder, "/games/Skerry");
    EXPECT_FALSE(platform::isSymbolicLink(record));
    EXPECT_EQ(launcher_test::readFile(record), "/games/Skerry\n\n");  // no volume: not there
    EXPECT_EQ(launcher_test::readFile(elsewhere), "untouched");

    // Recorded and used lately: left as it is.
    const platform::FileIdentity written = platform::fileIdentity(record);
    noteGameDirectory(folder, "/games/Skerry");
    EXPECT_EQ(platform::fileIdentity(record).file, written.file);

    // Unused for days: written anew, which marks the folder as used.
    makeUnusedFor(folder, std::chrono::hours(48));
    noteGameDirectory(folder, "/games/Skerry");
    EXPECT_NE(platform::fileIdentity(record).file, written.file);
    EXPECT_LT(std::chrono::abs(fs::file_time_type::clock::now() - fs::last_write_time(folder)),
              std::chrono::hours(1));

    noteGameDirectory(folder, "/games/Moved/Skerry");
    EXPECT_EQ(launcher_test::readFile(record), "/games/Moved/Skerry\n\n");
    EXPECT_EQ(fs::directory_iterator(folder)->path().filename(), "game-directory")
        << "no temporary file left";

    noteGameDirectory(tree.path("cache/missing"), "/games/Skerry");
    EXPECT_FALSE(fs::exists(tree.path("cache/missing")));
}

TEST(GameFolderTidying, RemovesStaleCachesOnlyWithinTheLauncherFolderOnceADay) {
    TempTree tree;
    const std::string launcher = tree.dir("cache/Tessvik");
    const auto gameFolder = [&](const std::string& gameDirectory) {
        const std::string folder = gameFolderIn(tree.path("cache"), "Game", gameDirectory);
        tree.file(folder.substr(tree.root().size() + 1) + "/cache.aot", "cache");
        noteGameDirectory(folder, gameDirectory);
        return folder;
    };
    const std::string kept = gameFolder(tree.dir("games/Kept"));
    const std::string played = gameFolder(tree.dir("games/Played"));
    const std::string moved = gameFolder(tree.path("games/Moved"));
    const std::string running = gameFolder(tree.path("games/Running"));
    const std::string unused = gameFolder(tree.dir("games/Unused"));
    // A stale folder holding a link out of the tree, and a link to a stale
    // folder outside it: the links go, what they lead to stays.
    const std::string outside = tree.file("outside/keep.txt", "mine");
    tree.link(moved.substr(tree.root().size() + 1) + "/out", tree.path("outside"));
    const std::string linked = tree.dir("outside/Linked-0123456789abcdef");
    tree.link("cache/Tessvik/Linked-0123456789abcdef", linked);
    const std::string notAFolder = tree.file("cache/Tessvik/File-0123456789abcdef", "x");
    platform::FileLock lock = platform::FileLock::tryAcquire(running + "/cache.aot.in-use-1");
    ASSERT_TRUE(lock.held());
    for (const std::string& old : {kept, unused, linked})
        makeUnusedFor(old, std::chrono::hours(61 * 24));

    // Out of time before the first removal: the next launch goes on.
    tidyGameFolders(launcher, kept, FolderPart::cacheData, platform::fileTimeNow(), {});
    EXPECT_TRUE(fs::exists(moved));
    tidyGameFolders(launcher, kept, FolderPart::cacheData, platform::fileTimeNow(), ample);
    for (const std::string& stays : {kept, played, running, notAFolder, outside, linked}) {
        EXPECT_TRUE(fs::exists(stays)) << stays;
    }
    for (const std::string& gone : {moved, unused, launcher + "/Linked-0123456789abcdef"}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(gone))) << gone;
    }
    EXPECT_EQ(launcher_test::readFile(outside), "mine");

    // Looked at once a day: a folder gone stale since stays until then.
    lock.release();
    fs::remove_all(tree.path("games/Played"));
    tidyGameFolders(launcher, kept, FolderPart::cacheData, fileTimeIn(day - 3600), ample);
    EXPECT_TRUE(fs::exists(played));
    tidyGameFolders(launcher, kept, FolderPart::cacheData, fileTimeIn(day), ample);
    EXPECT_FALSE(fs::exists(played));
    EXPECT_FALSE(fs::exists(running));
    EXPECT_TRUE(fs::exists(kept));
}

TEST(GameFolderTidying, CrashReportsOutliveTheCacheAndAnUnpluggedDriveKeepsBoth) {
    TempTree tree;
    const std::string launcher = tree.dir("local/Tessvik");  // cache and state share it
    const std::string games = tree.dir("games");
    const auto gameFolder = [&](const std::string& name, const std::string& volume) {
        const std::string directory = games + "/" + name + "/game";
        const std::string folder = launcher + "/" + name + "-" + digestOf(directory);
        tree.file(folder.substr(tree.root().size() + 1) + "/classes-1.jsa", "cache");
        tree.file(folder.substr(tree.root().size() + 1) + "/crashes/hs_err_x.log", "report");
        tree.file(folder.substr(tree.root().size() + 1) + "/game-directory",
                  directory + "\n" + volume + "\n");
        return folder;
    };
    // Uninstalled: its install folder is gone, the folder above it is on its
    // volume. Unplugged: what is left above it lies on another volume.
    const std::string uninstalled = gameFolder("Uninstalled", platform::volumeOf(games));
    const std::string unplugged = gameFolder("Unplugged", "another volume");
    const std::string keep = tree.dir("local/Tessvik/Keep-0123456789abcdef");

    tidyGameFolders(launcher, keep, FolderPart::cacheData, platform::fileTimeNow(), ample);
    tidyGameFolders(launcher, keep, FolderPart::crashReports, platform::fileTimeNow(), ample);
    EXPECT_FALSE(fs::exists(uninstalled + "/classes-1.jsa"));
    EXPECT_TRUE(fs::exists(uninstalled + "/crashes/hs_err_x.log"));
    EXPECT_TRUE(fs::exists(uninstalled + "/game-directory"));
    EXPECT_TRUE(fs::exists(unplugged + "/classes-1.jsa"));

    // Sixty days later the uninstalled game's reports go, and its folder.
    for (const std::string& folder : {uninstalled, unplugged})
        makeUnusedFor(folder, std::chrono::hours(61 * 24));
    const std::int64_t later = fileTimeIn(2 * day);
    tidyGameFolders(launcher, keep, FolderPart::crashReports, later, ample);
    EXPECT_FALSE(fs::exists(uninstalled));
    EXPECT_TRUE(fs::exists(unplugged + "/crashes/hs_err_x.log"));
    tidyGameFolders(launcher, keep, FolderPart::cacheData, later, ample);
    EXPECT_FALSE(fs::exists(unplugged + "/classes-1.jsa"));
    EXPECT_TRUE(fs::exists(unplugged + "/crashes/hs_err_x.log"));
}
