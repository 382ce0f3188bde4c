// A stand-in for the Java runtime's VM library: it loads, and its VM
// creation entry point always refuses, so a launch that reaches it ends
// without a real VM. With FAKE_RUNTIME_EXIT set it ends the process instead,
// as HotSpot does when it cannot initialise, when it is given a class-data
// archive to write.
#include <jni.h>

#include <cstdlib>
#include <cstring>

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
    for (jint i = 0; i < initArgs->nOptions && std::getenv("FAKE_RUNTIME_EXIT") != nullptr; ++i) {
        if (std::strncmp(initArgs->options[i].optionString, "-XX:ArchiveClassesAtExit=", 25) == 0) {
            std::exit(1);
        }
    }
    *vm = nullptr;
    *env = nullptr;
    return JNI_ERR;
}
