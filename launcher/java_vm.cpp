// Java VM start and the call of the client's main method: the last step of a
// launch. The VM lives inside this process and runs the client on the
// launcher's own thread; the call returns when the client's main returns, and
// the VM's destruction waits for the client's last non-daemon thread.
#include <exception>
#include <string>
#include <vector>

#include "crash_reports.h"
#include "failure_notice.h"
#include "java_launcher.h"
#include "main_thread_stack.h"
#include "messages.h"
#include "platform/platform.h"
#include "startup_cache/startup_cache.h"
#include "runtime_image_options.h"
#include "vm_option_sources.h"
#include "vm_options.h"
#include "vm_start_output.h"

namespace {

constexpr const char* mainMethodName = "main";
constexpr const char* mainMethodDescriptor = "([Ljava/lang/String;)V";
// The element class of main's argument array, by its class name. JNI's
// FindClass takes "java/lang/String"; the descriptor form "Ljava/lang/String;"
// is accepted by current VMs only with a warning, and they announce that it
// will be refused.
constexpr const char* stringClassName = "java/lang/String";

// Builds the String[] handed to main from the program arguments, which are
// already in the VM's modified UTF-8. Returns null with the Java exception
// pending when the VM cannot build it.
jobjectArray makeArgumentArray(JNIEnv* env, const std::vector<std::string>& programArgs) {
    jclass stringClass = env->FindClass(stringClassName);
    if (stringClass == nullptr) return nullptr;
    jobjectArray array =
        env->NewObjectArray(static_cast<jsize>(programArgs.size()), stringClass, nullptr);
    if (array == nullptr) return nullptr;
    for (std::size_t i = 0; i < programArgs.size(); ++i) {
        jstring text = env->NewStringUTF(programArgs[i].c_str());
        if (text == nullptr) return nullptr;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), text);
        // A long command line must not exhaust the thread's local references.
        env->DeleteLocalRef(text);
    }
    return array;
}

// The VM's exit hook, run in System.exit and Runtime.halt after the VM's own
// exit work: the end of a normal run. The VM ends the process with the
// client's status once it returns. Only the start-up cache has work there,
// and it allocates nothing.
void JNICALL vmExits(jint) { startupCacheVmEnded(); }

// The start-up cache's plan for this launch, with its line written.
SharingPlan startupCachePlan(const JavaLauncher& launcher, const std::string& classPathOption,
                             const std::vector<GivenVmOption>& given) {
    SharingInput input;
    input.runtimeVersion = launcher.runtimeVersion;
    input.runtimeLibrary = launcher.loadedRuntimePath;
    input.gameDirectory = launcher.workDir;
    input.classPath = launcher.classPath;
    for (const std::string& directory : launcher.extraClassPathDirs) {
        input.classPath.push_back(launcher.workDir + directory);
    }
    input.vmOptions =
        javaVmOptions(launcher.workDir, classPathOption, launcher.nativeLibDir, launcher.settings);
    input.givenOptions = given;
    input.cacheDirectory = platform::userCacheDirectory();
    SharingPlan plan = prepareStartupCache(input);
    if (!startStartupCacheWork()) {
        finishStartupCache();
        plan = {{}, "Class data sharing is off: its assembly could not start"};
    }
    writeOut(plan.message);
    return plan;
}

// What the VM's end leaves to the launcher: the start-up cache's work, then
// the client's status.
int vmEnded(int status) {
    startupCacheVmEnded();
    finishStartupCache();
    return status;
}

}  // namespace

int JavaLauncher::run() {
    auto createJavaVM =
        reinterpret_cast<CreateJavaVMFunction>(runtimeModule.symbol("JNI_CreateJavaVM"));

    jint createStatus = JNI_ERR;
    {
        // Every option the VM takes, from every source: what the launcher
        // adds must agree with them.
        OptionVariables texts = optionVariablesOfEnvironment();
        texts.runtimeImage = runtimeImageOptions(loadedRuntimePath);
        const std::vector<GivenVmOption> given = givenVmOptions(settings.vmParams, texts);
        const std::string stackShortfall = mainThreadStackShortfall(given);
        if (!stackShortfall.empty()) writeOut(stackShortfall);
        // The option texts and the array that points into them live until the
        // creation call has returned.
        const std::string classPathOption = buildClassPathOption();
        const SharingPlan sharing = settings.classDataSharing
                                        ? startupCachePlan(*this, classPathOption, given)
                                        : SharingPlan();
        // Where a crash report goes joins the options before those of sharing.
        std::vector<std::string> added = prepareCrashReports(given, workDir).options;
        added.insert(added.end(), sharing.options.begin(), sharing.options.end());
        const std::vector<std::string> optionTexts =
            javaVmOptions(workDir, classPathOption, nativeLibDir, settings, runtimeVersion, added);
        writeOut("Number of options: " + std::to_string(optionTexts.size()));

        std::vector<JavaVMOption> options(optionTexts.size());
        for (std::size_t i = 0; i < optionTexts.size(); ++i) {
            options[i].optionString = const_cast<char*>(optionTexts[i].c_str());
            options[i].extraInfo = nullptr;
        }
        // A client that calls System.exit ends the process inside the VM:
        // the cache's end comes through the exit hook there.
        if (!sharing.options.empty()) {
            options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&vmExits)});
        }
        JavaVMInitArgs initArgs{};
        initArgs.version = JNI_VERSION_1_8;
        initArgs.nOptions = static_cast<jint>(options.size());
        initArgs.options = options.data();
        initArgs.ignoreUnrecognized = JNI_FALSE;

        writeOut("Create java VM!");
        if (createJavaVM != nullptr) {
            createStatus = createJavaVmNoticingItsReason(createJavaVM, &vm, &env, initArgs);
        }
    }
    if (createStatus != JNI_OK) {
        // The VM has already described a refused option on its own output.
        vm = nullptr;
        env = nullptr;
        writeErr("Failed to create Java VM (error " + std::to_string(createStatus) + ")");
        noticeFailedLaunch(false);
        finishStartupCache();
        return 1;
    }
    startupCacheVmStarted();

    // Set when main could not be called or left a Java exception behind.
    bool failed = true;
    bool mainCalled = false;
    jclass mainCls = env->FindClass(mainClass.c_str());
    if (mainCls != nullptr) {
        try {
            jmethodID mainMethod =
                env->GetStaticMethodID(mainCls, mainMethodName, mainMethodDescriptor);
            if (mainMethod != nullptr) {
                jobjectArray args = makeArgumentArray(env, programArgs);
                if (args != nullptr) {
                    env->CallStaticVoidMethod(mainCls, mainMethod, args);
                    mainCalled = true;
                    failed = env->ExceptionCheck() == JNI_TRUE;
                }
            }
        } catch (const std::exception& error) {
            writeErr(error.what());
        }
    }

    // A Java exception still pending here (main class or method missing, or
    // thrown out of main) goes to the main thread's uncaught-exception handler
    // when the thread detaches: the default one prints "Exception in thread
    // "main" ..." with the stack trace, and a handler the client installed
    // runs instead.
    if (vm->DetachCurrentThread() != JNI_OK) {
        writeErr("Failed to detach the main thread from the Java VM");
        failed = true;
    }
    vm->DestroyJavaVM();
    vm = nullptr;
    env = nullptr;
    // The client never started: tell a user who cannot see the output.
    if (!mainCalled) noticeFailedLaunch(false);
    return vmEnded(failed ? 1 : 0);
}
