// The Java VM inside this process: its creation from the runtime library, the
// call of the client's main method on the launcher's own thread, and its end,
// when DestroyJavaVM waits for the client's last non-daemon thread.
#pragma once

#include <string>
#include <vector>

#include <jni.h>

#include "platform/libraries.h"
#include "watcher.h"

namespace tessvik {

// Creates a VM from the runtime library with the option texts (JNI 1.8,
// unrecognised options refused). The creation's status: JNI_ERR when the
// library has no JNI_CreateJavaVM.
jint createJavaVm(const platform::ResidentLibrary& runtime, const std::vector<std::string>& options,
                  JavaVM** vm, JNIEnv** env);

// createJavaVm with the launch's watcher beside it, as its plan says. Started
// from the desktop, the launcher's output reaches nobody, yet the VM's own
// lines are the ones that say why it refused to start (an option it does not
// know, a heap larger than the machine allows): there what the process writes
// while the VM is created goes to the watcher, and the lines of a VM that
// returned a failure come back into this run's messages, where the failure
// notice begins with them. The VM gets no hook of the launcher's for that, so
// a crash keeps HotSpot's own error reporting, its time-out and its status.
jint createWatchedJavaVm(const platform::ResidentLibrary& runtime,
                         const std::vector<std::string>& options, const WatcherPlan& watcher,
                         JavaVM** vm, JNIEnv** env);

// How the call of the client's main went.
enum class MainOutcome {
    returned,   // main returned
    threw,      // main ended with a Java exception, left pending for the thread's end
    notCalled,  // the class, its main or the argument array could not be had
};

// Calls the static main(String[]) of mainClass (JNI internal form) with the
// program arguments, already in the VM's modified UTF-8, and waits for it.
MainOutcome callMain(JNIEnv* env, const std::string& mainClass,
                     const std::vector<std::string>& programArgs);

// Detaches the launcher's thread, so that an exception still pending (the
// main class or method missing, or thrown out of main) goes to the thread's
// uncaught-exception handler as under java ("Exception in thread "main"
// ..."), then destroys the VM. False when the thread could not be detached.
bool endJavaVm(JavaVM* vm);

}  // namespace tessvik
