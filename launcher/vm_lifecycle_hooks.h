// The one place where the launcher's concerns learn how the Java VM ended,
// and where the client's exit status is kept the launch's.
//
// A client ends in one of two ways, and the VM then does work of its own (it
// writes a class-data archive, for one) that may fail and end the process
// with a status of its own (1):
//  - main returns: the launcher notes the client's status (clientEnded),
//    destroys the VM, and vmEnded runs the hooks once DestroyJavaVM is back;
//  - System.exit(N) or Runtime.halt(N): the VM's Shutdown.halt0 is routed
//    through the launcher (watchClientExit), which notes N before the VM's
//    exit work; the VM ends the process with exit(), and the hooks run then.
// Whenever the process exits while the VM runs and the client has chosen its
// status, the hooks run and the process ends with the client's status: at
// exit() (System.exit), or, where the VM ends the process with _exit(1) after
// its exit work failed (or crashed in it), in the VM's abort hook. A VM that
// ends before the client chose its status (a crash while the client runs, a
// failed start) runs no end hook: what a hook would have cleaned up stays
// behind for the next launch to find.
//
// The VM lists every option it is created with among the client's input
// arguments, so the abort hook (the JNI invocation option "abort") is handed
// to it only where it is needed: when the VM's exit work may fail, and while
// a start whose output nobody sees is watched (vm_start_output.h).
#pragma once

#include <functional>
#include <vector>

#include <jni.h>

struct VmEnd {
    int status;           // the client's: main's outcome, or System.exit's argument
    bool started = true;  // false when the VM could not be created
    // false when the VM aborted after the client chose its status: its exit
    // work (an archive it was writing) failed, or it crashed doing it.
    bool completed = true;
};

// Runs once when the VM has ended, in the order added. It may run on a VM
// thread while the process exits: file work only, never a call into Java.
void onVmEnd(std::function<void(const VmEnd&)> hook);

// Runs first when the VM aborts, whether or not the client chose its status.
void onVmAbort(void (*hook)());

// Appends the "abort" option that routes the VM's abort here, unless options
// hold it already.
void addVmAbortHook(std::vector<JavaVMOption>& options);

// After the VM is created, before main: System.exit and Runtime.halt note the
// client's status here before the VM's exit work (through the JVM tool
// interface, which lets the launcher stand in for the native method
// Shutdown.halt0 when the VM links it), and an exit of the process from now
// on runs the hooks.
void watchClientExit(JavaVM* vm);

// main has returned (or could not be called) with this status; the VM's
// destruction comes next.
void clientEnded(int status);

// DestroyJavaVM is back, or the VM could not be created (started false):
// runs the hooks and returns the client's status.
int vmEnded(int status, bool started = true);
