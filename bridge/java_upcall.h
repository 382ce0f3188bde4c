// How the bridge's Steam callbacks call into Java.
#pragma once

#include <jni.h>

namespace quellink {

// One call into Java from a Steam callback, on whatever thread Steam runs it.
//
// Built on the VM the callback object keeps: GetEnv asks for JNI 1.6, and a thread
// the VM does not know is attached. The destructor always ends with
// DetachCurrentThread: a thread that was attached here is detached again, while a
// Java thread inside a native method (the thread pumping SteamAPI_RunCallbacks) is
// refused by the VM and simply stays attached.
//
//   JavaUpcall call(vm_);
//   if (call.ready()) call.env()->CallVoidMethod(target_, method_);
class JavaUpcall {
public:
    explicit JavaUpcall(JavaVM* vm);
    ~JavaUpcall();

    JavaUpcall(const JavaUpcall&) = delete;
    JavaUpcall& operator=(const JavaUpcall&) = delete;

    // The thread's JNIEnv; null when the VM gave none.
    JNIEnv* env() const { return env_; }

    // Prepares this event's Java call; false when there is no JNIEnv to make it with.
    //
    // An exception thrown by the Java method of an earlier event of the same pump is
    // still pending here, and JNI allows no call with an exception pending. It is
    // reported with ExceptionDescribe, which prints it and clears it, so that this
    // event is delivered too. The exception of the last event stays pending and
    // surfaces in Java when SteamAPI_RunCallbacks returns.
    bool ready();

private:
    JavaVM* vm_;
    JNIEnv* env_;
};

// A Java String made with NewStringUTF for the length of one call, its local
// reference deleted when the holder ends. Null when the text is null or the String
// could not be made (an OutOfMemoryError is then pending).
//
// Steam's texts (server names, tags, connect texts) are UTF-8 written by other
// players' servers, while NewStringUTF reads modified UTF-8: a character beyond
// U+FFFF or a malformed byte would reach Java corrupted. Such texts are converted
// first; plain ASCII, the common case, goes through untouched.
class LocalJavaString {
public:
    LocalJavaString(JNIEnv* env, const char* text) : env_(env), string_(makeString(env, text)) {}
    ~LocalJavaString() {
        if (string_ != nullptr) env_->DeleteLocalRef(string_);
    }

    LocalJavaString(const LocalJavaString&) = delete;
    LocalJavaString& operator=(const LocalJavaString&) = delete;

    jstring get() const { return string_; }

private:
    static jstring makeString(JNIEnv* env, const char* text);

    JNIEnv* env_;
    jstring string_;
};

// A JNI global reference that knows its VM and deletes itself when it ends. A
// destructor is handed no JNIEnv, and a JNIEnv belongs to one thread, so the holder
// asks the VM for the ending thread's own (GetEnv). The bridge's holders end inside
// DeleteCallback, on the Java thread that calls it. Without a VM, or on a thread the
// VM does not know, the reference cannot be deleted and is left to the VM.
class JavaGlobalRef {
public:
    JavaGlobalRef(JavaVM* vm, jobject reference) : vm_(vm), reference_(reference) {}
    ~JavaGlobalRef() { release(); }

    JavaGlobalRef(JavaGlobalRef&& other) noexcept;
    JavaGlobalRef& operator=(JavaGlobalRef&& other) noexcept;

    // The reference; null when none could be made.
    jobject get() const { return reference_; }
    // The VM the reference belongs to, for the calls made through it.
    JavaVM* vm() const { return vm_; }

private:
    void release();

    JavaVM* vm_;
    jobject reference_;
};

// What a callback object takes from its Java target when CreateCallback builds it:
// a global reference of its own, and method IDs looked up on the target's own class
// (so a subclass may provide the methods).
//
// A method the class lacks yields no ID and leaves NoSuchMethodError pending, while
// JNI allows none of these calls with an exception pending. So the lookup keeps the
// first error that arises (or that is pending when it starts: an earlier lookup's),
// clears it to go on, and raises it again when the lookup ends. Every other method is
// still looked up, and its events still reach Java, while Java sees the error when
// CreateCallback returns.
class JavaTargetLookup {
public:
    JavaTargetLookup(JNIEnv* env, jobject target);
    // Raises the kept error again.
    ~JavaTargetLookup();

    JavaTargetLookup(const JavaTargetLookup&) = delete;
    JavaTargetLookup& operator=(const JavaTargetLookup&) = delete;

    // A new global reference to the target, belonging to vm.
    JavaGlobalRef globalRef(JavaVM* vm);
    // The ID of the instance method name with signature on the target's class; null
    // when the class lacks it.
    jmethodID method(const char* name, const char* signature);

private:
    // Keeps a pending exception when none is kept yet, and clears it.
    void keepPendingError();

    JNIEnv* env_;
    jobject target_;
    jclass class_;
    jthrowable error_;  // local reference to the first error, or null
};

}  // namespace quellink
