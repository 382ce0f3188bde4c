// The server-list relay: the conversions of ServerResponded's arguments, the
// filters, the tracked request through its table of states, and the Java call
// sequence of the three operations.
#include "server_list_relay.h"

#include "fake_jni.h"
#include "fake_steam.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using quellink::collectServerResponded;
using quellink::ServerListFilters;
using quellink::ServerListKind;
using quellink::ServerListResponseCallback;
using quellink::ServerRespondedArgs;

namespace {

gameserveritem_t server(uint32 ip, uint16 port, const char* name, AppId_t app = 480) {
    gameserveritem_t item;
    item.m_NetAdr.Init(ip, static_cast<uint16>(port + 1), port);
    item.SetName(name);
    item.m_nAppID = app;
    return item;
}

HServerListRequest handle(std::uintptr_t value) {
    return reinterpret_cast<HServerListRequest>(value);
}

using Lines = std::vector<std::string>;

Lines steamCalls() { return fake::steam.calls; }

}  // namespace

TEST(ServerRespondedArgs, EmptyNameIsTheAddressTextOfIpAndConnectionPort) {
    gameserveritem_t item = server(0xC0A80114u, 27016, "");
    ServerRespondedArgs args;
    ASSERT_TRUE(collectServerResponded(item, 480, args));
    EXPECT_STREQ(args.name, "192.168.1.20:27016");
    EXPECT_STREQ(args.address, "192.168.1.20:27016");
    EXPECT_EQ(args.ip, 3232235796LL) << "widened without sign";
}

TEST(ServerRespondedArgs, PortsAboveShortRangeArriveNegativeWhileTheTextShowsThem) {
    gameserveritem_t item = server(0x0A000001u, 40000, "Keep");
    item.m_NetAdr.SetQueryPort(65535);
    ServerRespondedArgs args;
    ASSERT_TRUE(collectServerResponded(item, 480, args));
    EXPECT_EQ(args.connectionPort, -25536);
    EXPECT_EQ(args.queryPort, -1);
    EXPECT_STREQ(args.address, "10.0.0.1:40000");
    EXPECT_STREQ(args.name, "Keep");
}

TEST(ServerRespondedArgs, FieldsAndFlagsPassAsTheyAre) {
    gameserveritem_t item = server(0xFFFFFFFFu, 27015, "Full house");
    item.m_nPlayers = 31;
    item.m_nMaxPlayers = 32;
    item.m_nPing = 87;
    item.m_bPassword = true;
    item.m_bSecure = false;
    std::strcpy(item.m_szGameTags, "pvp,eu");
    ServerRespondedArgs args;
    ASSERT_TRUE(collectServerResponded(item, 480, args));
    EXPECT_EQ(args.ip, 4294967295LL);
    EXPECT_EQ(args.players, 31);
    EXPECT_EQ(args.maxPlayers, 32);
    EXPECT_EQ(args.ping, 87);
    EXPECT_EQ(args.password, JNI_TRUE);
    EXPECT_EQ(args.secure, JNI_FALSE);
    EXPECT_STREQ(args.tags, "pvp,eu");
}

TEST(ServerRespondedArgs, ServerOfAnotherApplicationIsNotCollected) {
    gameserveritem_t item = server(0x01020304u, 27015, "Elsewhere", 730);
    ServerRespondedArgs args;
    EXPECT_FALSE(collectServerResponded(item, 480, args));
}

TEST(ServerRespondedArgs, TextFieldsWithoutTerminatorEndWithTheirField) {
    gameserveritem_t item = server(0x01020304u, 27015, "x");
    std::memset(item.m_szServerName, 'n', sizeof item.m_szServerName);
    std::memset(item.m_szGameTags, 't', sizeof item.m_szGameTags);
    ServerRespondedArgs args;
    ASSERT_TRUE(collectServerResponded(item, 480, args));
    EXPECT_EQ(std::string(args.name), std::string(64, 'n'));
    EXPECT_EQ(std::string(args.tags), std::string(128, 't'));
}

