// Natives of quellink.harness.SimControl: the simulator's C API for Java tests that
// run in the same process as the bridge. Texts that the simulator gives back as
// arbitrary bytes go to Java as byte arrays, never through NewStringUTF.
#include "steamsim/steamsim.h"

#include <jni.h>

#include <cstring>
#include <vector>

namespace {

// A Java String's modified UTF-8 characters, or null for a null String.
class Chars {
public:
    Chars(JNIEnv* env, jstring s)
        : env_(env), s_(s), chars_(s != nullptr ? env->GetStringUTFChars(s, nullptr) : nullptr) {}
    ~Chars() {
        if (chars_ != nullptr) env_->ReleaseStringUTFChars(s_, chars_);
    }
    Chars(const Chars&) = delete;
    Chars& operator=(const Chars&) = delete;
    const char* get() const { return chars_; }

private:
    JNIEnv* env_;
    jstring s_;
    const char* chars_;
};

jbyteArray bytes(JNIEnv* env, const char* text) {
    if (text == nullptr) return nullptr;
    const jsize n = static_cast<jsize>(std::strlen(text));
    jbyteArray array = env->NewByteArray(n);
    if (array != nullptr) {
        env->SetByteArrayRegion(array, 0, n, reinterpret_cast<const jbyte*>(text));
    }
    return array;
}

// A scenario loaded by the simulator's function for its text or its file name.
jboolean loadScenario(JNIEnv* env, jstring text, bool (*load)(const char*)) {
    Chars chars(env, text);
    return chars.get() != nullptr && load(chars.get()) ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_quellink_harness_SimControl_nativeReset(JNIEnv*, jclass) {
    steamsim_reset();
}

JNIEXPORT jboolean JNICALL Java_quellink_harness_SimControl_nativeLoadScenario(JNIEnv* env, jclass,
                                                                               jstring ini) {
    return loadScenario(env, ini, steamsim_load_scenario_text);
}

JNIEXPORT jboolean JNICALL Java_quellink_harness_SimControl_nativeLoadScenarioFile(JNIEnv* env,
                                                                                   jclass,
                                                                                   jstring path) {
    return loadScenario(env, path, steamsim_load_scenario_file);
}

// The log escapes every byte outside printable ASCII, so it is valid modified UTF-8.
JNIEXPORT jstring JNICALL Java_quellink_harness_SimControl_nativeCallLog(JNIEnv* env, jclass) {
    return env->NewStringUTF(steamsim_call_log());
}

JNIEXPORT void JNICALL Java_quellink_harness_SimControl_nativeClearLog(JNIEnv*, jclass) {
    steamsim_clear_call_log();
}

JNIEXPORT jbyteArray JNICALL Java_quellink_harness_SimControl_nativeRichPresence(JNIEnv* env,
                                                                                 jclass,
                                                                                 jstring key) {
    Chars k(env, key);
    if (k.get() == nullptr) return nullptr;
    return bytes(env, steamsim_rich_presence(k.get()));
}

JNIEXPORT jint JNICALL Java_quellink_harness_SimControl_nativeOverlayPosition(JNIEnv*, jclass) {
    return steamsim_overlay_position();
}

// Six longs per entry: app id, ip, connection port, query port, flags, last played.
JNIEXPORT jlongArray JNICALL Java_quellink_harness_SimControl_nativeFavorites(JNIEnv* env, jclass) {
    std::vector<jlong> values;
    const int count = steamsim_favorite_count();
    for (int i = 0; i < count; ++i) {
        steamsim_favorite f{};
        if (!steamsim_get_favorite(i, &f)) break;
        values.insert(values.end(), {jlong(f.app_id), jlong(f.ip), jlong(f.conn_port),
                                     jlong(f.query_port), jlong(f.flags), jlong(f.last_played)});
    }
    const jsize n = static_cast<jsize>(values.size());
    jlongArray array = env->NewLongArray(n);
    if (array != nullptr && n > 0) {
        env->SetLongArrayRegion(array, 0, n, values.data());
    }
    return array;
}

JNIEXPORT jint JNICALL Java_quellink_harness_SimControl_nativeCallbackCount(JNIEnv*, jclass,
                                                                            jint callbackId) {
    return steamsim_callback_count(callbackId);
}

JNIEXPORT jint JNICALL Java_quellink_harness_SimControl_nativeOpenRequestCount(JNIEnv*, jclass) {
    return steamsim_open_request_count();
}

JNIEXPORT jboolean JNICALL Java_quellink_harness_SimControl_nativeTicketLive(JNIEnv*, jclass,
                                                                             jlong ticket) {
    return steamsim_ticket_live(static_cast<uint32_t>(ticket)) ? JNI_TRUE : JNI_FALSE;
}

}  // extern "C"
