// The Steam API's own lifecycle for Java: the restart check, start-up, shutdown and
// the callback pump. Each export makes its one Steam call, without testing anything
// first, and returns exactly what Steam returns.
#include "Pellux_Steam_api.h"
#include "callback_registry.h"
#include "missing_interfaces.h"
#include "stats_received_event.h"
#include "steam/steam_api.h"

#include <iostream>

extern "C" {

// The Java int's 32 bits are the unsigned application id: -1 asks about 4294967295.
JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_SteamAPI_1RestartAppIfNecessary(JNIEnv*, jobject,
                                                                                  jint appId) {
    return SteamAPI_RestartAppIfNecessary(static_cast<uint32>(appId)) ? JNI_TRUE : JNI_FALSE;
}

// Starts Steam the way the loaded library's generation does (steam/steam_binding.h).
// A library the bridge does not know is not started: false, after one line on
// standard output naming what it lacks. A library that offers some interfaces in no
// known version starts without them; the first start names them and the natives
// that then answer as without Steam, in one line (the library stays the same for
// the process). A start while Steam runs keeps the session, and with it a statistics
// event posted for it and not yet delivered.
JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_SteamAPI_1Init(JNIEnv*, jobject) {
    static const bool reported =
        (quellink::reportMissingInterfaces(quellink::boundSteam(), std::cout), true);
    static_cast<void>(reported);
    return SteamAPI_Init() ? JNI_TRUE : JNI_FALSE;
}

// Java spells it ShutDown; Steam's function is SteamAPI_Shutdown. Steam frees every
// server-list request and drops its queued events, so the relays forget their tracked
// requests (releasing one after the next SteamAPI_Init would hand Steam a pointer into
// freed memory) and a posted statistics event goes too. The registries' lock keeps a
// CreateCallback, DeleteCallback or list request of another thread out meanwhile.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_SteamAPI_1ShutDown(JNIEnv*, jobject) {
    auto lock = quellink::lockRegistries();
    quellink::forgetTrackedRequests();
    quellink::forgetPostedUserStatsReceived();
    SteamAPI_Shutdown();
}

// Steam runs the bridge's callback objects and the server-list relay only inside this
// call, on this thread; they call into Java before it returns. So does the statistics
// event the bridge posts itself for a library without RequestCurrentStats.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_SteamAPI_1RunCallbacks(JNIEnv*, jobject) {
    SteamAPI_RunCallbacks();
    quellink::deliverPostedUserStatsReceived();
}

}  // extern "C"
