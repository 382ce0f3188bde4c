// Reading Java String arguments in the exports.
#pragma once

#include <jni.h>

namespace quellink {

// The modified UTF-8 characters of a Java String, held for the life of the object
// and given back with ReleaseStringUTFChars when it ends, on every path out of the
// export.
//
// A null String, or GetStringUTFChars answering null (out of memory, with an
// exception pending), leaves the holder empty: the export then returns its failure
// value at once, makes no Steam call and leaves any pending exception to Java.
//
//   JavaStringChars name(env, jname);
//   if (!name) return JNI_FALSE;
//   stats->GetAchievement(name.c_str(), &achieved);
class JavaStringChars {
public:
    JavaStringChars(JNIEnv* env, jstring text)
        : env_(env), text_(text),
          chars_(text != nullptr ? env->GetStringUTFChars(text, nullptr) : nullptr) {}

    ~JavaStringChars() {
        if (chars_ != nullptr) {
            env_->ReleaseStringUTFChars(text_, chars_);
        }
    }

    JavaStringChars(const JavaStringChars&) = delete;
    JavaStringChars& operator=(const JavaStringChars&) = delete;

    // True when the characters are there to use.
    explicit operator bool() const { return chars_ != nullptr; }

    // The NUL-terminated characters; only valid when the holder is not empty.
    const char* c_str() const { return chars_; }

private:
    JNIEnv* env_;
    jstring text_;
    const char* chars_;
};

}  // namespace quellink
