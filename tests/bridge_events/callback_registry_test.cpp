// CreateCallback and DeleteCallback through their exports, and the two event
// handlers as Steam runs them: through the callback objects it was given.
#include "callback_registry.h"

#include "Pellux_Steam_api.h"
#include "fake_jni.h"
#include "fake_steam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
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
    std::memcpy(event.m_rgchConnect, connect.data(),
                std::min(connect.size(), sizeof event.m_rgchConnect));
    return event;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::resetSteam();
        fakejni::reset();
        fakejni::settings().detachAnswer = JNI_ERR;  // Steam runs callbacks in a native method
        api_ = fakejni::makeInstance("Pellux/Steam_api");
    }
    void TearDown() override {
        Java_Pellux_Steam_1api_DeleteCallback(fakejni::env(), nullptr);
        EXPECT_EQ(quellink::currentCallbackRegistry(), nullptr);
        EXPECT_EQ(fakejni::violations(), Calls{}) << "a JNI call with an exception pending";
    }

    void create() { Java_Pellux_Steam_1api_CreateCallback(fakejni::env(), api_); }
    void remove() { Java_Pellux_Steam_1api_DeleteCallback(fakejni::env(), nullptr); }

    jobject api_ = nullptr;
};

}  // namespace

TEST_F(RegistryTest, CreateRegistersBothEventsAndDeleteUnregistersJoinRequestFirst) {
    create();
    ASSERT_NE(quellink::currentCallbackRegistry(), nullptr);
    EXPECT_EQ(fake::steam.calls, (Calls{"RegisterCallback 1101", "RegisterCallback 337"}));
    EXPECT_EQ(fakejni::liveGlobalReferences(), 2)
        << "one reference for the event handlers, one for the relay";
    EXPECT_EQ(fakejni::count("GetMethodID"), 5);
    EXPECT_EQ(fakejni::liveLocalReferences(), 0);
    CCallbackBase* stats = fake::registeredCallback(1101);
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->GetCallbackSizeBytes(), static_cast<int>(sizeof(UserStatsReceived_t)));
    EXPECT_EQ(fake::registeredCallback(337)->GetCallbackSizeBytes(), 264);

    fake::steam.calls.clear();
    remove();
    EXPECT_EQ(fake::steam.calls, (Calls{"UnregisterCallback 337", "UnregisterCallback 1101"}));
    EXPECT_EQ(fakejni::liveGlobalReferences(), 0) << "both global references deleted";
    EXPECT_EQ(quellink::currentCallbackRegistry(), nullptr);
}

TEST_F(RegistryTest, DeleteWithoutRegistryAndTwiceDoesNothing) {
    remove();
    create();
    remove();
    fake::steam.calls.clear();
    fakejni::clearRecords();
    remove();
    EXPECT_EQ(fake::steam.calls, Calls{});
    EXPECT_EQ(fakejni::callLog(), Calls{});
}

TEST_F(RegistryTest, StatisticsEventCallsJavaOnceWhateverItsResult) {
    create();
    UserStatsReceived_t failed{};
    failed.m_nGameID = 999;
    failed.m_eResult = k_EResultFail;
    failed.m_steamIDUser = CSteamID(1);
    deliver(failed);
    ASSERT_EQ(fakejni::javaCalls().size(), 1u);
    EXPECT_EQ(fakejni::javaCalls()[0].method, "UserStatsReceived_t");
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
    const std::vector<fakejni::JavaCall>& calls = fakejni::javaCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].method, "GameRichPresenceJoinRequested_t");
    EXPECT_EQ(calls[0].arguments, Calls{"\"" + longest + "\""});
    EXPECT_EQ(calls[1].arguments, Calls{"\"\""});
    EXPECT_EQ(calls[2].arguments, Calls{"\"" + std::string(256, 'u') + "\""})
        << "read no further than the field";
    EXPECT_EQ(fakejni::liveLocalReferences(), 0);
}

