// CreateCallback and DeleteCallback through their exports, and the two event
// handlers as Steam runs them: through the callback objects it was given.
#include "callback_registry.h"

#include "Pellux_Steam_api.h"
#include "fake_jni.h"
#include "fake_steam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// Steam's delivery of one event to every object registered for it.
template <class Event>
void deliver(Event& event) {
    std::vector<CCallbackBase*> targets;
    for (const auto& entry : fake::steam.registered)
        if (entry.second == Event::k_iCallback) targets.push_back(entry.first);
    for (CCallbackBase* callback : targets) callback->Run(&event);
}

GameRichPresenceJoinRequested_t joinRequest(const std::string& connect) {
    GameRichPresenceJoinRequested_t event;
    std::memset(event.m_rgchConnect, 0, sizeof event.m_rgchConnect);
    event.m_steamIDFriend = CSteamID(76561197960287930ull);
    std::memcpy(event.m_rgchConnect, connect.data(), std::min(connect.size(), sizeof event.m_rgchConnect));
    return event;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::resetSteam();
        fake::resetJvm();
    }
    void TearDown() override {
        Java_Pellux_Steam_1api_DeleteCallback(fake::env(), nullptr);
        EXPECT_EQ(quellink::CurrentCallbackRegistry(), nullptr);
        EXPECT_EQ(fake::jvm.violations, Calls{}) << "a JNI call with an exception pending";
    }

    void create() { Java_Pellux_Steam_1api_CreateCallback(fake::env(), fake::target()); }
    void remove() { Java_Pellux_Steam_1api_DeleteCallback(fake::env(), nullptr); }
};

}  // namespace

TEST_F(RegistryTest, CreateRegistersBothEventsAndDeleteUnregistersJoinRequestFirst) {
    create();
    ASSERT_NE(quellink::CurrentCallbackRegistry(), nullptr);
    EXPECT_EQ(fake::steam.calls, (Calls{"RegisterCallback 1101", "RegisterCallback 337"}));
    EXPECT_EQ(fake::jvm.liveGlobalRefs, 2) << "one reference for the event handlers, one for the relay";
    EXPECT_EQ(fake::count("GetMethodID"), 5);
    EXPECT_EQ(fake::jvm.liveLocalRefs, 0);
    CCallbackBase* stats = fake::registeredCallback(1101);
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->GetCallbackSizeBytes(), static_cast<int>(sizeof(UserStatsReceived_t)));
    EXPECT_EQ(fake::registeredCallback(337)->GetCallbackSizeBytes(), 264);

    fake::steam.calls.clear();
    remove();
    EXPECT_EQ(fake::steam.calls, (Calls{"UnregisterCallback 337", "UnregisterCallback 1101"}));
    EXPECT_EQ(fake::jvm.liveGlobalRefs, 0) << "both global references deleted";
    EXPECT_EQ(quellink::CurrentCallbackRegistry(), nullptr);
}

TEST_F(RegistryTest, DeleteWithoutRegistryAndTwiceDoesNothing) {
    remove();
    create();
    remove();
    fake::steam.calls.clear();
    fake::jvm.events.clear();
    remove();
    EXPECT_EQ(fake::steam.calls, Calls{});
    EXPECT_EQ(fake::jvm.events, Calls{});
}

TEST_F(RegistryTest, StatisticsEventCallsJavaOnceWhateverItsResult) {
    create();
    UserStatsReceived_t failed{};
    failed.m_nGameID = 999;
    failed.m_eResult = k_EResultFail;
    failed.m_steamIDUser = CSteamID(1);
    deliver(failed);
    ASSERT_EQ(fake::jvm.calls.size(), 1u);
    EXPECT_EQ(fake::jvm.calls[0].method, "UserStatsReceived_t");
}

TEST_F(RegistryTest, JoinRequestPassesTheConnectTextWhole) {
    create();
    std::string longest(255, 'c');
    auto event = joinRequest(longest);
    deliver(event);
    auto empty = joinRequest("");
    deliver(empty);
    auto unterminated = joinRequest(std::string(256, 'u'));
    deliver(unterminated);
    ASSERT_EQ(fake::jvm.calls.size(), 3u);
    EXPECT_EQ(fake::jvm.calls[0].method, "GameRichPresenceJoinRequested_t");
    EXPECT_EQ(fake::jvm.calls[0].strings, Calls{longest});
    EXPECT_EQ(fake::jvm.calls[1].strings, Calls{""});
    EXPECT_EQ(fake::jvm.calls[2].strings, Calls{std::string(256, 'u')}) << "read no further than the field";
    EXPECT_EQ(fake::jvm.liveLocalRefs, 0);
}

