// The dedicated-server launch on POSIX, with HOME and PATH pointing into a
// temporary directory and small scripts standing in for Steam.
#include "dedicated_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using quellink::ReadSteamExePath;
using quellink::StartDedicatedServer;
using quellink::platform::LookUpSteamExe;
using quellink::platform::StartSteamProcess;
using quellink::platform::SteamRoot;

namespace {

const char kMachineLine[] =
    "Failed to fetch steam exe path from : HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve\\Steam\n";
const char kUserLine[] =
    "Failed to fetch steam exe path from : HKEY_CURRENT_USER\\SOFTWARE\\Valve\\Steam\n";

class SteamClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quellink-steam.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        Save("HOME", savedHome_);
        Save("PATH", savedPath_);
        fs::create_directories(root_ / "home");
        fs::create_directories(root_ / "bin");
        setenv("HOME", (root_ / "home").c_str(), 1);
        setenv("PATH", (root_ / "bin").c_str(), 1);
    }

    void TearDown() override {
        Restore("HOME", savedHome_);
        Restore("PATH", savedPath_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A shell script that writes its argument count and arguments, one a line, to
    // the record file named after it, and then whatever extra shell lines say.
    fs::path WriteRecorder(const fs::path& at, const std::string& extra = "") {
        fs::create_directories(at.parent_path());
        std::ofstream script(at);
        // The test points PATH at its own directory; the script needs the system tools.
        script << "#!/bin/sh\nPATH=/usr/bin:/bin\n"
               << "printf '%s\\n' \"$#\" \"$@\" > '" << RecordOf(at).string() << ".part'\n"
               << extra
               << "mv '" << RecordOf(at).string() << ".part' '" << RecordOf(at).string() << "'\n";
        script.close();
        fs::permissions(at, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        return at;
    }

    static fs::path RecordOf(const fs::path& script) { return script.string() + ".record"; }

    // The lines the script recorded, once it has run; nothing after five seconds.
    static std::optional<std::vector<std::string>> WaitForRecord(const fs::path& script) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!fs::exists(RecordOf(script))) {
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::ifstream in(RecordOf(script));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    fs::path UserSteam() const { return root_ / "home/.steam/root/steam.sh"; }
    fs::path MachineSteam() const { return root_ / "bin/steam"; }

    fs::path root_;

private:
    static void Save(const char* name, std::optional<std::string>& into) {
        if (const char* value = std::getenv(name)) {
            into = value;
        }
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
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
    WriteRecorder(MachineSteam());
    WriteRecorder(UserSteam());
    std::ostringstream out;
    EXPECT_TRUE(StartDedicatedServer(480, out));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(WaitForRecord(MachineSteam()), (Lines{"1", "steam://rungameid/480"}));
    EXPECT_FALSE(fs::exists(RecordOf(UserSteam())));
}

TEST_F(SteamClientTest, UserSteamAfterOneLineForTheMachine) {
    WriteRecorder(UserSteam());
    std::ostringstream out;
    EXPECT_TRUE(StartDedicatedServer(4294967295u, out));
    EXPECT_EQ(out.str(), kMachineLine);
    EXPECT_EQ(WaitForRecord(UserSteam()), (Lines{"1", "steam://rungameid/4294967295"}));
}

TEST_F(SteamClientTest, NeitherGivesTwoLinesAndFalse) {
    std::ostringstream out;
    EXPECT_FALSE(StartDedicatedServer(480, out));
    EXPECT_EQ(out.str(), std::string(kMachineLine) + kUserLine);
}

TEST_F(SteamClientTest, FailedReadLeavesThePathAsItWas) {
    std::string path = "unchanged";
    std::ostringstream out;
    EXPECT_FALSE(ReadSteamExePath(SteamRoot::CurrentUser, path, out));
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(out.str(), kUserLine);

    WriteRecorder(UserSteam());
    EXPECT_TRUE(ReadSteamExePath(SteamRoot::CurrentUser, path, out));
    EXPECT_EQ(path, UserSteam().string());
}

TEST_F(SteamClientTest, MachineSteamIsTheFirstExecutableFileOnPath) {
    // Skipped: an empty entry, a directory named steam, a steam that is not
    // executable. Found: the next one.
    fs::create_directories(root_ / "a/steam");
    fs::create_directories(root_ / "b");
    std::ofstream(root_ / "b/steam") << "#!/bin/sh\n";
    fs::permissions(root_ / "b/steam", fs::perms::owner_read | fs::perms::owner_write);
    WriteRecorder(root_ / "c/steam");
    WriteRecorder(root_ / "d/steam");
    const std::string path = ":" + (root_ / "a").string() + "::" + (root_ / "b").string() + ":" +
                             (root_ / "c").string() + "/:" + (root_ / "d").string();
    setenv("PATH", path.c_str(), 1);

    std::string found;
    ASSERT_TRUE(LookUpSteamExe(SteamRoot::LocalMachine, found));
    EXPECT_EQ(found, (root_ / "c/steam").string());
}

TEST_F(SteamClientTest, NoPathOrHomeMeansNoSteam) {
    WriteRecorder(MachineSteam());
    WriteRecorder(UserSteam());
    unsetenv("PATH");
    unsetenv("HOME");
    std::string found;
    EXPECT_FALSE(LookUpSteamExe(SteamRoot::LocalMachine, found));
    EXPECT_FALSE(LookUpSteamExe(SteamRoot::CurrentUser, found));
    setenv("HOME", "", 1);
    EXPECT_FALSE(LookUpSteamExe(SteamRoot::CurrentUser, found));
}

TEST_F(SteamClientTest, UserSteamMustBeExecutable) {
    WriteRecorder(UserSteam());
    fs::permissions(UserSteam(), fs::perms::owner_read | fs::perms::owner_write);
    std::string found;
    EXPECT_FALSE(LookUpSteamExe(SteamRoot::CurrentUser, found));
    EXPECT_EQ(found, "");
}

TEST_F(SteamClientTest, StartedProcessIsDetachedAndNotWaitedFor) {
    // A descriptor the caller leaves open without close-on-exec must not reach Steam.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    const fs::path script = WriteRecorder(
        root_ / "detached", std::string("echo \"session $(cut -d' ' -f6 /proc/$$/stat) pid $$\" >> '") +
                                RecordOf(root_ / "detached").string() + ".part'\n" +
                                "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n" +
                                "echo \"$streams\" >> '" +
                                RecordOf(root_ / "detached").string() + ".part'\n" +
                                "[ -e /proc/$$/fd/" + std::to_string(leaked) +
                                " ] && echo leaked >> '" + RecordOf(root_ / "detached").string() +
                                ".part'\n" + "sleep 2\n");

    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(StartSteamProcess(script.string(), "steam://rungameid/7"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    close(leaked);
    // Nothing of ours is left to reap: the started process was handed to the system.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);

    const auto record = WaitForRecord(script);
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
}

TEST_F(SteamClientTest, ProgramThatCannotRunIsNotStarted) {
    EXPECT_FALSE(StartSteamProcess("", "steam://rungameid/1"));
    EXPECT_FALSE(StartSteamProcess((root_ / "missing").string(), "steam://rungameid/1"));
    const fs::path broken = root_ / "bin/broken";
    std::ofstream(broken) << "#!/nonexistent/interpreter\n";
    fs::permissions(broken, fs::perms::owner_all);
    EXPECT_FALSE(StartSteamProcess(broken.string(), "steam://rungameid/1"));
}

}  // namespace
