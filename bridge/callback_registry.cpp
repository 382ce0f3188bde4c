// CreateCallback and DeleteCallback, the process-wide registry slot, and the two
// event handlers of CallbackTest.
#include "callback_registry.h"

#include "Pellux_Steam_api.h"
#include "field_text.h"
#include "java_upcall.h"

#include <algorithm>
#include <vector>

namespace quellink {

namespace {

// Plain shared data: CreateCallback, DeleteCallback, the server-list exports and the
// pump never overlap (the Java caller serialises them).
CallbackRegistry* currentRegistry = nullptr;

// Every CallbackTest alive, oldest first: a registry replaced by a later
// CreateCallback stays alive and registered with Steam.
std::vector<CallbackTest*> liveCallbackTests;

bool alive(const CallbackTest* callbacks) {
    return std::find(liveCallbackTests.begin(), liveCallbackTests.end(), callbacks) !=
           liveCallbackTests.end();
}

}  // namespace

CallbackRegistry* CurrentCallbackRegistry() { return currentRegistry; }

void RunUserStatsReceived(UserStatsReceived_t& event) {
    // A Java handler may delete a registry (DeleteCallback) while this runs.
    const std::vector<CallbackTest*> targets = liveCallbackTests;
    for (CallbackTest* callbacks : targets) {
        if (alive(callbacks)) callbacks->runUserStatsReceived(event);
    }
}

CallbackTest::CallbackTest(JNIEnv* env, jobject target, JavaVM* vm)
    : userStatsReceived_(this, &CallbackTest::onUserStatsReceived),
      joinRequested_(this, &CallbackTest::onJoinRequested), vm_(vm), target_(nullptr),
      userStatsReceivedMethod_(nullptr), joinRequestedMethod_(nullptr) {
    // Both callbacks are registered by now; no event arrives before the lookups end,
    // since Steam delivers events only inside SteamAPI_RunCallbacks.
    JavaTargetLookup lookup(env, target);
    target_ = lookup.newGlobalRef();
    userStatsReceivedMethod_ = lookup.method("UserStatsReceived_t", "()V");
    joinRequestedMethod_ = lookup.method("GameRichPresenceJoinRequested_t", "(Ljava/lang/String;)V");
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

void CallbackTest::releaseJavaTarget(JNIEnv* env) {
    if (target_ != nullptr) env->DeleteGlobalRef(target_);
    target_ = nullptr;
}

// The record is not read: a failed request, or one for another user, gives the same
// call as a successful one.
void CallbackTest::onUserStatsReceived(UserStatsReceived_t*) {
    JavaUpcall call(vm_);
    if (target_ == nullptr || userStatsReceivedMethod_ == nullptr || !call.ready()) return;
    call.env()->CallVoidMethod(target_, userStatsReceivedMethod_);
}

// Passes the connect text only; the friend's Steam ID is not passed.
void CallbackTest::onJoinRequested(GameRichPresenceJoinRequested_t* event) {
    char connect[sizeof event->m_rgchConnect + 1];
    copyFieldText(connect, event->m_rgchConnect);
    JavaUpcall call(vm_);
    if (target_ == nullptr || joinRequestedMethod_ == nullptr || !call.ready()) return;
    LocalJavaString text(call.env(), connect);
    if (text.get() == nullptr) return;  // no Java call; the OutOfMemoryError stays pending
    call.env()->CallVoidMethod(target_, joinRequestedMethod_, text.get());
}

}  // namespace quellink

using quellink::CallbackRegistry;
using quellink::currentRegistry;

extern "C" {

// A registry made current earlier is not touched: it stays registered with Steam, and
// its object keeps receiving events until the process ends.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_CreateCallback(JNIEnv* env, jobject target) {
    JavaVM* vm = nullptr;
    if (env->GetJavaVM(&vm) != JNI_OK) vm = nullptr;
    currentRegistry = new CallbackRegistry(env, target, vm);
}

JNIEXPORT void JNICALL Java_Pellux_Steam_1api_DeleteCallback(JNIEnv* env, jobject) {
    CallbackRegistry* registry = currentRegistry;
    if (registry == nullptr) return;
    // Steam must never call the relay once it is freed.
    registry->serverListResponse.releaseTrackedRequest();
    registry->callbackTest.releaseJavaTarget(env);
    registry->serverListResponse.releaseJavaTarget(env);
    currentRegistry = nullptr;
    delete registry;
}

}  // extern "C"
