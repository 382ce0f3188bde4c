// The test client's native methods. Preloaded (LD_PRELOAD), the library's
// malloc, calloc and realloc also stand in for the C library's, so that the
// client can block them all for ever before it crashes the VM, as when a
// thread died holding the allocator's lock: the VM's error report must then
// end within its ErrorLogTimeout.
#include <jni.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);

namespace {

std::atomic<bool> allocatorBlocked{false};

void waitWhileBlocked() {
    while (allocatorBlocked.load()) pause();
}

struct Callback {
    JavaVM* vm;
    jclass mainClass;  // a global reference
    jboolean exit;
    std::atomic<bool> attached{false};
};

// Attaches as a non-daemon thread and calls the client's fromNative.
void* attachedThread(void* argument) {
    Callback& callback = *static_cast<Callback*>(argument);
    JNIEnv* env = nullptr;
    JavaVMAttachArgs args{JNI_VERSION_1_8, const_cast<char*>("native"), nullptr};
    if (callback.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &args) != JNI_OK) {
        callback.attached = true;
        return nullptr;
    }
    callback.attached = true;
    jmethodID method = env->GetStaticMethodID(callback.mainClass, "fromNative", "(Z)V");
    if (method != nullptr) env->CallStaticVoidMethod(callback.mainClass, method, callback.exit);
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    callback.vm->DetachCurrentThread();
    return nullptr;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    waitWhileBlocked();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    waitWhileBlocked();
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) {
    waitWhileBlocked();
    return __libc_realloc(block, size);
}

// Blocks the allocator, then writes through a null pointer.
JNIEXPORT void JNICALL
Java_com_zarnhall_client_launcherfx_ZarnMain_crashWithAllocatorBlocked(JNIEnv*, jclass) {
    allocatorBlocked = true;
    int* volatile nowhere = nullptr;
    *nowhere = 1;
}

// Returns once the thread is attached, so that the VM's end waits for it.
JNIEXPORT void JNICALL Java_com_zarnhall_client_launcherfx_ZarnMain_startAttachedThread(
    JNIEnv* env, jclass mainClass, jboolean exit) {
    static Callback callback;
    env->GetJavaVM(&callback.vm);
    callback.mainClass = static_cast<jclass>(env->NewGlobalRef(mainClass));
    callback.exit = exit;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, attachedThread, &callback) != 0) return;
    pthread_detach(thread);
    while (!callback.attached) usleep(1000);
}

}  // extern "C"
