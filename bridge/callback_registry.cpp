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

// The live registries, oldest first, and the current one among them.
struct RegistrySet {
    locking::Mutex lock;
    std::vector<std::unique_ptr<CallbackRegistry>> live;
    CallbackRegistry* current = nullptr;
};

// Made on first use and never destroyed: a daemon thread may still pump or register
// while the process exits, and when it ends Steam's library and the Java VM may be
// gone already, so the registries alive then are left as they are rather than
// unregistered and released.
RegistrySet& registries() {
    static RegistrySet* const set = new RegistrySet();
    return *set;
}

bool alive(const CallbackRegistry* registry) {
    for (const auto& live : registries().live)
        if (live.get() == registry) return true;
    return false;
}

// Takes the registry out of the set and destroys it: unregistered from Steam, its
// tracked request released, its global references deleted. With the lock held.
void destroy(std::vector<std::unique_ptr<CallbackRegistry>>::iterator which) {
    RegistrySet& set = registries();
    std::unique_ptr<CallbackRegistry> registry = std::move(*which);
    set.live.erase(which);
    if (registry.get() == set.current) set.current = nullptr;
}

// Destroys the registry of receiver, if it has one. With the lock held.
void tearDownRegistryOf(JNIEnv* env, jobject receiver) {
    RegistrySet& set = registries();
    auto held = std::find_if(set.live.begin(), set.live.end(), [&](const auto& registry) {
        return registry->callbackTest.targets(env, receiver);
    });
    if (held != set.live.end()) destroy(held);
}

}  // namespace

std::unique_lock<locking::Mutex> lockRegistries() {
    return std::unique_lock<locking::Mutex>(registries().lock);
}

CallbackRegistry* currentCallbackRegistry() { return registries().current; }

std::size_t liveCallbackRegistries() { return registries().live.size(); }

void forgetTrackedRequests() {
    for (const auto& registry : registries().live)
        registry->serverListResponse.forgetTrackedRequest();
}

void runUserStatsReceived(UserStatsReceived_t& event) {
    // A Java handler may delete a registry (DeleteCallback) while this runs.
    std::vector<CallbackRegistry*> targets;
    {
        std::lock_guard<locking::Mutex> guard(registries().lock);
        for (const auto& registry : registries().live) targets.push_back(registry.get());
    }
    for (CallbackRegistry* registry : targets) {
        std::unique_lock<locking::Mutex> guard(registries().lock);
        if (!alive(registry)) continue;
        guard.unlock();
        registry->callbackTest.runUserStatsReceived(event);
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
}

CallbackTest::~CallbackTest() = default;

bool CallbackTest::targets(JNIEnv* env, jobject receiver) const {
    return target_.get() != nullptr && env->IsSameObject(target_.get(), receiver) == JNI_TRUE;
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

extern "C" {

// One registry per receiver: a receiver that called CreateCallback before (a client
// that reconnects after losing Steam) has its earlier registry torn down first, so no
// event reaches it twice and every reconnect costs the same. The registries of other
// receivers stay registered and keep receiving events.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_CreateCallback(JNIEnv* env, jobject target) {
    JavaVM* vm = nullptr;
    if (env->GetJavaVM(&vm) != JNI_OK) vm = nullptr;
    auto lock = quellink::lockRegistries();
    quellink::tearDownRegistryOf(env, target);
    auto registry = std::make_unique<quellink::CallbackRegistry>(env, target, vm);
    quellink::registries().current = registry.get();
    quellink::registries().live.push_back(std::move(registry));
}

// Unregisters the current registry's callbacks, releases its relay's request and
// deletes its references to the Java object, as the registry's parts end.
JNIEXPORT void JNICALL Java_Pellux_Steam_1api_DeleteCallback(JNIEnv*, jobject) {
    auto lock = quellink::lockRegistries();
    quellink::RegistrySet& set = quellink::registries();
    auto current = std::find_if(set.live.begin(), set.live.end(), [&](const auto& registry) {
        return registry.get() == set.current;
    });
    if (current != set.live.end()) quellink::destroy(current);
}

}  // extern "C"
