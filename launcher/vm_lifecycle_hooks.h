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
//    exit work; the VM's exit hook (the JNI invocation option "exit") runs
//    the hooks after it, and the VM ends the process with N.
// Where the VM ends the process with _exit(1) after its exit work failed (or
// crashed in it), its abort hook ("abort") runs the hooks and ends the process
// with the client's status instead. Without those options (no class-data
// sharing), an exit of the process while the VM runs still runs the hooks, as
// an exit handler of the C runtime. A VM that ends before the client chose
// its status (a crash while the client runs, a failed start) runs no end
// hook: what a hook would have cleaned up stays behind for the next launch to
// find.
//
// The VM lists every option it is created with among the client's input
// arguments, so the two hooks are handed to it only where they are needed:
// when the launch keeps a class-data archive or cache, and (the abort hook)
// while a start whose output nobody sees is watched (vm_start_output.h).
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

// Appends the "exit" and "abort" options: the hooks run in the VM's own exit,
// which every platform's C runtime reaches, and the client's status survives
// a failure of the VM's exit work.
void addVmEndHooks(std::vector<JavaVMOption>& options);

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
