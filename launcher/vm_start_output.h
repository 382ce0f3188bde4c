// What the Java VM writes while it is created, for the failure notice.
//
// Started from the desktop, the launcher's output reaches nobody, yet the
// VM's own lines are the ones that say why it refused to start (an option it
// does not know, a heap larger than the machine allows). So when nobody can
// see the output, what the process writes while the VM is created is caught
// (platform::OutputCapture); a VM that fails adds its lines to this run's
// messages, and the failure notice begins with them. HotSpot ends the process
// itself after some failures ("Error occurred during initialization of VM"):
// the abort hook of the JNI invocation interface (vm_lifecycle_hooks.h),
// handed to the VM in that case and when its exit work may fail, gives the
// notice before it does.
//
// With a console or redirected output, whoever started the launcher sees the
// VM's lines: nothing is caught and the VM gets exactly the options given.
#pragma once

#include <string>
#include <vector>

#include <jni.h>

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM**, void**, void*);

// Calls create with the arguments given, catching the VM's output as above.
jint createJavaVmNoticingItsReason(CreateJavaVMFunction create, JavaVM** vm, JNIEnv** env,
                                   const JavaVMInitArgs& args);

// The lines of caught output: line ends are LF or CR LF, a last line may lack
// one, and empty lines and NUL characters are dropped.
std::vector<std::string> caughtLines(const std::string& output);