TEST_F(RegistryTest, NoEventReachesJavaAfterDelete) {
    create();
    remove();
    EXPECT_EQ(fake::steam.registered.size(), 0u);
    UserStatsReceived_t stats{};
    deliver(stats);
    EXPECT_EQ(fakejni::javaCalls().size(), 0u);
}

TEST_F(RegistryTest, CreateForAnotherReceiverKeepsTheFirstRegisteredAndDeleteRemovesOnlyTheNewer) {
    jobject newer = fakejni::makeInstance("Pellux/Steam_api");
    create();
    Java_Pellux_Steam_1api_CreateCallback(fakejni::env(), newer);
    UserStatsReceived_t stats{};
    deliver(stats);
    auto join = joinRequest("+connect 1.2.3.4:27015");
    deliver(join);
    EXPECT_EQ(fakejni::javaCalls().size(), 4u) << "each event reaches both objects";

    remove();
    fakejni::clearRecords();
    deliver(stats);
    EXPECT_EQ(fakejni::javaCalls().size(), 1u) << "the earlier registry still receives events";
    EXPECT_EQ(quellink::currentCallbackRegistry(), nullptr);
    EXPECT_EQ(quellink::liveCallbackRegistries(), 1u);
    create();  // the earlier receiver's registry is replaced by a current one, removed below
}

TEST_F(RegistryTest, CreateAgainForTheSameReceiverTearsDownItsEarlierRegistryFirst) {
    create();
    EXPECT_NE(Java_Pellux_Steam_1api_RequestInternetServerList(fakejni::env(), nullptr), 0);
    fake::steam.calls.clear();
    for (int i = 0; i < 4; ++i) create();
    EXPECT_EQ(fake::steam.calls[0], "ReleaseRequest 0x100");
    EXPECT_EQ(Calls(fake::steam.calls.begin() + 1, fake::steam.calls.begin() + 5),
              (Calls{"UnregisterCallback 337", "UnregisterCallback 1101", "RegisterCallback 1101",
                     "RegisterCallback 337"}))
        << "unregistered before the new registry registers";
    EXPECT_EQ(fake::steam.registered.size(), 2u);
    EXPECT_EQ(quellink::liveCallbackRegistries(), 1u);
    EXPECT_EQ(fakejni::liveGlobalReferences(), 2) << "the earlier registries' references deleted";

    UserStatsReceived_t stats{};
    deliver(stats);
    EXPECT_EQ(fakejni::javaCalls().size(), 1u) << "five CreateCallbacks, one event";
}

TEST_F(RegistryTest, ShutDownForgetsTheTrackedRequestOfEveryRegistry) {
    jobject newer = fakejni::makeInstance("Pellux/Steam_api");
    create();
    EXPECT_NE(Java_Pellux_Steam_1api_RequestInternetServerList(fakejni::env(), nullptr), 0);
    Java_Pellux_Steam_1api_CreateCallback(fakejni::env(), newer);
    EXPECT_NE(Java_Pellux_Steam_1api_RequestLANServerList(fakejni::env(), nullptr), 0);
    Java_Pellux_Steam_1api_SteamAPI_1ShutDown(fakejni::env(), nullptr);
    fake::steam.calls.clear();
    remove();
    create();
    remove();
    for (const std::string& call : fake::steam.calls)
        EXPECT_EQ(call.find("ReleaseRequest"), std::string::npos)
            << call << ": a request of the ended session reached Steam";
}

TEST_F(RegistryTest, ShutDownAndARegistryExportOfAnotherThreadDoNotOverlap) {
    create();
    EXPECT_NE(Java_Pellux_Steam_1api_RequestInternetServerList(fakejni::env(), nullptr), 0);
    std::future<void> deleted;
    bool deleteWaited = false;
    fake::steam.onShutdown = [&] {
        deleted = std::async(std::launch::async, [] {
            Java_Pellux_Steam_1api_DeleteCallback(fakejni::env(), nullptr);
        });
        deleteWaited =
            deleted.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout;
    };
    Java_Pellux_Steam_1api_SteamAPI_1ShutDown(fakejni::env(), nullptr);
    deleted.get();
    EXPECT_TRUE(deleteWaited) << "DeleteCallback freed the registry while ShutDown used it";
    EXPECT_EQ(quellink::currentCallbackRegistry(), nullptr);
    EXPECT_EQ(
        std::count(fake::steam.calls.begin(), fake::steam.calls.end(), "ReleaseRequest 0x100"), 0)
        << "the request Steam freed at shutdown";
}