TEST_F(RegistryTest, NoEventReachesJavaAfterDelete) {
    create();
    remove();
    EXPECT_EQ(fake::steam.registered.size(), 0u);
    UserStatsReceived_t stats{};
    deliver(stats);
    EXPECT_EQ(fake::jvm.calls.size(), 0u);
}

TEST_F(RegistryTest, SecondCreateKeepsTheFirstRegisteredAndDeleteRemovesOnlyTheNewer) {
    create();
    create();
    UserStatsReceived_t stats{};
    deliver(stats);
    auto join = joinRequest("+connect 1.2.3.4:27015");
    deliver(join);
    EXPECT_EQ(fake::jvm.calls.size(), 4u) << "each event reaches both objects";

    remove();
    fake::jvm.calls.clear();
    deliver(stats);
    EXPECT_EQ(fake::jvm.calls.size(), 1u) << "the earlier registry still receives events";
    EXPECT_EQ(quellink::CurrentCallbackRegistry(), nullptr);
    fake::steam.registered.clear();  // the earlier registry lives on; Steam forgets it here
}

TEST_F(RegistryTest, DeleteReleasesTheLiveRequestBeforeTheRelayIsFreed) {
    create();
    EXPECT_NE(Java_Pellux_Steam_1api_RequestInternetServerList(fake::env(), nullptr), 0);
    fake::steam.calls.clear();
    remove();
    EXPECT_EQ(fake::steam.calls,
              (Calls{"ReleaseRequest 0x100", "UnregisterCallback 337", "UnregisterCallback 1101"}));
}

TEST_F(RegistryTest, ServerListExportsWithoutRegistryStartNothing) {
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestLANServerList(fake::env(), nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestInternetServerList(fake::env(), nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestFavoriteServerList(fake::env(), nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestHistoryServerList(fake::env(), nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestFriendsServerList(fake::env(), nullptr), 0);
    Java_Pellux_Steam_1api_CancelServerListRequest(fake::env(), nullptr);
    EXPECT_EQ(fake::steam.calls, Calls{});
}

TEST_F(RegistryTest, MissingJavaMethodLeavesItsErrorPendingAndItsEventsCallNothing) {
    fake::jvm.missingMethods = {"GameRichPresenceJoinRequested_t"};
    create();
    ASSERT_NE(quellink::CurrentCallbackRegistry(), nullptr) << "the registry is built all the same";
    EXPECT_TRUE(fake::jvm.exceptionPending) << "NoSuchMethodError for Java";
    EXPECT_EQ(fake::jvm.violations, Calls{}) << "no JNI call with the error pending";
    fake::jvm.exceptionPending = false;  // Java has seen it

    auto join = joinRequest("+connect x");
    deliver(join);
    EXPECT_EQ(fake::jvm.calls.size(), 0u);
    EXPECT_EQ(fake::count("NewStringUTF"), 0);
}

TEST_F(RegistryTest, MissingJavaMethodsRaiseTheFirstErrorWhileEveryOtherMethodIsLookedUpAndCalled) {
    fake::jvm.missingMethods = {"UserStatsReceived_t", "ServerResponded"};
    create();
    EXPECT_EQ(fake::count("GetMethodID"), 5) << "the lookups go on after a missing method";
    EXPECT_TRUE(fake::jvm.exceptionPending);
    EXPECT_EQ(fake::jvm.exception, "NoSuchMethodError UserStatsReceived_t") << "the first error, raised again";
    EXPECT_EQ(fake::jvm.liveLocalRefs, 0) << "class and error references deleted";
    EXPECT_EQ(fake::jvm.liveGlobalRefs, 2);
    fake::jvm.exceptionPending = false;  // Java has seen it

    UserStatsReceived_t stats{};
    deliver(stats);
    auto join = joinRequest("+connect x");
    deliver(join);
    quellink::ServerListResponseCallback& relay = quellink::CurrentCallbackRegistry()->serverListResponse;
    relay.ServerFailedToRespond(nullptr, 0);
    relay.RefreshComplete(nullptr, eServerResponded);
    Calls methods;
    for (const fake::JavaCall& call : fake::jvm.calls) methods.push_back(call.method);
    EXPECT_EQ(methods, (Calls{"GameRichPresenceJoinRequested_t", "ServerFailedToRespond", "RefreshComplete"}));
}
