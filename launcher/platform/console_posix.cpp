// The console on POSIX systems. The pause waits for one key, where standard
// input is a terminal. The debug console shows the launcher's messages as
// they are written:
//  - standard output already a terminal: keep it, and make standard output
//    and standard error unbuffered;
//  - otherwise, with a display: open a terminal window (x-terminal-emulator,
//    else xterm with 500 lines of scroll-back) and point standard input,
//    output and error at its terminal, unbuffered; standard input too, so
//    that the pause after a failed launch waits for a key in that window;
//  - with no display (or when no window opens): leave the streams where they
//    are, unbuffered.
// The window closes once the launcher's process has ended. A terminal program
// that does not report its window in time is ended, and no other is tried.
#include <fcntl.h>
#include <termios.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "files.h"
#include "paths.h"
#include "program_start.h"

namespace tessvik::platform {
namespace {

constexpr const char* windowTitle = "Tessvik debug console";
// How long a terminal window may take to report its terminal device.
constexpr auto windowStartTimeout = std::chrono::seconds(10);
// How long a terminal program that is ended may take before it is killed.
constexpr auto terminalEndTimeout = std::chrono::seconds(1);

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

void makeStreamsUnbuffered() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    // std::cout and std::cerr write through stdout and stderr; unitbuf also
    // flushes them after every output operation should that ever change.
    std::cout.setf(std::ios::unitbuf);
    std::cerr.setf(std::ios::unitbuf);
}

// A new folder of this user's below the temporary folder; "" when none
// could be made.
std::string makeTemporaryFolder() {
    std::string pattern = joinPath(temporaryDirectory(), "tessvik-console-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) return {};
    return buffer.data();
}

// Starts one terminal program whose window runs a shell that writes the name
// of its terminal device to reportFile and then stays until this process has
// ended. Returns the child's id, or -1 when the program could not be started.
pid_t startTerminal(const char* program, bool setScrollBack, const std::string& reportFile) {
    static const char script[] =
        "tty > \"$1.part\" && mv \"$1.part\" \"$1\"; "
        "while kill -0 \"$2\" 2>/dev/null; do sleep 1; done";
    const std::string launcherPid = std::to_string(getpid());

    std::vector<std::string> arguments{program};
    if (setScrollBack) {
        arguments.push_back("-sl");
        arguments.push_back("500");
    }
    for (const char* arg : {"-T", windowTitle, "-e", "sh", "-c", script, "sh"}) {
        arguments.push_back(arg);
    }
    arguments.push_back(reportFile);
    arguments.push_back(launcherPid);

    // Its standard streams on /dev/null: the terminal must not hold the
    // launcher's own output and error open, or whoever reads them would wait
    // for the window to close.
    return process::startChild(arguments, process::ProgramName::searchedName);
}

enum class WindowStart { reported, failed, timedOut };

// Waits for the window's shell to report its terminal device into name. Some
// terminal programs hand the window to a server and end at once with status
// 0, so only a failed terminal program, or the time running out, ends the
// wait.
WindowStart awaitTerminalName(pid_t terminal, const std::string& reportFile, std::string& name,
                              bool& running) {
    const auto deadline = std::chrono::steady_clock::now() + windowStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const FileContent report = readFile(reportFile, 4096);
        name = report.bytes.substr(0, report.bytes.find('\n'));
        if (!name.empty()) return WindowStart::reported;
        int status = 0;
        if (running && waitpid(terminal, &status, WNOHANG) == terminal) {
            running = false;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return WindowStart::failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WindowStart::timedOut;
}

// Ends a terminal program that did not report in time, and whatever it
// started in its session (its window and shell), so that no window opens
// late beside the launcher; reaps it when it is still this process's child.
void endTerminal(pid_t terminal, bool running) {
    kill(-terminal, SIGTERM);
    if (!running) return;
    const auto deadline = std::chrono::steady_clock::now() + terminalEndTimeout;
    while (waitpid(terminal, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-terminal, SIGKILL);
            while (waitpid(terminal, nullptr, 0) < 0 && errno == EINTR) {}
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Opens a terminal window and returns its terminal device, or "" when none
// could be opened. The next terminal program is tried only when one could
// not start at all: one that is late may still open its window, and a second
// window must not open beside it.
std::string openTerminalWindow() {
    const std::string directory = makeTemporaryFolder();
    if (directory.empty()) return {};
    const std::string reportFile = directory + "/tty";

    std::string name;
    struct Candidate {
        const char* program;
        bool setScrollBack;
    };
    for (const Candidate& candidate :
         {Candidate{"x-terminal-emulator", false}, Candidate{"xterm", true}}) {
        pid_t terminal = startTerminal(candidate.program, candidate.setScrollBack, reportFile);
        if (terminal < 0) continue;
        bool running = true;
        const WindowStart start = awaitTerminalName(terminal, reportFile, name, running);
        if (start == WindowStart::failed) continue;
        if (start == WindowStart::timedOut) endTerminal(terminal, running);
        break;
    }
    std::remove(reportFile.c_str());
    std::remove((reportFile + ".part").c_str());
    rmdir(directory.c_str());
    return name;
}

// Points standard input, output and error at the terminal device.
bool redirectTo(const std::string& terminalName) {
    int fd = open(terminalName.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int target = 0; target <= 2; ++target) {
        if (fd != target) dup2(fd, target);
    }
    if (fd > 2) close(fd);
    std::clearerr(stdin);
    std::clearerr(stdout);
    std::clearerr(stderr);
    std::cin.clear();
    std::cout.clear();
    std::cerr.clear();
    return true;
}

}  // namespace

void pause() {
    if (!isatty(STDIN_FILENO)) return;
    std::cout << "Press any key to continue . . . " << std::flush;

    // One key press, not a whole line: no line editing and no echo while
    // waiting.
    termios saved;
    const bool haveSettings = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveSettings) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {}
    if (haveSettings) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cout << '\n' << std::flush;
}

void openDebugConsole() {
    if (!isatty(STDOUT_FILENO) && hasDisplay()) {
        const std::string terminalName = openTerminalWindow();
        if (!terminalName.empty()) redirectTo(terminalName);
    }
    makeStreamsUnbuffered();
}

void freeConsole() {
    // The window, if one was opened, closes by itself once the process has
    // ended; until then it keeps what was written.
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace tessvik::platform
