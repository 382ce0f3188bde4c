#include "aot_assembly.h"

#include <cstdlib>
#include <sstream>

#include <jni.h>

#include "cache_decision.h"
#include "java_vm.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/libraries.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "runtime_location.h"
#include "starts_with.h"

namespace tessvik {

namespace {

constexpr const char* requestVariable = "TESSVIK_AOT_REQUEST";
constexpr const char* tokenVariable = "TESSVIK_AOT_TOKEN";
// Set for a child that runs one of the assembly's VMs.
constexpr const char* stepVariable = "TESSVIK_AOT_STEP";
// The variables a VM or a java program takes options from: the assembly's VMs
// get exactly the options of the request, whatever the game's environment
// held (the request carries what the cache needs of them).
constexpr const char* optionVariables[] = {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS",
                                           "JDK_JAVA_OPTIONS"};
// A request holds the class path option, which may be long, and little else.
constexpr std::uint64_t longestRequest = 16 << 20;
// The status of a start in assembly mode without a request of its own.
constexpr int notAnAssembly = 70;

std::string requestText(const std::string& token, const AssemblyRequest& request) {
    std::string text = token + '\n' + request.runtimeLibrary + '\n' + request.entry.cache + '\n';
    for (const std::string& option : request.vmOptions) text += option + '\n';
    return text;
}

// The request in the file at path, when its first line is token and it names
// itself.
std::optional<AssemblyRequest> readRequest(const std::string& path, const std::string& token) {
    const platform::FileContent content = platform::readFile(path, longestRequest);
    if (content.outcome != platform::FileReadOutcome::read || token.empty()) return std::nullopt;
    std::istringstream lines(content.bytes);
    std::string first;
    if (!std::getline(lines, first) || first != token) return std::nullopt;
    AssemblyRequest request;
    for (std::string* item : {&request.runtimeLibrary, &request.entry.cache}) {
        if (!std::getline(lines, *item)) return std::nullopt;
    }
    if (request.entry.request() != path) return std::nullopt;
    for (std::string option; std::getline(lines, option);) request.vmOptions.push_back(option);
    return request;
}

// The two VMs an assembly runs: the one that writes the cache, and a trial
// start with it, made before the cache gets its name. A cache that HotSpot
// writes is not always one it can start with (with some collectors and heap
// sizes it ends the process at VM creation), and no launch may meet that.
enum class Step { create, trial };

const char* stepName(Step step) { return step == Step::create ? "create" : "trial"; }

std::vector<std::string> stepOptions(const AssemblyRequest& request, const std::string& part,
                                     Step step) {
    std::vector<std::string> options = request.vmOptions;
    if (step == Step::create) {
        options.push_back("-XX:AOTMode=create");
        options.push_back("-XX:AOTConfiguration=" + request.entry.configuration());
    } else {
        // A cache the VM cannot use fails the trial instead of being ignored.
        options.push_back("-XX:AOTMode=on");
    }
    options.push_back("-XX:AOTCache=" + part);
    return options;
}

// A step's VM in this process. Creating the cache ends the process inside
// the VM's creation (status 0 once it is written, 1 when it could not be);
// the trial ends with 0 when the VM started with the cache.
int runStepHere(const AssemblyRequest& request, const std::string& part, Step step) {
    platform::setLibraryDirectory(runtimeLibraryDirectory(request.runtimeLibrary));
    const platform::ResidentLibrary library =
        platform::ResidentLibrary::load(request.runtimeLibrary);
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (createJavaVm(library, stepOptions(request, part, step), &vm, &env) != JNI_OK) return 1;
    vm->DestroyJavaVM();
    return step == Step::trial ? 0 : 1;
}

// Runs a step's VM as a child: this program in step mode, which ends when
// this process does. Its exit status; -1 when it did not end by exiting (it
// was killed) or could not start.
int runStep(const AssemblyRequest& request, const std::string& token, const std::string& part,
            Step step) {
    return platform::runToEnd({platform::executablePath()},
                              {{requestVariable, request.entry.request()},
                               {tokenVariable, token},
                               {stepVariable, std::string(stepName(step)) + ' ' + part}});
}

// The assembly proper, once the recording launch has ended.
int assemble(const AssemblyRequest& request, const std::string& token) {
    platform::lowerOwnPriority();
    const CacheEntry& entry = request.entry;
    // Held until this process ends: a launch meeting the request knows that
    // its assembly is alive.
    const platform::FileLock requestLock = platform::FileLock::tryAcquire(entry.request());
    const platform::FileLock lock = platform::FileLock::acquire(entry.lock());
    bool assembled = false;
    // A recording that did not end normally left no configuration.
    if (requestLock.held() && lock.held() && platform::fileStatus(entry.configuration()).size > 0 &&
        !platform::fileStatus(entry.cache).isRegularFile()) {
        const std::string part = entry.part(token);
        const bool created =
            runStep(request, token, part, Step::create) == 0 && platform::fileStatus(part).size > 0;
        const int trial = created ? runStep(request, token, part, Step::trial) : -1;
        // The cache's files are the user's alone, as every other of the cache.
        assembled =
            trial == 0 && platform::keepPrivate(part) && platform::renameFile(part, entry.cache);
        platform::removeFile(part);
        if (assembled) {
            writeRecord(entry);
            platform::removeFile(entry.memo());
        } else if (!created || trial < 0) {
            // A creation that failed (no room) and a step that was killed (by
            // the player, by the system short of memory) are tried again later.
            noteFailure(entry, created ? "its trial start was ended" : "it did not assemble",
                        Retry::later);
        } else {
            // The same inputs would give the same cache again.
            noteFailure(entry, "the VM cannot start with it", Retry::never);
        }
    }
    platform::removeFile(entry.configuration());
    platform::removeFile(entry.configurationPart());
    platform::removeFile(entry.request());
    return assembled ? 0 : 1;
}

// One line beside the request a start could not use, in a cache folder only.
void noteRefusedStart(const char* path) {
    const std::string folder = platform::directoryOf(path);
    if (!startsWith(platform::lastComponentOf(path), "classes-") ||
        !platform::fileStatus(folder).isDirectory()) {
        return;
    }
    platform::writeFileAtomically(platform::joinPath(folder, "assembly.log"),
                                  "An assembly was started without a request of its own\n");
}

}  // namespace

std::string writeAssemblyRequest(const AssemblyRequest& request) {
    const std::string token = newToken();
    return platform::writeFileAtomically(request.entry.request(), requestText(token, request))
               ? token
               : std::string();
}

bool startAssembly(const CacheEntry& entry, const std::string& token) {
    if (platform::startDetached({platform::executablePath()},
                                {{requestVariable, entry.request()}, {tokenVariable, token}})) {
        return true;
    }
    platform::removeFile(entry.request());
    return false;
}

std::optional<int> runRequestedAssembly() {
    const char* path = std::getenv(requestVariable);
    const char* token = std::getenv(tokenVariable);
    const char* step = std::getenv(stepVariable);
    if (path == nullptr && token == nullptr && step == nullptr) return std::nullopt;
    const std::string pathText = path ? path : "";
    const std::string tokenText = token ? token : "";
    const std::string stepText = step ? step : "";
    // Neither the assembly's VMs nor anything they start see these, nor the
    // game's own option variables.
    for (const char* variable : {requestVariable, tokenVariable, stepVariable}) {
        platform::unsetEnvironment(variable);
    }
    for (const char* variable : optionVariables) platform::unsetEnvironment(variable);
    const std::optional<AssemblyRequest> request = readRequest(pathText, tokenText);
    if (!request) {
        if (path != nullptr) noteRefusedStart(pathText.c_str());
        return notAnAssembly;
    }
    if (stepText.empty()) return assemble(*request, tokenText);
    const std::size_t space = stepText.find(' ');
    const std::string name = stepText.substr(0, space);
    const std::string part = space == std::string::npos ? "" : stepText.substr(space + 1);
    if (part != request->entry.part(tokenText)) return notAnAssembly;
    // A step's VM never outlives its assembly, however the assembly ends.
    platform::endWithParent();
    if (name == stepName(Step::create)) return runStepHere(*request, part, Step::create);
    if (name == stepName(Step::trial)) return runStepHere(*request, part, Step::trial);
    return notAnAssembly;
}

}  // namespace tessvik
