#include "java_vm.h"

#include <exception>
#include <memory>

#include "messages.h"

namespace tessvik {

namespace {

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM**, void**, void*);

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

jint createJavaVm(const platform::ResidentLibrary& runtime, const std::vector<std::string>& options,
                  JavaVM** vm, JNIEnv** env) {
    const auto create = reinterpret_cast<CreateJavaVMFunction>(runtime.symbol("JNI_CreateJavaVM"));
    if (create == nullptr) return JNI_ERR;
    // The array points into the texts, which live until the call returns.
    std::vector<JavaVMOption> array;
    for (const std::string& option : options) {
        array.push_back({const_cast<char*>(option.c_str()), nullptr});
    }
    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_8;
    initArgs.nOptions = static_cast<jint>(array.size());
    initArgs.options = array.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;
    const jint status = create(vm, reinterpret_cast<void**>(env), &initArgs);
    if (status != JNI_OK) {
        *vm = nullptr;
        *env = nullptr;
    }
    return status;
}

jint createWatchedJavaVm(const platform::ResidentLibrary& runtime,
                         const std::vector<std::string>& options, const WatcherPlan& watcher,
                         JavaVM** vm, JNIEnv** env) {
    const std::unique_ptr<Watcher> watching = Watcher::start(watcher);
    const jint status = createJavaVm(runtime, options, vm, env);
    if (!watching) return status;
    // A VM that started keeps writing to what it took; only a failed start's
    // lines are the launch's business.
    const std::string caught =
        watching->vmStartEnded(status == JNI_OK ? VmStart::started : VmStart::refused);
    if (status != JNI_OK && watcher.outputUnseen) logVmLines(caughtLines(caught));
    return status;
}

MainOutcome callMain(JNIEnv* env, const std::string& mainClass,
                     const std::vector<std::string>& programArgs) {
    jclass mainCls = env->FindClass(mainClass.c_str());
    if (mainCls == nullptr) return MainOutcome::notCalled;
    try {
        jmethodID mainMethod =
            env->GetStaticMethodID(mainCls, mainMethodName, mainMethodDescriptor);
        if (mainMethod == nullptr) return MainOutcome::notCalled;
        jobjectArray args = makeArgumentArray(env, programArgs);
        if (args == nullptr) return MainOutcome::notCalled;
        env->CallStaticVoidMethod(mainCls, mainMethod, args);
        return env->ExceptionCheck() == JNI_TRUE ? MainOutcome::threw : MainOutcome::returned;
    } catch (const std::exception& error) {
        writeErr(error.what());
        return MainOutcome::notCalled;
    }
}

bool endJavaVm(JavaVM* vm) {
    const bool detached = vm->DetachCurrentThread() == JNI_OK;
    if (!detached) writeErr("Failed to detach the main thread from the Java VM");
    vm->DestroyJavaVM();
    return detached;
}

}  // namespace tessvik
