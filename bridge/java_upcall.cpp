#include "java_upcall.h"

#include <string>
#include <utility>

#include "modified_utf8.h"

namespace quellink {

JavaUpcall::JavaUpcall(JavaVM* vm) : vm_(vm), env_(nullptr) {
    if (vm_ == nullptr) return;
    void* env = nullptr;
    jint found = vm_->GetEnv(&env, JNI_VERSION_1_6);
    if (found == JNI_EDETACHED) {
        if (vm_->AttachCurrentThread(&env, nullptr) != JNI_OK) env = nullptr;
    } else if (found != JNI_OK) {
        env = nullptr;
    }
    env_ = static_cast<JNIEnv*>(env);
}

JavaUpcall::~JavaUpcall() {
    // Refused (and harmless) on a thread with Java frames; see the class comment.
    if (vm_ != nullptr) vm_->DetachCurrentThread();
}

bool JavaUpcall::ready() {
    if (env_ == nullptr) return false;
    if (env_->ExceptionCheck()) env_->ExceptionDescribe();
    return true;
}

JavaGlobalRef::JavaGlobalRef(JavaGlobalRef&& other) noexcept
    : vm_(other.vm_), reference_(std::exchange(other.reference_, nullptr)) {}

JavaGlobalRef& JavaGlobalRef::operator=(JavaGlobalRef&& other) noexcept {
    if (this != &other) {
        release();
        vm_ = other.vm_;
        reference_ = std::exchange(other.reference_, nullptr);
    }
    return *this;
}

void JavaGlobalRef::release() {
    if (reference_ == nullptr || vm_ == nullptr) return;
    void* env = nullptr;
    if (vm_->GetEnv(&env, JNI_VERSION_1_6) == JNI_OK) {
        static_cast<JNIEnv*>(env)->DeleteGlobalRef(reference_);
    }
    reference_ = nullptr;
}

JavaTargetLookup::JavaTargetLookup(JNIEnv* env, jobject target)
    : env_(env), target_(target), class_(nullptr), error_(nullptr) {
    keepPendingError();
}

JavaTargetLookup::~JavaTargetLookup() {
    if (class_ != nullptr) env_->DeleteLocalRef(class_);
    if (error_ != nullptr) {
        env_->Throw(error_);
        env_->DeleteLocalRef(error_);  // the pending exception holds the throwable
    }
}

void JavaTargetLookup::keepPendingError() {
    if (!env_->ExceptionCheck()) return;
    jthrowable error = env_->ExceptionOccurred();
    env_->ExceptionClear();
    if (error_ == nullptr) {
        error_ = error;
    } else if (error != nullptr) {
        env_->DeleteLocalRef(error);
    }
}

JavaGlobalRef JavaTargetLookup::globalRef(JavaVM* vm) {
    JavaGlobalRef reference(vm, env_->NewGlobalRef(target_));
    keepPendingError();
    return reference;
}

jmethodID JavaTargetLookup::method(const char* name, const char* signature) {
    if (class_ == nullptr) {
        class_ = env_->GetObjectClass(target_);
        keepPendingError();
        if (class_ == nullptr) return nullptr;
    }
    jmethodID id = env_->GetMethodID(class_, name, signature);
    keepPendingError();
    return id;
}

jstring LocalJavaString::makeString(JNIEnv* env, const char* text) {
    if (text == nullptr) return nullptr;
    if (isPlainAscii(text)) return env->NewStringUTF(text);
    return env->NewStringUTF(modifiedUtf8FromBytes(text).c_str());
}

}  // namespace quellink