TEST_F(RegistryTest, ProcessExitLeavesTheLiveRegistriesAsTheyAre) {
    // A daemon thread may still pump or register while the process exits: exit must
    // not unregister, release or free what it may be using.
    EXPECT_EXIT(
        {
            create();
            jobject other = fakejni::makeInstance("Pellux/Steam_api");
            Java_Pellux_Steam_1api_CreateCallback(fakejni::env(), other);
            fake::steam.unregisterEndsProcess = true;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RegistryTest, DeleteReleasesTheLiveRequestBeforeTheRelayIsFreed) {
    create();
    EXPECT_NE(Java_Pellux_Steam_1api_RequestInternetServerList(fakejni::env(), nullptr), 0);
    fake::steam.calls.clear();
    remove();
    EXPECT_EQ(fake::steam.calls,
              (Calls{"ReleaseRequest 0x100", "UnregisterCallback 337", "UnregisterCallback 1101"}));
}

TEST_F(RegistryTest, ServerListExportsWithoutRegistryStartNothing) {
    JNIEnv* env = fakejni::env();
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestLANServerList(env, nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestInternetServerList(env, nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestFavoriteServerList(env, nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestHistoryServerList(env, nullptr), 0);
    EXPECT_EQ(Java_Pellux_Steam_1api_RequestFriendsServerList(env, nullptr), 0);
    Java_Pellux_Steam_1api_CancelServerListRequest(env, nullptr);
    EXPECT_EQ(fake::steam.calls, Calls{});
}

TEST_F(RegistryTest, MissingJavaMethodLeavesItsErrorPendingAndItsEventsCallNothing) {
    fakejni::settings().missingMethods = {"GameRichPresenceJoinRequested_t"};
    create();
    ASSERT_NE(quellink::currentCallbackRegistry(), nullptr) << "the registry is built all the same";
    EXPECT_EQ(fakejni::violations(), Calls{}) << "no JNI call with the error pending";
    EXPECT_EQ(fakejni::takePendingException(),  // Java sees it
              "java.lang.NoSuchMethodError: GameRichPresenceJoinRequested_t");

    auto join = joinRequest("+connect x");
    deliver(join);
    EXPECT_EQ(fakejni::javaCalls().size(), 0u);
    EXPECT_EQ(fakejni::count("NewStringUTF"), 0);
}

TEST_F(RegistryTest, MissingJavaMethodsRaiseTheFirstErrorWhileEveryOtherMethodIsLookedUpAndCalled) {
    fakejni::settings().missingMethods = {"UserStatsReceived_t", "ServerResponded"};
    create();
    EXPECT_EQ(fakejni::count("GetMethodID"), 5) << "the lookups go on after a missing method";
    EXPECT_EQ(fakejni::liveLocalReferences(), 0) << "class and error references deleted";
    EXPECT_EQ(fakejni::liveGlobalReferences(), 2);
    EXPECT_EQ(fakejni::takePendingException(),  // Java sees it
              "java.lang.NoSuchMethodError: UserStatsReceived_t")
        << "the first error, raised again";

    UserStatsReceived_t stats{};
    deliver(stats);
    auto join = joinRequest("+connect x");
    deliver(join);
    quellink::ServerListResponseCallback& relay =
        quellink::currentCallbackRegistry()->serverListResponse;
    relay.ServerFailedToRespond(nullptr, 0);
    relay.RefreshComplete(nullptr, eServerResponded);
    Calls methods;
    for (const fakejni::JavaCall& call : fakejni::javaCalls()) methods.push_back(call.method);
    EXPECT_EQ(methods, (Calls{"GameRichPresenceJoinRequested_t", "ServerFailedToRespond",
                              "RefreshComplete"}));
}
