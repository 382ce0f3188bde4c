// Java VM start and the call of the client's main method: the last step of a
// launch. The VM lives inside this process and runs the client on the
// launcher's own thread; the call returns when the client's main returns, and
// the VM's destruction waits for the client's last non-daemon thread.
#include <exception>
#include <string>
#include <vector>

#include "class_data_sharing.h"
#include "crash_reports.h"
#include "failure_notice.h"
#include "java_launcher.h"
#include "messages.h"
#include "platform/platform.h"
#include "vm_lifecycle_hooks.h"
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

}  // namespace

int JavaLauncher::run() {
    auto createJavaVM =
        reinterpret_cast<CreateJavaVMFunction>(runtimeModule.symbol("JNI_CreateJavaVM"));

    jint createStatus = JNI_ERR;
    SharingPlan sharing;
    {
        // The option texts and the array that points into them live until the
        // creation call has returned.
        const std::string classPathOption = buildClassPathOption();
        sharing = settings.classDataSharing ? classDataSharingPlan(*this, classPathOption)
                                            : SharingPlan();
        // Where a crash report goes joins the options before those of sharing.
        std::vector<std::string> added = prepareCrashReports(settings, workDir).options;
        added.insert(added.end(), sharing.options.begin(), sharing.options.end());
        const std::vector<std::string> optionTexts =
            javaVmOptions(workDir, classPathOption, nativeLibDir, settings, runtimeVersion, added);
        writeOut("Number of options: " + std::to_string(optionTexts.size()));

        std::vector<JavaVMOption> options(optionTexts.size());
        for (std::size_t i = 0; i < optionTexts.size(); ++i) {
            options[i].optionString = const_cast<char*>(optionTexts[i].c_str());
            options[i].extraInfo = nullptr;
        }
        // What the launch keeps for the next one is settled as the VM ends,
        // and the VM's work at its end must not change the client's status.
        if (!sharing.options.empty()) addVmEndHooks(options);
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
        return vmEnded(1, false);
    }
    // The client's exit status is the launcher's, whatever the VM's own work
    // at its end does.
    watchClientExit(vm);
    checkArchiveMapped(sharing);

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
    // Noted before the VM's exit work, which may fail (an archive write).
    clientEnded(failed ? 1 : 0);
    vm->DestroyJavaVM();
    vm = nullptr;
    env = nullptr;
    // The client never started: tell a user who cannot see the output.
    if (!mainCalled) noticeFailedLaunch(false);
    return vmEnded(failed ? 1 : 0);
}
