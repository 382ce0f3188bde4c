#include "fake_jni.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace fake {

JvmState jvm;

namespace {

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;
JNIEnv theEnv;
JavaVM theVm;
int targetObject, classObject, globalObject;

std::vector<std::string> methodNames;  // a method ID is its index + 1
std::vector<std::string> strings;       // a String is its index + 1
std::vector<std::string> throwables;    // a throwable is its index + 1

void record(const char* event, bool allowedWithException = false) {
    jvm.events.push_back(event);
    if (jvm.exceptionPending && !allowedWithException) jvm.violations.push_back(event);
}

std::string textOf(jobject s) {
    if (s == nullptr) return "<null>";
    return strings.at(reinterpret_cast<std::uintptr_t>(s) - 1);
}

jint JNICALL GetEnv(JavaVM*, void** penv, jint version) {
    jvm.events.push_back(version == JNI_VERSION_1_6 ? "GetEnv 1.6" : "GetEnv other");
    *penv = jvm.getEnvAnswer == JNI_OK ? &theEnv : nullptr;
    return jvm.getEnvAnswer;
}
jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void* args) {
    jvm.events.push_back(args == nullptr ? "AttachCurrentThread" : "AttachCurrentThread with arguments");
    *penv = jvm.attachAnswer == JNI_OK ? &theEnv : nullptr;
    return jvm.attachAnswer;
}
jint JNICALL DetachCurrentThread(JavaVM*) {
    jvm.events.push_back("DetachCurrentThread");
    return JNI_ERR;  // as for a Java thread inside a native method
}

jint JNICALL GetJavaVM(JNIEnv*, JavaVM** out) {
    record("GetJavaVM");
    *out = &theVm;
    return JNI_OK;
}
jclass JNICALL GetObjectClass(JNIEnv*, jobject) {
    record("GetObjectClass");
    ++jvm.liveLocalRefs;
    return reinterpret_cast<jclass>(&classObject);
}
jobject JNICALL NewGlobalRef(JNIEnv*, jobject) {
    record("NewGlobalRef");
    ++jvm.liveGlobalRefs;
    return reinterpret_cast<jobject>(&globalObject);
}
void JNICALL DeleteGlobalRef(JNIEnv*, jobject) {
    record("DeleteGlobalRef", true);
    --jvm.liveGlobalRefs;
}
void JNICALL DeleteLocalRef(JNIEnv*, jobject) {
    record("DeleteLocalRef", true);
    --jvm.liveLocalRefs;
}
jmethodID JNICALL GetMethodID(JNIEnv*, jclass, const char* name, const char* signature) {
    record("GetMethodID");
    if (jvm.missingMethods.count(name) != 0) {
        jvm.exceptionPending = true;
        jvm.exception = std::string("NoSuchMethodError ") + name;
        return nullptr;
    }
    methodNames.push_back(std::string(name) + signature);
    return reinterpret_cast<jmethodID>(methodNames.size());
}
jboolean JNICALL ExceptionCheck(JNIEnv*) {
    record("ExceptionCheck", true);
    return jvm.exceptionPending ? JNI_TRUE : JNI_FALSE;
}
jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
    record("ExceptionOccurred", true);
    if (!jvm.exceptionPending) return nullptr;
    throwables.push_back(jvm.exception);
    ++jvm.liveLocalRefs;
    return reinterpret_cast<jthrowable>(throwables.size());
}
void JNICALL ExceptionClear(JNIEnv*) {
    record("ExceptionClear", true);
    jvm.exceptionPending = false;
    jvm.exception.clear();
}
jint JNICALL Throw(JNIEnv*, jthrowable throwable) {
    record("Throw");
    jvm.exceptionPending = true;
    jvm.exception = throwables.at(reinterpret_cast<std::uintptr_t>(throwable) - 1);
    return JNI_OK;
}
void JNICALL ExceptionDescribe(JNIEnv*) {
    record("ExceptionDescribe", true);
    ++jvm.describes;
    jvm.exceptionPending = false;
    jvm.exception.clear();
}
jstring JNICALL NewStringUTF(JNIEnv*, const char* text) {
    record("NewStringUTF");
    if (jvm.failNewString) {
        jvm.exceptionPending = true;  // OutOfMemoryError
        return nullptr;
    }
    strings.push_back(text);
    ++jvm.liveLocalRefs;
    return reinterpret_cast<jstring>(strings.size());
}
void JNICALL CallVoidMethodV(JNIEnv*, jobject object, jmethodID method, va_list args) {
    record("CallVoidMethod");
    JavaCall call;
    const std::string& m = methodNames.at(reinterpret_cast<std::uintptr_t>(method) - 1);
    call.method = m.substr(0, m.find('('));
    if (object != reinterpret_cast<jobject>(&globalObject)) call.method += " on a reference not made global";
    if (call.method == "ServerResponded") {
        call.strings.push_back(textOf(va_arg(args, jobject)));
        call.strings.push_back(textOf(va_arg(args, jobject)));
        call.ip = va_arg(args, jlong);
        call.connectionPort = va_arg(args, int);
        call.players = va_arg(args, int);
        call.maxPlayers = va_arg(args, int);
        call.password = va_arg(args, int);
        call.ping = va_arg(args, int);
        call.secure = va_arg(args, int);
        call.queryPort = va_arg(args, int);
        call.strings.push_back(textOf(va_arg(args, jobject)));
    } else if (call.method == "GameRichPresenceJoinRequested_t") {
        call.strings.push_back(textOf(va_arg(args, jobject)));
    }
    jvm.calls.push_back(call);
    if (jvm.throwOnCall) jvm.exceptionPending = true;
}

}  // namespace

void resetJvm() {
    jvm = JvmState{};
    methodNames.clear();
    strings.clear();
    throwables.clear();
    std::memset(&envTable, 0, sizeof envTable);
    envTable.GetJavaVM = GetJavaVM;
    envTable.GetObjectClass = GetObjectClass;
    envTable.NewGlobalRef = NewGlobalRef;
    envTable.DeleteGlobalRef = DeleteGlobalRef;
    envTable.DeleteLocalRef = DeleteLocalRef;
    envTable.GetMethodID = GetMethodID;
    envTable.ExceptionCheck = ExceptionCheck;
    envTable.ExceptionDescribe = ExceptionDescribe;
    envTable.ExceptionOccurred = ExceptionOccurred;
    envTable.ExceptionClear = ExceptionClear;
    envTable.Throw = Throw;
    envTable.NewStringUTF = NewStringUTF;
    envTable.CallVoidMethodV = CallVoidMethodV;
    theEnv.functions = &envTable;
    std::memset(&vmTable, 0, sizeof vmTable);
    vmTable.GetEnv = GetEnv;
    vmTable.AttachCurrentThread = AttachCurrentThread;
    vmTable.DetachCurrentThread = DetachCurrentThread;
    theVm.functions = &vmTable;
}

JNIEnv* env() { return &theEnv; }
JavaVM* vm() { return &theVm; }
jobject target() { return reinterpret_cast<jobject>(&targetObject); }

int count(const std::string& event) {
    return static_cast<int>(std::count(jvm.events.begin(), jvm.events.end(), event));
}

}  // namespace fake
