#include "vm_lifecycle_hooks.h"

#include <jvmti.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Halt0Function = void(JNICALL*)(JNIEnv*, jclass, jint);

std::vector<std::function<void(const VmEnd&)>>& endHooks() {
    static std::vector<std::function<void(const VmEnd&)>> hooks;
    return hooks;
}

std::vector<void (*)()>& abortHooks() {
    static std::vector<void (*)()> hooks;
    return hooks;
}

// Written by the thread that calls System.exit and read by the one that
// ends the process.
std::atomic<bool> clientChose{false};
std::atomic<int> clientStatus{0};
std::atomic<bool> vmRunning{false};
std::atomic<bool> hooksRan{false};
std::atomic<Halt0Function> vmHalt0{nullptr};

void runHooks(const VmEnd& end) {
    if (hooksRan.exchange(true)) return;
    for (const auto& hook : endHooks()) hook(end);
}

// Ends the process with the client's status once it chose one while the VM
// ran; returns otherwise.
void endAsTheClientChose(bool completed) {
    if (!vmRunning || !clientChose) return;
    runHooks({clientStatus, true, completed});
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(clientStatus);
}

// System.exit decides, also after main returned: a thread that outlives main
// may still call it. Its status is noted before the VM's exit work.
void JNICALL clientHalts(JNIEnv* env, jclass shutdown, jint status) {
    clientStatus = status;
    clientChose = true;
    vmHalt0.load()(env, shutdown, status);
}

// True when method is name of the class with the given signature.
bool isMethod(jvmtiEnv* jvmti, jmethodID method, const char* className, const char* name) {
    char* methodName = nullptr;
    if (jvmti->GetMethodName(method, &methodName, nullptr, nullptr) != JVMTI_ERROR_NONE) {
        return false;
    }
    const bool named = std::strcmp(methodName, name) == 0;
    jvmti->Deallocate(reinterpret_cast<unsigned char*>(methodName));
    jclass holder = nullptr;
    char* signature = nullptr;
    if (!named || jvmti->GetMethodDeclaringClass(method, &holder) != JVMTI_ERROR_NONE ||
        jvmti->GetClassSignature(holder, &signature, nullptr) != JVMTI_ERROR_NONE) {
        return false;
    }
    const bool found = std::strcmp(signature, className) == 0;
    jvmti->Deallocate(reinterpret_cast<unsigned char*>(signature));
    return found;
}

void JNICALL nativeMethodBound(jvmtiEnv* jvmti, JNIEnv*, jthread, jmethodID method, void* address,
                               void** newAddress) {
    if (vmHalt0.load() != nullptr || !isMethod(jvmti, method, "Ljava/lang/Shutdown;", "halt0")) {
        return;
    }
    vmHalt0 = reinterpret_cast<Halt0Function>(address);
    *newAddress = reinterpret_cast<void*>(&clientHalts);
}

// The process exits while the VM runs: System.exit's exit().
void processExits() { endAsTheClientChose(true); }

// The VM's exit hook: System.exit's status, after the VM's exit work; the VM
// ends the process with it once this returns.
void JNICALL vmExits(jint status) {
    bool expected = false;
    if (clientChose.compare_exchange_strong(expected, true)) clientStatus = status;
    runHooks({clientStatus, true, true});
}

// The VM aborts: a failed start, a crash, or its exit work failed, after
// which it ends the process with _exit(1) and no exit handler runs.
void JNICALL vmAborts() {
    for (void (*hook)() : abortHooks()) hook();
    endAsTheClientChose(false);
}

}  // namespace

void onVmEnd(std::function<void(const VmEnd&)> hook) { endHooks().push_back(std::move(hook)); }

void onVmAbort(void (*hook)()) { abortHooks().push_back(hook); }

void addVmAbortHook(std::vector<JavaVMOption>& options) {
    for (const JavaVMOption& option : options) {
        if (std::string(option.optionString) == "abort") return;
    }
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&vmAborts)});
}

void addVmEndHooks(std::vector<JavaVMOption>& options) {
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&vmExits)});
    addVmAbortHook(options);
}

void watchClientExit(JavaVM* vm) {
    static const bool registered = std::atexit(&processExits) == 0;
    (void)registered;
    vmRunning = true;
    jvmtiEnv* jvmti = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_2) != JNI_OK) return;
    jvmtiCapabilities capabilities{};
    capabilities.can_generate_native_method_bind_events = 1;
    jvmtiEventCallbacks callbacks{};
    callbacks.NativeMethodBind = &nativeMethodBound;
    if (jvmti->AddCapabilities(&capabilities) != JVMTI_ERROR_NONE ||
        jvmti->SetEventCallbacks(&callbacks, sizeof callbacks) != JVMTI_ERROR_NONE) {
        return;
    }
    jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_NATIVE_METHOD_BIND, nullptr);
}

void clientEnded(int status) {
    bool expected = false;
    if (clientChose.compare_exchange_strong(expected, true)) clientStatus = status;
}

int vmEnded(int status, bool started) {
    clientEnded(status);
    vmRunning = false;
    runHooks({clientStatus, started});
    return clientStatus;
}
