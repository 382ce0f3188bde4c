// A library of the kind a game meets in LD_PRELOAD (a hook, a profiler, Steam's own
// overlay): it wraps one Steam function, SteamAPI_RunCallbacks, and forwards every
// call to the Steam library's own. Preloaded, it provides Quellink's import of that
// function, while exporting nothing else of Steam's.
#include <dlfcn.h>

namespace {

using RunCallbacks = void (*)();

// Steam's own function. The JVM loads Quellink, and with it the Steam library, with
// local symbols, so RTLD_NEXT would not see it: the library is asked for by name.
RunCallbacks steamRunCallbacks() {
    void* steam = dlopen("libsteam_api.so", RTLD_NOW | RTLD_NOLOAD);
    if (steam == nullptr) return nullptr;
    return reinterpret_cast<RunCallbacks>(
        reinterpret_cast<void (*)()>(dlsym(steam, "SteamAPI_RunCallbacks")));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void SteamAPI_RunCallbacks() {
    static const RunCallbacks forward = steamRunCallbacks();
    if (forward != nullptr) forward();
}