TEST(ServerListFilters, GameDirectoryAndSecureZeroFilledBehindTheText) {
    ServerListFilters filters;
    EXPECT_EQ(ServerListFilters::count, 2u);
    MatchMakingKeyValuePair_t* entries = *filters.list();
    EXPECT_EQ(entries, filters.entries);
    EXPECT_STREQ(entries[0].m_szKey, "gamedir");
    EXPECT_STREQ(entries[0].m_szValue, "zarnkeepserver");
    EXPECT_STREQ(entries[1].m_szKey, "secure");
    EXPECT_STREQ(entries[1].m_szValue, "1");
    for (const auto& entry : filters.entries) {
        for (std::size_t i = std::strlen(entry.m_szKey); i < sizeof entry.m_szKey; ++i)
            ASSERT_EQ(entry.m_szKey[i], '\0');
        for (std::size_t i = std::strlen(entry.m_szValue); i < sizeof entry.m_szValue; ++i)
            ASSERT_EQ(entry.m_szValue[i], '\0');
    }
}

class RelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::resetSteam();
        fakejni::reset();
        fakejni::settings().detachAnswer = JNI_ERR;  // Steam runs callbacks in a native method
        jobject api = fakejni::makeInstance("Pellux/Steam_api");
        relay_ = new ServerListResponseCallback(fakejni::env(), api, fakejni::vm());
        fakejni::clearRecords();
    }
    void TearDown() override {
        // The relay ends inside DeleteCallback, on a Java thread the VM knows.
        fakejni::settings().getEnvAnswer = JNI_OK;
        delete relay_;
        EXPECT_EQ(fakejni::violations(), Lines{}) << "a JNI call with an exception pending";
        EXPECT_EQ(fakejni::liveLocalReferences(), 0) << "a local reference was left behind";
        EXPECT_EQ(fakejni::liveGlobalReferences(), 0);
    }

    ServerListResponseCallback* relay_ = nullptr;
};

TEST_F(RelayTest, EveryKindButLanSendsTheTwoFiltersWithTheAppIdAndTheRelay) {
    struct Case {
        ServerListKind kind;
        const char* call;
    } cases[] = {{ServerListKind::internet, "RequestInternetServerList 480"},
                 {ServerListKind::favorites, "RequestFavoritesServerList 480"},
                 {ServerListKind::history, "RequestHistoryServerList 480"},
                 {ServerListKind::friends, "RequestFriendsServerList 480"}};
    for (const Case& c : cases) {
        fake::steam.calls.clear();
        relay_->startRequest(c.kind);
        EXPECT_EQ(fake::steam.calls.back(), c.call);
        ASSERT_FALSE(fake::steam.lastFiltersNull) << c.call;
        EXPECT_EQ(fake::steam.lastFilterCount, 2u);
        ASSERT_EQ(fake::steam.lastFilters.size(), 2u);
        EXPECT_EQ(fake::steam.lastFilters[0].key, "gamedir");
        EXPECT_EQ(fake::steam.lastFilters[0].value, "zarnkeepserver");
        EXPECT_EQ(fake::steam.lastFilters[1].key, "secure");
        EXPECT_EQ(fake::steam.lastFilters[1].value, "1");
        EXPECT_EQ(fake::steam.lastResponse, relay_);
    }
    fake::steam.appId = 4000000000u;
    relay_->startRequest(ServerListKind::lan);
    EXPECT_EQ(fake::steam.calls.back(), "RequestLANServerList 4000000000");
    EXPECT_TRUE(fake::steam.lastFiltersNull);
}

