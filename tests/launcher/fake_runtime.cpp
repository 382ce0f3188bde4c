// A stand-in for the Java runtime's VM library: it loads, and its VM
// creation entry point always refuses, so a launch that reaches it ends
// without a real VM.
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void*) {
    *vm = nullptr;
    *env = nullptr;
    return JNI_ERR;
}
