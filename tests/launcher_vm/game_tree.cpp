#include "game_tree.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string makeTemporaryDirectory() {
    std::string pattern = fs::temp_directory_path().string() + "/launcher-vm-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    // The launcher sees its own directory with every link resolved.
    return fs::canonical(buffer.data()).string();
}

std::vector<std::string> buildEnvironment(const ChildEnvironment& environment) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool drop = environment.set.count(name) > 0;
        for (const std::string& unset : environment.unset) drop = drop || unset == name;
        // Options the VM would pick up from the environment on its own.
        for (const char* vmVariable : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "JDK_JAVA_OPTIONS"}) {
            drop = drop || name == vmVariable;
        }
        if (!drop) result.push_back(text);
    }
    for (const auto& [name, value] : environment.set) result.push_back(name + "=" + value);
    return result;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

}  // namespace

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string codePointsOf(const std::string& utf8) {
    std::string result;
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        unsigned long cp = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        for (int k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        std::ostringstream hex;
        hex << std::hex << cp;
        result += (result.empty() ? "" : " ") + hex.str();
        i += length;
    }
    return result;
}

RunResult runProgram(const std::vector<std::string>& argvIn, const ChildEnvironment& environment,
                     const std::string& workingDirectory, bool wrapInTerminal) {
    std::vector<std::string> argvText = argvIn;
    std::string program = argvIn.at(0);
    if (wrapInTerminal) {
        std::string command;
        for (const std::string& arg : argvIn) command += shellQuote(arg) + " ";
        argvText = {"script", "-qefc", command, "/dev/null"};
        program = "script";
    }
    const std::string outFile = workingDirectory + "/.stdout";
    const std::string errFile = workingDirectory + "/.stderr";

    std::vector<char*> argv;
    for (std::string& arg : argvText) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = buildEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string previous = fs::current_path().string();
    fs::current_path(workingDirectory);
    pid_t child = -1;
    int error = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + program);

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RunResult result;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

GameTree::GameTree(const std::string& jvmLibrary)
    : root_(makeTemporaryDirectory()), game_(root_ + "/game") {
    fs::create_directories(game_);
    fs::copy_file(TESSVIK_EXECUTABLE, launcher());
    fs::copy_file(TEST_CLIENT_JAR, game_ + "/client.jar");
    fs::create_directories(root_ + "/runtime/bin/server");
    fs::create_symlink(jvmLibrary, root_ + "/runtime/bin/server/libjvm.so");
    // The JDK's home is three levels above lib/server/libjvm.so.
    const fs::path jdk = fs::canonical(jvmLibrary).parent_path().parent_path().parent_path();
    fs::create_symlink(jdk / "release", root_ + "/runtime/release");
    writeSettings("512m", "1g", {});
}

GameTree::~GameTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void GameTree::writeSettings(const std::string& body) const {
    addFile("LaunchConfig.ini", body);
}

void GameTree::writeSettings(const std::string& initialHeap, const std::string& maxHeap,
                             const std::vector<std::string>& vmParams, bool verboseJni,
                             bool verboseGC, bool verboseClass, bool debugMode) const {
    std::string body = "[Runtime]\nOverrideDefaultJavaPath=false\nJavaPath=\n[Memory]\nInitialHeap=" +
                       initialHeap + "\nMaxHeapSize=" + maxHeap + "\n[VMParams]\n";
    for (std::size_t i = 0; i < vmParams.size(); ++i) {
        body += "JvmParam" + std::to_string(i) + "=" + vmParams[i] + "\n";
    }
    body += "[Debug]\nDebugMode=" + std::to_string(debugMode) +
            "\nVerboseJni=" + std::to_string(verboseJni) +
            "\nVerboseGC=" + std::to_string(verboseGC) +
            "\nVerboseClass=" + std::to_string(verboseClass) + "\n";
    writeSettings(body);
}

void GameTree::addFile(const std::string& relativePath, const std::string& content) const {
    fs::path path = fs::path(game_) / relativePath;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void GameTree::removeClientJar() const {
    fs::remove(game_ + "/client.jar");
}

RunResult GameTree::launch(const std::vector<std::string>& args, const std::string& mode,
                           ChildEnvironment environment, bool wrapInTerminal) const {
    std::vector<std::string> argv{launcher()};
    argv.insert(argv.end(), args.begin(), args.end());
    environment.set["TESSVIK_TEST_MODE"] = mode;
    environment.set["TESSVIK_TEST_REPORT"] = reportFile();
    environment.set.emplace("XDG_CACHE_HOME", cache());
    return runProgram(argv, environment, root_, wrapInTerminal);
}

std::vector<std::string> GameTree::report() const {
    std::vector<std::string> lines;
    std::ifstream in(reportFile());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
