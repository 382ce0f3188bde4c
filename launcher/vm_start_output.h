// What the Java VM writes while it is created, for the failure notice.
//
// Started from the desktop, the launcher's output reaches nobody, yet the
// VM's own lines are the ones that say why it refused to start (an option it
// does not know, a heap larger than the machine allows). So when nobody can
// see the output, what the process writes while the VM is created goes to the
// launch's watcher (launch_watch.h), another process: a VM that returns a
// failure gets its lines back into this run's messages, and the failure
// notice begins with them; a VM that ends the process itself while it starts
// ("Error occurred during initialization of VM") gets the notice from the
// watcher, which still holds its last lines. The VM is handed no hook of the
// launcher's for that, so a crash keeps HotSpot's own error reporting, its
// time-out and its exit status.
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
