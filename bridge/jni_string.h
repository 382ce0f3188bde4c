// Reading Java String arguments in the exports.
#pragma once

#include <jni.h>

#include <string>

#include "modified_utf8.h"

namespace quellink {

// The characters of a Java String in standard UTF-8, as Steam reads its texts, held
// for the life of the object. The VM's modified UTF-8 characters are given back with
// ReleaseStringUTFChars when it ends, on every path out of the export.
//
// Text that is the same in both encodings (all of it but characters beyond U+FFFF
// and U+0000) is used where the VM put it, without a copy. Otherwise a converted
// copy is used: a character beyond U+FFFF becomes its four-byte sequence, instead of
// the two surrogates Java encodes separately.
//
// A null String, GetStringUTFChars answering null (out of memory, with an exception
// pending), or a String holding U+0000 leaves the holder empty: the export then
// returns its failure value at once, makes no Steam call and leaves any pending
// exception to Java. Steam takes NUL-terminated text, so U+0000 would cut the text
// short there, and a shortened name could be another statistic or achievement than
// the one Java named: no call is sounder than a call about something else.
//
//   JavaStringChars name(env, jname);
//   if (!name) return JNI_FALSE;
//   stats->GetAchievement(name.c_str(), &achieved);
class JavaStringChars {
public:
    JavaStringChars(JNIEnv* env, jstring text)
        : env_(env),
          text_(text),
          chars_(text != nullptr ? env->GetStringUTFChars(text, nullptr) : nullptr),
          utf8_(chars_) {
        if (chars_ != nullptr && !isAlsoUtf8(chars_)) {
            converted_ = utf8FromModifiedUtf8(chars_);
            utf8_ = converted_.find('\0') == std::string::npos ? converted_.c_str() : nullptr;
        }
    }

    ~JavaStringChars() {
        if (chars_ != nullptr) {
            env_->ReleaseStringUTFChars(text_, chars_);
        }
    }

    JavaStringChars(const JavaStringChars&) = delete;
    JavaStringChars& operator=(const JavaStringChars&) = delete;

    // True when the characters are there to use.
    explicit operator bool() const { return utf8_ != nullptr; }

    // The NUL-terminated UTF-8 characters; only valid when the holder is not empty.
    const char* c_str() const { return utf8_; }

private:
    JNIEnv* env_;
    jstring text_;
    const char* chars_;  // as the VM gave them
    std::string converted_;
    const char* utf8_;  // chars_, converted_ or null
};

}  // namespace quellink
