// The bridge's event objects: what routes Steam events to the Java object that
// called CreateCallback.
#pragma once

#include "java_upcall.h"
#include "server_list_relay.h"
#include "steam/steam_api.h"

#include <jni.h>

namespace quellink {

// Receives two Steam events, the user's statistics having arrived and a friend's
// join request, and calls the Java target's UserStatsReceived_t() and
// GameRichPresenceJoinRequested_t(String) for each.
//
// Both Steam callbacks are registered while the object is built and unregistered
// when it is destroyed, join request first; the reference to the Java target is
// deleted then too. The object keeps the Java VM (with that reference), not a
// JNIEnv: Steam may run a callback on another thread, and each handler obtains its
// own.
class CallbackTest {
public:
    CallbackTest(JNIEnv* env, jobject target, JavaVM* vm);
    ~CallbackTest();

    CallbackTest(const CallbackTest&) = delete;
    CallbackTest& operator=(const CallbackTest&) = delete;

    // Runs the statistics callback with an event the bridge posts itself, as Steam
    // runs it: only while it is registered.
    void runUserStatsReceived(UserStatsReceived_t& event);

private:
    void onUserStatsReceived(UserStatsReceived_t* event);
    void onJoinRequested(GameRichPresenceJoinRequested_t* event);

    CCallback<CallbackTest, UserStatsReceived_t, false> userStatsReceived_;
    CCallback<CallbackTest, GameRichPresenceJoinRequested_t, false> joinRequested_;
    JavaGlobalRef target_;
    jmethodID userStatsReceivedMethod_;
    jmethodID joinRequestedMethod_;
};

// The event objects made by one CreateCallback. At most one is current.
struct CallbackRegistry {
    CallbackRegistry(JNIEnv* env, jobject target, JavaVM* vm)
        : callbackTest(env, target, vm), serverListResponse(env, target, vm) {}

    CallbackTest callbackTest;
    ServerListResponseCallback serverListResponse;
};

// The current registry; null before the first CreateCallback and after DeleteCallback,
// which destroys it.
CallbackRegistry* currentCallbackRegistry();

// Hands an event the bridge posts itself (stats_received_event.h) to the statistics
// callback of every CallbackTest alive, the current registry's and those of earlier
// registries that Steam still holds, as Steam hands its own events to every
// registered callback. On the pumping thread.
void runUserStatsReceived(UserStatsReceived_t& event);

}  // namespace quellink
