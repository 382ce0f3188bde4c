// The baseline of the bridge call benchmark: native methods that do nothing, in a
// library of their own (Quellink exports only its 33 methods), so that what a
// Quellink call costs beyond the Java-to-native transition shows.
#include <dlfcn.h>
#include <jni.h>

namespace {

// The Steam library that Quellink loaded, once bindSteamLibrary has found it. Java
// loads libraries with local symbols, so it is looked up by its path.
void* steamLibrary = nullptr;

void* steamFunction(const char* name) {
    return steamLibrary != nullptr ? dlsym(steamLibrary, name) : nullptr;
}

}  // namespace

extern "C" {

// Finds the Steam library already in the process (RTLD_NOLOAD: it is not loaded
// again). False when it is not there.
JNIEXPORT jboolean JNICALL Java_quellink_bench_NoOpNatives_bindSteamLibrary(JNIEnv* env, jclass,
                                                                            jstring path) {
    const char* chars = env->GetStringUTFChars(path, nullptr);
    if (chars == nullptr) {
        return JNI_FALSE;
    }
    steamLibrary = dlopen(chars, RTLD_NOW | RTLD_NOLOAD);
    env->ReleaseStringUTFChars(path, chars);
    return steamLibrary != nullptr ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_quellink_bench_NoOpNatives_nothing(JNIEnv*, jclass) {
    return JNI_FALSE;
}

// Takes a String like GetStatInt, and leaves it unread.
JNIEXPORT jint JNICALL Java_quellink_bench_NoOpNatives_nothingWithString(JNIEnv*, jclass, jstring) {
    return 0;
}

// Reads and gives back the String's characters, as an export does before its Steam
// call: the JNI share of GetStatInt while Steam runs.
JNIEXPORT jint JNICALL Java_quellink_bench_NoOpNatives_readString(JNIEnv* env, jclass,
                                                                  jstring text) {
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) {
        return 0;
    }
    const jint first = static_cast<unsigned char>(chars[0]);
    env->ReleaseStringUTFChars(text, chars);
    return first;
}

// The Steam calls that any bridge needs for OverlayNeedsPresent, made without the
// bridge: the accessor once, then the flat call. The functions are those of the Steam
// library that bindSteamLibrary found, looked up once.
JNIEXPORT jboolean JNICALL Java_quellink_bench_NoOpNatives_directOverlayNeedsPresent(JNIEnv*,
                                                                                     jclass) {
    using Accessor = void* (*)();
    using NeedsPresent = bool (*)(void*);
    static const auto accessor =
        reinterpret_cast<Accessor>(steamFunction("SteamAPI_SteamUtils_v010"));
    static const auto needsPresent =
        reinterpret_cast<NeedsPresent>(steamFunction("SteamAPI_ISteamUtils_BOverlayNeedsPresent"));
    if (accessor == nullptr || needsPresent == nullptr) {
        return JNI_FALSE;
    }
    void* utils = accessor();
    return utils != nullptr && needsPresent(utils) ? JNI_TRUE : JNI_FALSE;
}

// Empties the simulated Steam client's call log, when the simulator is the Steam
// library in the process, so that a long run does not grow it without end. Not timed.
JNIEXPORT void JNICALL Java_quellink_bench_NoOpNatives_clearSimulatorLog(JNIEnv*, jclass) {
    using Clear = void (*)();
    if (void* clear = steamFunction("steamsim_clear_call_log")) {
        reinterpret_cast<Clear>(clear)();
    }
}

}  // extern "C"
