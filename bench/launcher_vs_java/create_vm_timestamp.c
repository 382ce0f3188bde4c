/* Preloaded into the launcher by the benchmark. It hands out a wrapper for
 * the runtime's JNI_CreateJavaVM that writes four CLOCK_MONOTONIC times, in
 * nanoseconds, to the file named by TESSVIK_BENCH_TIMESTAMPS: when this
 * library was initialised (before the launcher's main), when the launcher
 * began and ended loading the runtime library (libjvm), and when it called
 * JNI_CreateJavaVM. The calls then go on to the real functions, so the
 * launcher itself runs unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <jni.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef void* (*DlsymFunction)(void*, const char*);
typedef void* (*DlopenFunction)(const char*, int);
typedef jint(JNICALL* CreateJavaVMFunction)(JavaVM**, void**, void*);

static DlsymFunction realDlsym;
static CreateJavaVMFunction realCreateJavaVM;
static DlopenFunction realDlopen;
static long long initialisedAt;
static long long loadStartedAt;
static long long loadEndedAt;

static long long nowNanoseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

__attribute__((constructor)) static void initialise(void) {
    initialisedAt = nowNanoseconds();
    realDlsym = (DlsymFunction)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
    if (realDlsym == NULL) realDlsym = (DlsymFunction)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
    realDlopen = (DlopenFunction)realDlsym(RTLD_NEXT, "dlopen");
}

static jint JNICALL timedCreateJavaVM(JavaVM** vm, void** env, void* args) {
    long long calledAt = nowNanoseconds();
    const char* path = getenv("TESSVIK_BENCH_TIMESTAMPS");
    if (path != NULL) {
        FILE* out = fopen(path, "w");
        if (out != NULL) {
            fprintf(out, "%lld %lld %lld %lld\n", initialisedAt, loadStartedAt, loadEndedAt,
                    calledAt);
            fclose(out);
        }
    }
    return realCreateJavaVM(vm, env, args);
}

void* dlsym(void* handle, const char* name) {
    void* symbol = realDlsym(handle, name);
    if (symbol != NULL && strcmp(name, "JNI_CreateJavaVM") == 0) {
        realCreateJavaVM = (CreateJavaVMFunction)symbol;
        return (void*)timedCreateJavaVM;
    }
    return symbol;
}

void* dlopen(const char* file, int mode) {
    int isRuntime = file != NULL && strstr(file, "libjvm") != NULL;
    long long startedAt = nowNanoseconds();
    void* handle = realDlopen(file, mode);
    if (isRuntime && loadStartedAt == 0) {
        loadStartedAt = startedAt;
        loadEndedAt = nowNanoseconds();
    }
    return handle;
}