TEST_F(RelayTest, TwoRequestsInARowReleaseTheFirstBeforeTheSecondStarts) {
    EXPECT_EQ(relay_->trackedRequest(), nullptr);
    EXPECT_EQ(relay_->startRequest(ServerListKind::internet), handle(0x100));
    EXPECT_EQ(relay_->startRequest(ServerListKind::lan), handle(0x101));
    EXPECT_EQ(relay_->trackedRequest(), handle(0x101));
    EXPECT_EQ(steamCalls(),
              (Lines{"GetAppID", "RequestInternetServerList 480", "ReleaseRequest 0x100",
                     "GetAppID", "RequestLANServerList 480"}));
}

TEST_F(RelayTest, CancelReleasesOnceAndStillReleasesAfterRefreshComplete) {
    relay_->startRequest(ServerListKind::history);
    relay_->RefreshComplete(handle(0x100), eServerResponded);
    EXPECT_EQ(relay_->trackedRequest(), handle(0x100))
        << "the end of the list keeps the request tracked";
    fake::steam.calls.clear();
    relay_->releaseTrackedRequest();
    relay_->releaseTrackedRequest();
    EXPECT_EQ(steamCalls(), Lines{"ReleaseRequest 0x100"});
    EXPECT_EQ(relay_->trackedRequest(), nullptr);
}

TEST_F(RelayTest, WithoutSteamNothingStartsAndTheTrackedRequestStays) {
    relay_->startRequest(ServerListKind::internet);
    fake::steam.calls.clear();
    fake::steam.running = false;
    EXPECT_EQ(relay_->startRequest(ServerListKind::friends), nullptr);
    relay_->releaseTrackedRequest();
    fake::steam.running = true;
    fake::steam.utilsMissing = true;
    EXPECT_EQ(relay_->startRequest(ServerListKind::lan), nullptr);
    EXPECT_EQ(steamCalls(), Lines{});
    EXPECT_EQ(relay_->trackedRequest(), handle(0x100));
}

TEST_F(RelayTest, ZeroHandleFromSteamIsTrackedAndLeavesNothingToRelease) {
    fake::steam.zeroHandles = true;
    EXPECT_EQ(relay_->startRequest(ServerListKind::internet), nullptr);
    fake::steam.calls.clear();
    relay_->releaseTrackedRequest();
    relay_->startRequest(ServerListKind::internet);
    EXPECT_EQ(steamCalls(), (Lines{"GetAppID", "RequestInternetServerList 480"}));
}

TEST_F(RelayTest, RespondedServerBecomesOneJavaCallWithElevenValues) {
    gameserveritem_t item = server(0xC0A80114u, 40000, "");
    item.m_NetAdr.SetQueryPort(27016);
    item.m_nPlayers = 3;
    item.m_nMaxPlayers = 16;
    item.m_bPassword = true;
    item.m_nPing = 42;
    item.m_bSecure = true;
    std::strcpy(item.m_szGameTags, "coop");
    fake::steam.details[{handle(0x100), 7}] = item;

    relay_->ServerResponded(handle(0x100), 7);

    EXPECT_EQ(steamCalls(), (Lines{"GetServerDetails 0x100 7", "GetAppID"}));
    ASSERT_EQ(fakejni::javaCalls().size(), 1u);
    const fakejni::JavaCall& call = fakejni::javaCalls()[0];
    EXPECT_EQ(call.method, "ServerResponded");
    // name, address, ip, connection port, players, max players, password, ping,
    // secure, query port, tags
    EXPECT_EQ(call.arguments,
              (Lines{"\"192.168.1.20:40000\"", "\"192.168.1.20:40000\"", "3232235796", "-25536",
                     "3", "16", "true", "42", "true", "27016", "\"coop\""}));
    EXPECT_EQ(fakejni::callLog().front(), "GetEnv 1.6");
    EXPECT_EQ(fakejni::callLog().back(), "DetachCurrentThread");
    EXPECT_EQ(fakejni::count("DeleteLocalRef"), 3);
}

