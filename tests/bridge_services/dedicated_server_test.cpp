// The dedicated-server launch on POSIX, with HOME and PATH pointing into a
// temporary directory and small scripts standing in for Steam.
#include "dedicated_server.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using quellink::ReadSteamExePath;
using quellink::startDedicatedServer;
using quellink::platform::lookUpSteamExe;
using quellink::platform::startSteamProcess;
using quellink::platform::SteamRoot;

namespace {

const char machineLine[] =
    "Failed to fetch steam exe path from : HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve\\Steam\n";
const char userLine[] =
    "Failed to fetch steam exe path from : HKEY_CURRENT_USER\\SOFTWARE\\Valve\\Steam\n";

class SteamClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quellink-steam.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        save("HOME", savedHome_);
        save("PATH", savedPath_);
        fs::create_directories(root_ / "home");
        fs::create_directories(root_ / "bin");
        setenv("HOME", (root_ / "home").c_str(), 1);
        setenv("PATH", (root_ / "bin").c_str(), 1);
    }

    void TearDown() override {
        restore("HOME", savedHome_);
        restore("PATH", savedPath_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A shell script that writes its argument count and arguments, one a line, to
    // the record file named after it, and then whatever extra shell lines say.
    fs::path writeRecorder(const fs::path& at, const std::string& extra = "") {
        fs::create_directories(at.parent_path());
        std::ofstream script(at);
        // The test points PATH at its own directory; the script needs the system tools.
        script << "#!/bin/sh\nPATH=/usr/bin:/bin\n"
               << "printf '%s\\n' \"$#\" \"$@\" > '" << recordOf(at).string() << ".part'\n"
               << extra << "mv '" << recordOf(at).string() << ".part' '" << recordOf(at).string()
               << "'\n";
        script.close();
        fs::permissions(at, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        return at;
    }

    static fs::path recordOf(const fs::path& script) { return script.string() + ".record"; }

    // The lines the script recorded, once it has run; nothing after five seconds.
    static std::optional<std::vector<std::string>> waitForRecord(const fs::path& script) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!fs::exists(recordOf(script))) {
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::ifstream in(recordOf(script));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    fs::path userSteam() const { return root_ / "home/.steam/root/steam.sh"; }
    fs::path machineSteam() const { return root_ / "bin/steam"; }

    fs::path root_;

private:
    static void save(const char* name, std::optional<std::string>& into) {
        if (const char* value = std::getenv(name)) {
            into = value;
        }
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

    std::optional<std::string> savedHome_;
    std::optional<std::string> savedPath_;
};

using Lines = std::vector<std::string>;

TEST_F(SteamClientTest, MachineSteamFirstWithoutAWord) {
    writeRecorder(machineSteam());
    writeRecorder(userSteam());
    std::ostringstream out;
    EXPECT_TRUE(startDedicatedServer(480, out));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(waitForRecord(machineSteam()), (Lines{"1", "steam://rungameid/480"}));
    EXPECT_FALSE(fs::exists(recordOf(userSteam())));
}

TEST_F(SteamClientTest, UserSteamAfterOneLineForTheMachine) {
    writeRecorder(userSteam());
    std::ostringstream out;
    EXPECT_TRUE(startDedicatedServer(4294967295u, out));
    EXPECT_EQ(out.str(), machineLine);
    EXPECT_EQ(waitForRecord(userSteam()), (Lines{"1", "steam://rungameid/4294967295"}));
}

TEST_F(SteamClientTest, NeitherGivesTwoLinesAndFalse) {
    std::ostringstream out;
    EXPECT_FALSE(startDedicatedServer(480, out));
    EXPECT_EQ(out.str(), std::string(machineLine) + userLine);
}

TEST_F(SteamClientTest, FailedReadLeavesThePathAsItWas) {
    std::string path = "unchanged";
    std::ostringstream out;
    EXPECT_FALSE(ReadSteamExePath(SteamRoot::currentUser, path, out));
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(out.str(), userLine);

    writeRecorder(userSteam());
    EXPECT_TRUE(ReadSteamExePath(SteamRoot::currentUser, path, out));
    EXPECT_EQ(path, userSteam().string());
}

TEST_F(SteamClientTest, MachineSteamIsTheFirstExecutableFileOnPath) {
    // Skipped: an empty entry, a directory named steam, a steam that is not
    // executable. Found: the next one.
    fs::create_directories(root_ / "a/steam");
    fs::create_directories(root_ / "b");
    std::ofstream(root_ / "b/steam") << "#!/bin/sh\n";
    fs::permissions(root_ / "b/steam", fs::perms::owner_read | fs::perms::owner_write);
    writeRecorder(root_ / "c/steam");
    writeRecorder(root_ / "d/steam");
    const std::string path = ":" + (root_ / "a").string() + "::" + (root_ / "b").string() + ":" +
                             (root_ / "c").string() + "/:" + (root_ / "d").string();
    setenv("PATH", path.c_str(), 1);

    std::string found;
    ASSERT_TRUE(lookUpSteamExe(SteamRoot::localMachine, found));
    EXPECT_EQ(found, (root_ / "c/steam").string());
}

TEST_F(SteamClientTest, NoPathOrHomeMeansNoSteam) {
    writeRecorder(machineSteam());
    writeRecorder(userSteam());
    unsetenv("PATH");
    unsetenv("HOME");
    std::string found;
    EXPECT_FALSE(lookUpSteamExe(SteamRoot::localMachine, found));
    EXPECT_FALSE(lookUpSteamExe(SteamRoot::currentUser, found));
    setenv("HOME", "", 1);
    EXPECT_FALSE(lookUpSteamExe(SteamRoot::currentUser, found));
}

TEST_F(SteamClientTest, UserSteamMustBeExecutable) {
    writeRecorder(userSteam());
    fs::permissions(userSteam(), fs::perms::owner_read | fs::perms::owner_write);
    std::string found;
    EXPECT_FALSE(lookUpSteamExe(SteamRoot::currentUser, found));
    EXPECT_EQ(found, "");
}

// Set while a test forbids fork(): a fork handler then ends the child at once, as one
// that waits for a lock held by another thread would leave it hanging.
bool forkForbidden = false;

TEST_F(SteamClientTest, StartedProcessIsDetachedAndNotWaitedFor) {
    static std::once_flag handlerInstalled;
    std::call_once(handlerInstalled, [] {
        pthread_atfork(nullptr, nullptr, [] {
            if (forkForbidden) _exit(97);
        });
    });
    // A descriptor the caller leaves open without close-on-exec must not reach Steam.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    const fs::path script = writeRecorder(
        root_ / "detached",
        std::string("echo \"session $(cut -d' ' -f6 /proc/$$/stat) pid $$\" >> '") +
            recordOf(root_ / "detached").string() + ".part'\n" +
            "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n" +
            "echo \"$streams\" >> '" + recordOf(root_ / "detached").string() + ".part'\n" +
            "[ -e /proc/$$/fd/" + std::to_string(leaked) + " ] && echo leaked >> '" +
            recordOf(root_ / "detached").string() + ".part'\n" + "sleep 2\n");

    const auto before = std::chrono::steady_clock::now();
    forkForbidden = true;  // the JVM's process never forks: no fork handler runs
    EXPECT_TRUE(startSteamProcess(script.string(), "steam://rungameid/7"));
    forkForbidden = false;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    close(leaked);

    const auto record = waitForRecord(script);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->size(), 6u) << ::testing::PrintToString(*record);
    EXPECT_EQ((*record)[0], "1");
    EXPECT_EQ((*record)[1], "steam://rungameid/7");
    std::istringstream ids((*record)[2]);
    std::string word, session, pid;
    ids >> word >> session >> word >> pid;
    EXPECT_EQ(session, pid) << "a session of its own";
    EXPECT_EQ((*record)[3], "/dev/null");
    EXPECT_EQ((*record)[4], "/dev/null");
    EXPECT_EQ((*record)[5], "/dev/null");

    // Once the program has ended, the bridge has reaped it: no zombie stays behind,
    // and nothing of ours is left to reap.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (fs::exists("/proc/" + pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(fs::exists("/proc/" + pid)) << "the ended program is left as a zombie";
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(SteamClientTest, ProgramThatCannotRunIsNotStarted) {
    EXPECT_FALSE(startSteamProcess("", "steam://rungameid/1"));
    EXPECT_FALSE(startSteamProcess((root_ / "missing").string(), "steam://rungameid/1"));
    const fs::path broken = root_ / "bin/broken";
    std::ofstream(broken) << "#!/nonexistent/interpreter\n";
    fs::permissions(broken, fs::perms::owner_all);
    EXPECT_FALSE(startSteamProcess(broken.string(), "steam://rungameid/1"));
}

}  // namespace
