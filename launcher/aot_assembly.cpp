#include "aot_assembly.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <jni.h>

#include "cache_file_guard.h"
#include "java_launcher.h"
#include "platform/platform.h"
#include "vm_start_output.h"

namespace {

constexpr const char* requestVariable = "TESSVIK_AOT_REQUEST";
constexpr const char* tokenVariable = "TESSVIK_AOT_TOKEN";
// Set for a child that runs one of the assembly's VMs itself.
constexpr const char* stepVariable = "TESSVIK_AOT_STEP";
// The java program's own variable of extra options: the assembling VM must
// get exactly the recording VM's options.
constexpr const char* javaProgramOptionsVariable = "JDK_JAVA_OPTIONS";
// A request holds the class path option, which may be long, and little else.
constexpr std::uint64_t longestRequest = 16 << 20;

// 128 random bits as hex digits.
std::string newToken() {
    std::random_device random;
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token += digits[random() & 15];
    return token;
}

// The request file: the token, then one item a line; the options last.
std::string requestText(const std::string& token, const AssemblyRequest& request) {
    std::string text = token + '\n' + request.runtimeLibrary + '\n' + request.javaProgram + '\n' +
                       request.files.cache + '\n' + request.files.partial + '\n' +
                       request.files.configuration + '\n' + request.files.lock + '\n' +
                       request.files.request + '\n';
    for (const std::string& option : request.vmOptions) text += option + '\n';
    return text;
}

// The request in the file at path, when its first line is token.
std::optional<AssemblyRequest> readRequest(const std::string& path, const std::string& token) {
    const platform::FileContent content = platform::readFile(path, longestRequest);
    if (content.outcome != platform::FileReadOutcome::read) return std::nullopt;
    std::istringstream lines(content.bytes);
    std::string first;
    if (!std::getline(lines, first) || token.empty() || first != token) return std::nullopt;
    AssemblyRequest request;
    for (std::string* item : {&request.runtimeLibrary, &request.javaProgram, &request.files.cache,
                              &request.files.partial, &request.files.configuration,
                              &request.files.lock, &request.files.request}) {
        if (!std::getline(lines, *item)) return std::nullopt;
    }
    // The request names itself: a file moved elsewhere is not one.
    if (request.files.request != path) return std::nullopt;
    for (std::string option; std::getline(lines, option);) request.vmOptions.push_back(option);
    return request;
}

// The two VMs an assembly runs: the one that writes the cache, and a trial
// start with it, made before the cache gets its name. A cache that HotSpot
// writes is not always one it can start with: with some collectors and heap
// sizes it ends the process at VM creation ("archived heap objects cannot be
// loaded"), in auto mode too, and no launch may meet that.
enum class Step { create, trial };

const char* stepName(Step step) { return step == Step::create ? "create" : "trial"; }

std::optional<Step> stepNamed(const std::string& name) {
    if (name == stepName(Step::create)) return Step::create;
    if (name == stepName(Step::trial)) return Step::trial;
    return std::nullopt;
}

// True for an option that only makes the VM write what it does: the
// assembly's VMs leave these out, so that they never write over the logs of
// the game that has just ended. The cache does not depend on them.
bool onlyLogs(const std::string& option) {
    for (const char* prefix : {"-Xlog", "-Xloggc", "-verbose"}) {
        if (option.compare(0, std::strlen(prefix), prefix) == 0) return true;
    }
    return false;
}

std::vector<std::string> stepOptions(const AssemblyRequest& request, Step step) {
    std::vector<std::string> options;
    for (const std::string& option : request.vmOptions) {
        if (!onlyLogs(option)) options.push_back(option);
    }
    if (step == Step::create) {
        options.push_back("-XX:AOTMode=create");
        options.push_back("-XX:AOTConfiguration=" + request.files.configuration);
    } else {
        // A cache the VM cannot use fails the trial instead of being ignored.
        options.push_back("-XX:AOTMode=on");
    }
    options.push_back("-XX:AOTCache=" + request.files.partial);
    return options;
}

// A step's VM in this process. Creating the cache ends the process inside
// the VM's creation (status 0 once it is written, 1 when it could not be);
// the trial ends with 0 when the VM started with the cache.
int runStepHere(const AssemblyRequest& request, Step step) {
    platform::setLibraryDirectory(runtimeLibraryDirectory(request.runtimeLibrary));
    const platform::ResidentLibrary library =
        platform::ResidentLibrary::load(request.runtimeLibrary);
    auto create = reinterpret_cast<CreateJavaVMFunction>(library.symbol("JNI_CreateJavaVM"));
    if (create == nullptr) return 1;
    const std::vector<std::string> texts = stepOptions(request, step);
    std::vector<JavaVMOption> options(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        options[i].optionString = const_cast<char*>(texts[i].c_str());
        options[i].extraInfo = nullptr;
    }
    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_8;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (create(&vm, &env, &initArgs) != JNI_OK) return 1;
    vm->DestroyJavaVM();
    return step == Step::trial ? 0 : 1;
}

// Runs a step's VM as a child: the runtime's java program, else this program.
// True when it ended with status 0.
bool runStep(const AssemblyRequest& request, const std::string& token, Step step) {
    std::vector<std::string> arguments;
    platform::EnvironmentAdditions environment;
    if (!request.javaProgram.empty()) {
        arguments.push_back(request.javaProgram);
        for (const std::string& option : stepOptions(request, step)) arguments.push_back(option);
        // java wants something to run; the trial's VM starts and ends.
        if (step == Step::trial) arguments.push_back("-version");
        environment = {{javaProgramOptionsVariable, ""}};
    } else {
        arguments.push_back(platform::executablePath());
        environment = {{requestVariable, request.files.request},
                       {tokenVariable, token},
                       {stepVariable, stepName(step)}};
    }
    return platform::runToEnd(arguments, environment) == 0;
}

// A configuration that fails to assemble is recorded once more; when that
// fails too, these inputs get no further attempt.
std::string unassembledNote(const std::string& cache) { return cache + ".unassembled"; }

void noteFailedAssembly(const std::string& cache) {
    const std::string once = unassembledNote(cache);
    if (platform::fileStatus(once).exists) {
        recordFailure(cache, "its configuration did not assemble, twice");
        return;
    }
    std::ofstream(once, std::ios::binary) << "did not assemble\n";
}

// The assembly proper: the VMs as children, and the cache named when it is
// whole and the VM starts with it.
int assemble(const AssemblyRequest& request, const std::string& token) {
    platform::lowerOwnPriority();
    const AotCacheFiles& files = request.files;
    platform::FileLock lock = platform::FileLock::tryAcquire(files.lock);
    // Another launch records anew, or assembles already.
    if (!lock.held() || platform::isRegularFile(files.cache)) {
        platform::removeFile(files.request);
        return 0;
    }
    platform::removeFile(files.partial);
    const bool created =
        runStep(request, token, Step::create) && platform::fileStatus(files.partial).size > 0;
    const bool started = created && runStep(request, token, Step::trial);
    const bool assembled = started && platform::renameFile(files.partial, files.cache);
    if (assembled) {
        // Whole now: what later launches check it against.
        recordIntegrity(files.cache);
        platform::removeFile(unassembledNote(files.cache));
    } else {
        platform::removeFile(files.partial);
        // The same inputs would give the same cache again.
        if (created && !started) recordFailure(files.cache, "the VM cannot start with it");
        if (!created) noteFailedAssembly(files.cache);
    }
    // Assembled or not, the configuration has served: one that did not
    // assemble is recorded again by the next launch.
    platform::removeFile(files.configuration);
    platform::removeFile(files.request);
    return assembled ? 0 : 1;
}

}  // namespace

bool startAssembly(const AssemblyRequest& request) {
    const std::string token = newToken();
    bool written;
    {
        std::ofstream out(request.files.request, std::ios::binary | std::ios::trunc);
        out << requestText(token, request);
        written = static_cast<bool>(out.flush());
    }
    if (written && platform::startDetached(
                       {platform::executablePath()},
                       {{requestVariable, request.files.request}, {tokenVariable, token}})) {
        return true;
    }
    platform::removeFile(request.files.request);
    platform::removeFile(request.files.configuration);
    return false;
}

std::optional<int> runRequestedAssembly() {
    const char* path = std::getenv(requestVariable);
    const char* token = std::getenv(tokenVariable);
    if (path == nullptr || token == nullptr) return std::nullopt;
    const std::optional<AssemblyRequest> request = readRequest(path, token);
    if (!request) return std::nullopt;
    const char* step = std::getenv(stepVariable);
    if (step == nullptr) return assemble(*request, token);
    const std::optional<Step> named = stepNamed(step);
    return named ? runStepHere(*request, *named) : 1;
}
