// A program the launcher runs to its end (the start-up cache's assembly steps)
// ends with the launcher, however soon after its start a termination arrives.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/processes.h"

using namespace tessvik;

namespace {

// A process's state letter and parent from /proc/<pid>/stat; state 0 when it
// is gone.
struct ProcessStat {
    char state = 0;
    pid_t parent = 0;
};

ProcessStat statOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    ProcessStat stat;
    const std::size_t close = std::getline(file, line) ? line.rfind(')') : std::string::npos;
    if (close != std::string::npos)
        std::istringstream(line.substr(close + 1)) >> stat.state >> stat.parent;
    return stat;
}

bool running(pid_t pid) {
    const char state = statOf(pid).state;
    return state != 0 && state != 'Z';
}

// The waiter's program, looked for among the next few process ids (the id
// the system most likely gives it) so that it is found the moment it appears.
pid_t programOf(pid_t waiter) {
    for (pid_t pid = waiter + 1; pid <= waiter + 16; ++pid) {
        if (statOf(pid).parent == waiter) return pid;
    }
    return 0;
}

}  // namespace

// The termination is sent the moment the program appears, while the C
// library's start still holds the waiter's signals and the waiter does not yet
// know the program's id.
TEST(WaitedProgram, EndsWithItsWaiterTerminatedAsItStarts) {
    int outlived = 0;
    for (int attempt = 0; attempt < 40 && outlived == 0; ++attempt) {
        const pid_t waiter = fork();
        ASSERT_GE(waiter, 0);
        if (waiter == 0) _exit(platform::runToEnd({"/bin/sleep", "30"}, {}) == 0 ? 0 : 1);
        pid_t program = 0;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (program == 0 && std::chrono::steady_clock::now() < giveUp) {
            program = programOf(waiter);
        }
        ASSERT_NE(program, 0) << "the waiter started nothing";
        kill(waiter, SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(waiter, &status, 0), waiter);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
        for (int i = 0; i < 200 && running(program); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (running(program)) {
            ++outlived;
            kill(program, SIGKILL);
        }
    }
    EXPECT_EQ(outlived, 0) << "a program outlived its waiter";
}
