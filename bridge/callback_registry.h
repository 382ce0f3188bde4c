// The bridge's event objects: what routes Steam events to the Java object that
// called CreateCallback.
#pragma once

#include "java_upcall.h"
#include "server_list_relay.h"
#include "steam/steam_api.h"

#include <jni.h>

#include <cstddef>
#include <mutex>

#include "mutex.h"

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

    // Whether receiver is the Java object this one calls (IsSameObject).
    bool targets(JNIEnv* env, jobject receiver) const;

private:
    void onUserStatsReceived(UserStatsReceived_t* event);
    void onJoinRequested(GameRichPresenceJoinRequested_t* event);

    CCallback<CallbackTest, UserStatsReceived_t, false> userStatsReceived_;
    CCallback<CallbackTest, GameRichPresenceJoinRequested_t, false> joinRequested_;
    JavaGlobalRef target_;
    jmethodID userStatsReceivedMethod_;
    jmethodID joinRequestedMethod_;
};

// The event objects made by one CreateCallback for one Java receiver.
struct CallbackRegistry {
    CallbackRegistry(JNIEnv* env, jobject target, JavaVM* vm)
        : callbackTest(env, target, vm), serverListResponse(env, target, vm) {}

    CallbackTest callbackTest;
    ServerListResponseCallback serverListResponse;
};

// Every registry alive belongs to the process-wide set of registries: at most one per
// Java receiver, since a CreateCallback tears down the receiver's earlier one. The
// newest is current until DeleteCallback destroys it; the others stay registered with
// Steam and keep receiving events.
//
// The set is guarded by one lock, taken by every export that changes a registry or
// its tracked request: CreateCallback, DeleteCallback, the server-list exports and
// SteamAPI_ShutDown. So SteamAPI_ShutDown may run on one thread while another calls
// any of the others. The lock is never held while Java code runs.
std::unique_lock<locking::Mutex> lockRegistries();

// The current registry, or null: before the first CreateCallback and after
// DeleteCallback. With the lock held (or on the pumping thread, which the Java caller
// keeps apart from CreateCallback and DeleteCallback).
CallbackRegistry* currentCallbackRegistry();

// How many registries are alive, the current one among them.
std::size_t liveCallbackRegistries();

// Drops the tracked server-list request of every live registry without releasing it:
// SteamAPI_Shutdown frees every request, and a handle of the ended session must never
// reach Steam again. With the lock held.
void forgetTrackedRequests();

// Hands an event the bridge posts itself (stats_received_event.h) to the statistics
// callback of every live registry, as Steam hands its own events to every registered
// callback. On the pumping thread.
void runUserStatsReceived(UserStatsReceived_t& event);

}  // namespace quellink
