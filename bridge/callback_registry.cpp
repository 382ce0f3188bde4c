// CreateCallback and DeleteCallback, the process-wide registry slot, and the two
// event handlers of CallbackTest.
#include "callback_registry.h"

#include "Pellux_Steam_api.h"
#include "field_text.h"
#include "java_upcall.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace quellink {

namespace {

// Plain shared data: CreateCallback, DeleteCallback, the server-list exports and the
// pump never overlap (the Java caller serialises them).
//
// The slot itself is never destroyed: when the process ends, Steam's library and the
// Java VM may be gone already, so a registry still current then is left as it is
// rather than unregistered and released.
std::unique_ptr<CallbackRegistry>& currentRegistry() {
    static auto* const slot = new std::unique_ptr<CallbackRegistry>();
    return *slot;
}

// Every CallbackTest alive, oldest first: a registry replaced by a later
// CreateCallback stays alive and registered with Steam.
std::vector<CallbackTest*> liveCallbackTests;

bool alive(const CallbackTest* callbacks) {
    return std::find(liveCallbackTests.begin(), liveCallbackTests.end(), callbacks) !=
           liveCallbackTests.end();
}

}  // namespace

CallbackRegistry* currentCallbackRegistry() { return currentRegistry().get(); }

void runUserStatsReceived(UserStatsReceived_t& event) {
    // A Java handler may delete a registry (DeleteCallback) while this runs.
    const std::vector<CallbackTest*> targets = liveCallbackTests;
    for (CallbackTest* callbacks : targets) {
        if (alive(callbacks)) callbacks->runUserStatsReceived(event);
    }
}

CallbackTest::CallbackTest(JNIEnv* env, jobject target, JavaVM* vm)
    : userStatsReceived_(this, &CallbackTest::onUserStatsReceived),
      joinRequested_(this, &CallbackTest::onJoinRequested),
      target_(vm, nullptr),
      userStatsReceivedMethod_(nullptr),
      joinRequestedMethod_(nullptr) {
    // Both callbacks are registered by now; no event arrives before the lookups end,
    // since Steam delivers events only inside SteamAPI_RunCallbacks.
    JavaTargetLookup lookup(env, target);
    target_ = lookup.globalRef(vm);
    userStatsReceivedMethod_ = lookup.method("UserStatsReceived_t", "()V");
    joinRequestedMethod_ =
        lookup.method("GameRichPresenceJoinRequested_t", "(Ljava/lang/String;)V");
    liveCallbackTests.push_back(this);
}

CallbackTest::~CallbackTest() {
    liveCallbackTests.erase(std::remove(liveCallbackTests.begin(), liveCallbackTests.end(), this),
                            liveCallbackTests.end());
}

void CallbackTest::runUserStatsReceived(UserStatsReceived_t& event) {
    if ((userStatsReceived_.m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered) != 0) {
        userStatsReceived_.Run(&event);
    }
}

// The record is not read: a failed request, or one for another user, gives the same
// call as a successful one.
void CallbackTest::onUserStatsReceived(UserStatsReceived_t*) {
    JavaUpcall call(target_.vm());
    if (target_.get() == nullptr || userStatsReceivedMethod_ == nullptr || !call.ready()) return;
    call.env()->CallVoidMethod(target_.get(), userStatsReceivedMethod_);
}

// Passes the connect text only; the friend's Steam ID is not passed.
void CallbackTest::onJoinRequested(GameRichPresenceJoinRequested_t* event) {
    char connect[sizeof event->m_rgchConnect + 1];
    copyFieldText(connect, event->m_rgchConnect);
    JavaUpcall call(target_.vm());
    if (target_.get() == nullptr || joinRequestedMethod_ == nullptr || !call.ready()) return;
    LocalJavaString text(call.env(), connect);
    if (text.get() == nullptr) return;  // no Java call; the OutOfMemoryError stays pending
    call.env()->CallVoidMethod(target_.get(), joinRequestedMethod_, text.get());
}

}  // namespace quellink

using quellink::CallbackRegistry;
using quellink::currentRegistry;

extern "C" {

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_CreateCallback(JNIEnv* env, jobject target) {
    JavaVM* vm = nullptr;
    if (env->GetJavaVM(&vm) != JNI_OK) vm = nullptr;
    auto registry = std::make_unique<CallbackRegistry>(env, target, vm);
    // A registry made current earlier is given up on purpose, not destroyed: it stays
    // registered with Steam, and its object keeps receiving events until the process
    // ends.
    currentRegistry().release();
    currentRegistry() = std::move(registry);
}

// Unregisters the registry's callbacks, releases its relay's request and deletes its
// references to the Java object, as the registry's parts end.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_DeleteCallback(JNIEnv*, jobject) {
    currentRegistry().reset();
}

}  // extern "C"
