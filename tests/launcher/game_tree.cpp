#include "game_tree.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace launcher_test {
namespace {

// Options the VM would pick up from the environment on its own; and the
// user's state directory, without which the launcher adds no crash report
// options and makes no folder in the real user's home.
const char* const droppedVariables[] = {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "JDK_JAVA_OPTIONS",
                                        "XDG_STATE_HOME", "HOME"};

std::vector<std::string> childEnvironment(const ChildEnvironment& environment) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const auto& unset = environment.unset;
        const bool drop = environment.set.count(name) > 0 ||
                          std::find(unset.begin(), unset.end(), name) != unset.end() ||
                          std::find(std::begin(droppedVariables), std::end(droppedVariables),
                                    name) != std::end(droppedVariables);
        if (!drop) result.push_back(text);
    }
    for (const auto& [name, value] : environment.set) result.push_back(name + "=" + value);
    return result;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command under script(1), whose own output is the terminal's.
std::vector<std::string> inTerminal(const std::vector<std::string>& argv) {
    std::string command;
    for (const std::string& arg : argv) command += shellQuote(arg) + " ";
    return {"script", "-qefc", command, "/dev/null"};
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// A file that receives one of the child's streams.
using Capture = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::string contentOf(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    return text;
}

// In the child: standard streams, user, directory, then the program.
[[noreturn]] void becomeProgram(const RunOptions& options, int out, int err, char** argv,
                                char** envp) {
    setpgid(0, 0);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    if (options.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        _exit(125);
    }
    if (options.directory >= 0 && fchdir(options.directory) != 0) _exit(124);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
        _exit(124);
    }
    if (options.closedStreams) {
        for (int stream = 0; stream <= 2; ++stream) close(stream);
    }
    execvpe(argv[0], argv, envp);
    _exit(126);
}

}  // namespace

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    std::vector<std::string> argvText = options.inTerminal ? inTerminal(argv) : argv;
    std::vector<std::string> envText = childEnvironment(options.environment);
    std::vector<char*> args = pointers(argvText);
    std::vector<char*> envp = pointers(envText);
    const Capture out(std::tmpfile(), std::fclose);
    const Capture err(std::tmpfile(), std::fclose);
    if (!out || !err) throw std::runtime_error("cannot make the files for the output");
    int closed[2] = {-1, -1};
    if (options.closedOutput && pipe(closed) != 0) throw std::runtime_error("cannot make a pipe");
    const int outFd = options.closedOutput ? closed[1] : fileno(out.get());
    const int errFd = options.mergeStreams || options.closedOutput ? outFd : fileno(err.get());

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot start " + argv.at(0));
    if (child == 0) becomeProgram(options, outFd, errFd, args.data(), envp.data());
    for (const int end : closed) {
        if (end >= 0) close(end);
    }
    RunResult result;
    int status = 0;
    const auto limit = start + std::chrono::seconds(options.limitSeconds);
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() > limit) {
            result.timedOut = true;
            kill(-child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exited = WIFEXITED(status);
    if (result.exited) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = contentOf(out.get());
    result.err = contentOf(err.get());
    return result;
}

GameTree::GameTree(const std::string& launcherExecutable, const std::string& rootPrefix)
    : TempTree(rootPrefix), game_(dir("game")) {
    chmod(root().c_str(), 0755);  // readable by an unprivileged user too
    if (::link(launcherExecutable.c_str(), launcher().c_str()) != 0) {
        fs::copy_file(launcherExecutable, launcher());
    }
}

void GameTree::linkJdkRuntime(const std::string& jvmLibrary) const {
    link("runtime/bin/server/libjvm.so", jvmLibrary);
    // The JDK's home is three levels above lib/server/libjvm.so.
    const fs::path jdk = fs::canonical(jvmLibrary).parent_path().parent_path().parent_path();
    link("runtime/release", (jdk / "release").string());
}

namespace {

// Lets every user read and enter what the tree's owner may, as an installed
// game is laid out, whatever umask the tree was made under; an entry a test
// made unreadable (no owner permissions) stays so.
void openToOtherUsers(const std::string& root) {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_symlink(ignored)) continue;
        const fs::perms owner = it->status(ignored).permissions();
        fs::perms added = fs::perms::none;
        if ((owner & fs::perms::owner_read) != fs::perms::none)
            added |= fs::perms::group_read | fs::perms::others_read;
        if ((owner & fs::perms::owner_exec) != fs::perms::none)
            added |= fs::perms::group_exec | fs::perms::others_exec;
        fs::permissions(it->path(), added, fs::perm_options::add, ignored);
    }
}

}  // namespace

RunResult GameTree::launch(const std::vector<std::string>& args, RunOptions options) const {
    if (options.unprivileged) openToOtherUsers(root());
    std::vector<std::string> argv{launcher()};
    argv.insert(argv.end(), args.begin(), args.end());
    if (options.workingDirectory.empty() && options.directory < 0) {
        options.workingDirectory = root();
    }
    return runProgram(argv, options);
}

}  // namespace launcher_test
