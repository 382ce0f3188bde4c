// Callback registration and delivery inside SteamAPI_RunCallbacks.
#include "support.h"

#include <memory>

namespace steamsim_test {
namespace {

using Callbacks = Simulated;

// Records what its two callbacks receive.
struct Listener {
    Listener() : stats(this, &Listener::onStats), join(this, &Listener::onJoin) {}
    void onStats(UserStatsReceived_t* record) { statsRecords.push_back(*record); }
    void onJoin(GameRichPresenceJoinRequested_t* record) {
        connects.push_back(record->m_rgchConnect);
    }

    std::vector<UserStatsReceived_t> statsRecords;
    std::vector<std::string> connects;
    CCallback<Listener, UserStatsReceived_t, false> stats;
    CCallback<Listener, GameRichPresenceJoinRequested_t, false> join;
};

TEST_F(Callbacks, EventsArriveOnlyInsideThePumpAndOnce) {
    start("[steam]\napp_id = 4000\nsteam_id = 18446744073709551615\n[stats]\nresult = 2\n");
    Listener listener;
    ASSERT_TRUE(SteamUserStats()->RequestCurrentStats());
    EXPECT_TRUE(listener.statsRecords.empty());

    SteamAPI_RunCallbacks();
    ASSERT_EQ(listener.statsRecords.size(), 1u);
    const uint64 game = listener.statsRecords[0].m_nGameID;  // packed: no reference to it
    EXPECT_EQ(game, 4000u);
    EXPECT_EQ(listener.statsRecords[0].m_eResult, k_EResultFail);
    EXPECT_EQ(listener.statsRecords[0].m_steamIDUser.ConvertToUint64(), 18446744073709551615ull);

    SteamAPI_RunCallbacks();
    EXPECT_EQ(listener.statsRecords.size(), 1u);
    EXPECT_EQ(
        logLinesStarting("=> "),
        std::vector<std::string>{
            "=> UserStatsReceived_t callback=1 game=4000 result=2 user=18446744073709551615"});
}

TEST_F(Callbacks, RegisteredFlagFollowsRegistrationAndTheDestructorHonoursIt) {
    start();
    {
        Listener listener;
        EXPECT_EQ(listener.stats.m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered, 1);
        EXPECT_EQ(listener.stats.GetICallback(), 1101);
        EXPECT_EQ(listener.join.GetICallback(), 337);
        EXPECT_EQ(steamsim_callback_count(1101), 1);

        listener.stats.Unregister();
        EXPECT_EQ(listener.stats.m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered, 0);
        EXPECT_EQ(steamsim_callback_count(1101), 0);
    }
    // The destructor unregisters only the callback that was still registered.
    EXPECT_EQ(steamsim_callback_count(337), 0);
    EXPECT_EQ(logLinesStarting("SteamAPI_UnregisterCallback"),
              (std::vector<std::string>{"SteamAPI_UnregisterCallback callback=1",
                                        "SteamAPI_UnregisterCallback callback=2"}));
}

TEST_F(Callbacks, UnregisteredCallbacksReceiveNothing) {
    start();
    Listener listener;
    listener.stats.Unregister();
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();
    EXPECT_TRUE(listener.statsRecords.empty());
}

TEST_F(Callbacks, EveryRegisteredObjectReceivesTheEvent) {
    start();
    Listener first;
    Listener second;
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();
    EXPECT_EQ(first.statsRecords.size(), 1u);
    EXPECT_EQ(second.statsRecords.size(), 1u);
}

// Destroys another listener from inside its handler.
struct Destroyer {
    Destroyer() : stats(this, &Destroyer::onStats) {}
    void onStats(UserStatsReceived_t*) { victim.reset(); }
    std::unique_ptr<Listener> victim;
    CCallback<Destroyer, UserStatsReceived_t> stats;
};

TEST_F(Callbacks, ACallbackFreedByAnEarlierHandlerIsNotRun) {
    start();
    Destroyer destroyer;
    destroyer.victim = std::make_unique<Listener>();
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();  // would touch freed memory if the victim were still called
    EXPECT_EQ(destroyer.victim, nullptr);
    EXPECT_EQ(steamsim_callback_count(1101), 1);
}

// Asks for the stats again from inside its handler.
struct Requester {
    Requester() : stats(this, &Requester::onStats) {}
    void onStats(UserStatsReceived_t*) {
        ++calls;
        SteamUserStats()->RequestCurrentStats();
    }
    int calls = 0;
    CCallback<Requester, UserStatsReceived_t> stats;
};

TEST_F(Callbacks, AnEventQueuedByAHandlerWaitsForTheNextPump) {
    start();
    Requester requester;
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();
    EXPECT_EQ(requester.calls, 1);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(requester.calls, 2);
}

TEST_F(Callbacks, GameServerCallbacksAreNotDeliveredByTheClientPump) {
    start();
    struct Server {
        Server() : stats(this, &Server::onStats) {}
        void onStats(UserStatsReceived_t*) { ++calls; }
        int calls = 0;
        CCallback<Server, UserStatsReceived_t, true> stats;
    } server;
    EXPECT_EQ(server.stats.m_nCallbackFlags, CCallbackBase::k_ECallbackFlagsGameServer |
                                                 CCallbackBase::k_ECallbackFlagsRegistered);
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();
    EXPECT_EQ(server.calls, 0);
}

// A callback object that reports a record size of its own.
class Sized final : public CCallbackBase {
public:
    explicit Sized(int size) : size_(size) {
        SteamAPI_RegisterCallback(this, UserStatsReceived_t::k_iCallback);
    }
    ~Sized() { SteamAPI_UnregisterCallback(this); }
    void Run(void*) override { ++runs; }
    void Run(void*, bool, SteamAPICall_t) override { ++runs; }
    int GetCallbackSizeBytes() override { return size_; }
    int runs = 0;

private:
    int size_;
};

TEST_F(Callbacks, RecordsHaveThePlatformSizeAndAMismatchedObjectGetsNothing) {
    start();
    Sized right(static_cast<int>(sizeof(UserStatsReceived_t)));
    Sized wrong(24 + 20 -
                static_cast<int>(sizeof(UserStatsReceived_t)));  // the other platform's size
    SteamUserStats()->RequestCurrentStats();
    ::testing::internal::CaptureStderr();
    SteamAPI_RunCallbacks();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(right.runs, 1);
    EXPECT_EQ(wrong.runs, 0);
    EXPECT_NE(err.find("steamsim: callback 2 for UserStatsReceived_t expects"), std::string::npos)
        << err;
}

TEST_F(Callbacks, BothRunOverloadsReachTheHandler) {
    start();
    Listener listener;
    UserStatsReceived_t record{};
    record.m_nGameID = 7;
    CCallbackBase& base = listener.stats;
    base.Run(&record);
    base.Run(&record, true, 99);
    ASSERT_EQ(listener.statsRecords.size(), 2u);
    const uint64 game = listener.statsRecords[1].m_nGameID;
    EXPECT_EQ(game, 7u);
    EXPECT_EQ(base.GetCallbackSizeBytes(), static_cast<int>(sizeof(UserStatsReceived_t)));
}

TEST_F(Callbacks, ScenarioJoinRequestsArriveAtTheirPumpWithTheWholeConnectText) {
    const std::string connect(255, 'c');
    start("[join.1]\nfriend = 76561197960287931\nconnect = " + connect +
          "\npump = 2\n[join.2]\nconnect =\n");
    Listener listener;
    SteamAPI_RunCallbacks();
    EXPECT_EQ(listener.connects, std::vector<std::string>{""});
    SteamAPI_RunCallbacks();
    EXPECT_EQ(listener.connects, (std::vector<std::string>{"", connect}));
    EXPECT_EQ(logLinesStarting("=> ").back(),
              "=> GameRichPresenceJoinRequested_t callback=2 friend=76561197960287931 connect=\"" +
                  connect + "\"");
}

TEST_F(Callbacks, RegistrationsOutliveAScenarioChange) {
    start();
    Listener listener;
    start("[stats]\nresult = 3\n");
    EXPECT_EQ(steamsim_callback_count(1101), 1);
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_RunCallbacks();
    ASSERT_EQ(listener.statsRecords.size(), 1u);
    EXPECT_EQ(listener.statsRecords[0].m_eResult, k_EResultNoConnection);
    // Objects registered later are numbered after those still registered.
    Listener later;
    EXPECT_EQ(logLinesStarting("SteamAPI_RegisterCallback").front(),
              "SteamAPI_RegisterCallback callback=3 id=1101");
}

TEST_F(Callbacks, ShutdownDropsQueuedEvents) {
    start();
    Listener listener;
    SteamUserStats()->RequestCurrentStats();
    SteamAPI_Shutdown();
    ASSERT_TRUE(SteamAPI_Init());
    SteamAPI_RunCallbacks();
    EXPECT_TRUE(listener.statsRecords.empty());
}

}  // namespace
}  // namespace steamsim_test