TEST_F(RelayTest, MissingRecordOrOtherAppMakesNoJavaCallButEndsTheSequence) {
    fake::steam.details[{handle(0x100), 1}] = server(0x01020304u, 27015, "Elsewhere", 730);
    relay_->ServerResponded(handle(0x100), 0);  // no record
    relay_->ServerResponded(handle(0x100), 1);
    EXPECT_EQ(fakejni::javaCalls().size(), 0u);
    EXPECT_EQ(fakejni::count("NewStringUTF"), 0);
    EXPECT_EQ(fakejni::count("GetEnv 1.6"), 2);
    EXPECT_EQ(fakejni::count("DetachCurrentThread"), 2);
}

TEST_F(RelayTest, WithoutSteamAResponseTouchesNeitherSteamNorTheVm) {
    fake::steam.running = false;
    relay_->ServerResponded(handle(0x100), 0);
    EXPECT_EQ(steamCalls(), Lines{});
    EXPECT_EQ(fakejni::callLog(), Lines{});
}

TEST_F(RelayTest, FailedServerAndEndOfListCallTheirMethodsWithoutArguments) {
    relay_->ServerFailedToRespond(handle(0x100), 3);
    relay_->RefreshComplete(handle(0x100), eNoServersListedOnMasterServer);
    ASSERT_EQ(fakejni::javaCalls().size(), 2u);
    EXPECT_EQ(fakejni::javaCalls()[0].method, "ServerFailedToRespond");
    EXPECT_EQ(fakejni::javaCalls()[1].method, "RefreshComplete");
    EXPECT_EQ(fakejni::count("DetachCurrentThread"), 2);
    EXPECT_EQ(steamCalls(), Lines{});
}

TEST_F(RelayTest, ThreadUnknownToTheVmIsAttachedWithoutArgumentsAndDetachedAgain) {
    fakejni::settings().getEnvAnswer = JNI_EDETACHED;
    relay_->RefreshComplete(handle(0x100), eServerResponded);
    EXPECT_EQ(fakejni::callLog(),
              (Lines{"GetEnv 1.6", "AttachCurrentThread", "ExceptionCheck",
                     "CallVoidMethod Pellux/Steam_api.RefreshComplete()", "DetachCurrentThread"}));
    fakejni::clearRecords();
    fakejni::settings().attachAnswer = JNI_ERR;
    relay_->RefreshComplete(handle(0x100), eServerResponded);
    EXPECT_EQ(fakejni::javaCalls().size(), 0u) << "no JNIEnv, no call";
}

TEST_F(RelayTest, JavaThatThrowsOnEveryServerStillGetsEveryServerAndOneExceptionStaysPending) {
    for (int i = 0; i < 3; ++i)
        fake::steam.details[{handle(0x100), i}] = server(0x01020304u, 27015, "s");
    fakejni::settings().javaThrows = true;
    for (int i = 0; i < 3; ++i) relay_->ServerResponded(handle(0x100), i);
    relay_->ServerFailedToRespond(handle(0x100), 3);
    relay_->RefreshComplete(handle(0x100), eServerResponded);
    EXPECT_EQ(fakejni::javaCalls().size(), 5u);
    EXPECT_EQ(fakejni::count("ExceptionDescribe"), 4) << "each earlier exception reported once";
    EXPECT_EQ(fakejni::takePendingException(),
              "java.lang.RuntimeException: thrown by RefreshComplete")
        << "the last one surfaces when the pump returns";
}

TEST_F(RelayTest, NameThatCannotBeMadeMakesNoJavaCall) {
    fake::steam.details[{handle(0x100), 0}] = server(0x01020304u, 27015, "s");
    fakejni::settings().outOfMemory = true;
    relay_->ServerResponded(handle(0x100), 0);
    EXPECT_EQ(fakejni::javaCalls().size(), 0u);
    EXPECT_EQ(fakejni::count("NewStringUTF"), 1);
    EXPECT_EQ(fakejni::takePendingException(), "java.lang.OutOfMemoryError: NewStringUTF")
        << "the OutOfMemoryError is left to Java";
}
