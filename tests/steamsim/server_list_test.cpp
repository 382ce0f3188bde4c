// Server-list requests: delivery, request lifetime, filters.
#include "support.h"

#include <functional>

namespace steamsim_test {
namespace {

using ServerLists = Simulated;

// Records the calls it receives as text; may run an action on each.
class Recorder final : public ISteamMatchmakingServerListResponse {
public:
    void ServerResponded(HServerListRequest request, int server) override {
        calls.push_back("responded " + std::to_string(server));
        requests.push_back(request);
        if (onCall) onCall(request);
    }
    void ServerFailedToRespond(HServerListRequest request, int server) override {
        calls.push_back("failed " + std::to_string(server));
        requests.push_back(request);
        if (onCall) onCall(request);
    }
    void RefreshComplete(HServerListRequest request, EMatchMakingServerResponse response) override {
        calls.push_back("complete " + std::to_string(response));
        requests.push_back(request);
    }

    std::vector<std::string> calls;
    std::vector<HServerListRequest> requests;
    std::function<void(HServerListRequest)> onCall;
};

const char* const threeServers = R"(
[steam]
app_id = 480
[servers.internet.1]
name = First
ip = 192.168.1.20
port = 40000
query_port = 27016
gamedir = zarnkeepserver
secure = true
players = 3
max_players = 16
ping = 42
password = true
tags = pvp,eu
steam_id = 90071992547409920
[servers.internet.2]
gamedir = zarnkeepserver
secure = true
responds = false
[servers.internet.3]
name = Third
gamedir = zarnkeepserver
secure = true
)";

// The filter list the bridge sends.
struct Filters {
    MatchMakingKeyValuePair_t pairs[2] = {{"gamedir", "zarnkeepserver"}, {"secure", "1"}};
    MatchMakingKeyValuePair_t* list = pairs;
};

TEST_F(ServerLists, ResultsArriveInsideThePumpThenRefreshComplete) {
    start(threeServers);
    Recorder recorder;
    Filters filters;
    HServerListRequest request =
        SteamMatchmakingServers()->RequestInternetServerList(480, &filters.list, 2, &recorder);
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(recorder.calls.empty());

    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"responded 0", "failed 1", "responded 2", "complete 0"}));
    EXPECT_EQ(recorder.requests, std::vector<HServerListRequest>(4, request));

    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls.size(), 4u);
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamMatchmakingServers_Request"),
              std::vector<std::string>{
                  "SteamAPI_ISteamMatchmakingServers_RequestInternetServerList app=480 count=2 "
                  "filter.gamedir=\"zarnkeepserver\" filter.secure=\"1\" response=set"});
}

TEST_F(ServerLists, DetailsStayValidUntilReleaseAndAreNullForUnknownIndexes) {
    start(threeServers);
    Recorder recorder;
    Filters filters;
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    HServerListRequest request =
        servers->RequestInternetServerList(480, &filters.list, 2, &recorder);

    gameserveritem_t* first = servers->GetServerDetails(request, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetName(), "First");
    EXPECT_EQ(first->m_NetAdr.GetIP(), 3232235796u);
    EXPECT_EQ(first->m_NetAdr.GetConnectionPort(), 40000);
    EXPECT_EQ(first->m_NetAdr.GetQueryPort(), 27016);
    EXPECT_EQ(first->m_nAppID, 480u);
    EXPECT_EQ(first->m_nPlayers, 3);
    EXPECT_EQ(first->m_nMaxPlayers, 16);
    EXPECT_EQ(first->m_nPing, 42);
    EXPECT_TRUE(first->m_bPassword);
    EXPECT_TRUE(first->m_bSecure);
    EXPECT_TRUE(first->m_bHadSuccessfulResponse);
    EXPECT_STREQ(first->m_szGameTags, "pvp,eu");
    EXPECT_EQ(first->m_steamID.ConvertToUint64(), 90071992547409920ull);
    EXPECT_FALSE(servers->GetServerDetails(request, 1)->m_bHadSuccessfulResponse);

    EXPECT_EQ(servers->GetServerDetails(request, -1), nullptr);
    EXPECT_EQ(servers->GetServerDetails(request, 3), nullptr);
    EXPECT_EQ(servers->GetServerDetails(nullptr, 0), nullptr);
    EXPECT_EQ(servers->GetServerDetails(reinterpret_cast<HServerListRequest>(999), 0), nullptr);

    SteamAPI_RunCallbacks();
    EXPECT_EQ(servers->GetServerDetails(request, 0), first);
    EXPECT_STREQ(first->GetName(), "First");

    servers->ReleaseRequest(request);
    EXPECT_EQ(servers->GetServerDetails(request, 0), nullptr);
    EXPECT_EQ(steamsim_open_request_count(), 0);
}

TEST_F(ServerLists, NothingArrivesForAReleasedRequestEvenMidList) {
    start(std::string(threeServers) + "[servers]\nper_pump = 1\n");
    Recorder recorder;
    Filters filters;
    HServerListRequest request =
        SteamMatchmakingServers()->RequestInternetServerList(480, &filters.list, 2, &recorder);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"responded 0"});
    SteamMatchmakingServers()->ReleaseRequest(request);
    SteamAPI_RunCallbacks();
    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"responded 0"});
}

TEST_F(ServerLists, ReleasingFromInsideAResponseStopsTheRest) {
    start(threeServers);
    Recorder recorder;
    recorder.onCall = [](HServerListRequest request) {
        SteamMatchmakingServers()->ReleaseRequest(request);
    };
    Filters filters;
    SteamMatchmakingServers()->RequestInternetServerList(480, &filters.list, 2, &recorder);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"responded 0"});
}

TEST_F(ServerLists, ShutdownEndsOpenRequests) {
    start(threeServers);
    Recorder recorder;
    Filters filters;
    SteamMatchmakingServers()->RequestInternetServerList(480, &filters.list, 2, &recorder);
    SteamAPI_Shutdown();
    ASSERT_TRUE(SteamAPI_Init());
    SteamAPI_RunCallbacks();
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(steamsim_open_request_count(), 0);
}

TEST_F(ServerLists, EachRequestGetsItsOwnHandleAndResults) {
    start(threeServers + std::string("[servers.lan.1]\nname = Lan\n"));
    Recorder internet;
    Recorder lan;
    Filters filters;
    HServerListRequest a =
        SteamMatchmakingServers()->RequestInternetServerList(480, &filters.list, 2, &internet);
    HServerListRequest b = SteamMatchmakingServers()->RequestLANServerList(480, &lan);
    EXPECT_NE(a, b);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(internet.calls.size(), 4u);
    EXPECT_EQ(lan.calls, (std::vector<std::string>{"responded 0", "complete 0"}));
    EXPECT_EQ(lan.requests.front(), b);
}

TEST_F(ServerLists, RefreshCompleteTellsWhetherAnyServerAnswered) {
    start("[servers.friends.1]\nresponds = false\n");
    Recorder none;
    Recorder failed;
    SteamMatchmakingServers()->RequestInternetServerList(480, nullptr, 0, &none);
    SteamMatchmakingServers()->RequestFriendsServerList(480, nullptr, 0, &failed);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(none.calls, std::vector<std::string>{"complete 2"});
    EXPECT_EQ(failed.calls, (std::vector<std::string>{"failed 0", "complete 1"}));
}

// The four filtered lists share their filtering; each is checked on its own
// list of servers.
struct FilteredList {
    const char* list;
    HServerListRequest (ISteamMatchmakingServers::*request)(AppId_t, MatchMakingKeyValuePair_t**,
                                                            uint32,
                                                            ISteamMatchmakingServerListResponse*);
};

class FilteredLists : public Simulated, public ::testing::WithParamInterface<FilteredList> {};

std::string mixedServers(const std::string& list) {
    const std::string s = "[servers." + list + ".";
    return "[steam]\napp_id = 480\n" +                                              //
           s + "1]\nname = match\ngamedir = zarnkeepserver\nsecure = true\n" +      //
           s + "2]\nname = insecure\ngamedir = zarnkeepserver\nsecure = false\n" +  //
           s + "3]\nname = othergame\ngamedir = othergame\nsecure = true\n" +       //
           s + "4]\nname = otherapp\napp_id = 999\ngamedir = zarnkeepserver\nsecure = true\n";
}

std::vector<std::string> names(HServerListRequest request, int count) {
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) {
        gameserveritem_t* item = SteamMatchmakingServers()->GetServerDetails(request, i);
        if (item != nullptr) result.push_back(item->GetName());
    }
    return result;
}

TEST_P(FilteredLists, GamedirAndSecureFiltersAndTheAppSelectServers) {
    start(mixedServers(GetParam().list));
    Recorder recorder;
    Filters filters;
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    HServerListRequest filtered = (servers->*GetParam().request)(480, &filters.list, 2, &recorder);
    EXPECT_EQ(names(filtered, 4), std::vector<std::string>{"match"});

    HServerListRequest gamedirOnly =
        (servers->*GetParam().request)(480, &filters.list, 1, &recorder);
    EXPECT_EQ(names(gamedirOnly, 4), (std::vector<std::string>{"match", "insecure"}));

    HServerListRequest unfiltered = (servers->*GetParam().request)(480, nullptr, 0, &recorder);
    EXPECT_EQ(names(unfiltered, 4), (std::vector<std::string>{"match", "insecure", "othergame"}));

    HServerListRequest otherApp = (servers->*GetParam().request)(999, nullptr, 0, &recorder);
    EXPECT_EQ(names(otherApp, 4), std::vector<std::string>{"otherapp"});
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FilteredLists,
    ::testing::Values(
        FilteredList{"internet", &ISteamMatchmakingServers::RequestInternetServerList},
        FilteredList{"friends", &ISteamMatchmakingServers::RequestFriendsServerList},
        FilteredList{"favorites", &ISteamMatchmakingServers::RequestFavoritesServerList},
        FilteredList{"history", &ISteamMatchmakingServers::RequestHistoryServerList}),
    [](const ::testing::TestParamInfo<FilteredList>& info) {
        return std::string(info.param.list);
    });

TEST_F(ServerLists, LanListHasNoFiltersAndServersOfAnyApp) {
    start(mixedServers("lan"));
    Recorder recorder;
    HServerListRequest request = SteamMatchmakingServers()->RequestLANServerList(480, &recorder);
    EXPECT_EQ(names(request, 4),
              (std::vector<std::string>{"match", "insecure", "othergame", "otherapp"}));
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamMatchmakingServers_RequestLANServerList"),
              std::vector<std::string>{
                  "SteamAPI_ISteamMatchmakingServers_RequestLANServerList app=480 response=set"});
}

TEST_F(ServerLists, AServerMayAnswerWithoutARecord) {
    start("[servers.lan.1]\nname = a\n[servers.lan.2]\nname = b\ndetails = false\n");
    Recorder recorder;
    HServerListRequest request = SteamMatchmakingServers()->RequestLANServerList(480, &recorder);
    EXPECT_EQ(SteamMatchmakingServers()->GetServerDetails(request, 1), nullptr);
    SteamAPI_RunCallbacks();
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"responded 0", "responded 1", "complete 0"}));
}

TEST_F(ServerLists, AnEmptyNameReadsAsTheConnectionAddress) {
    start("[servers.lan.1]\nip = 192.168.1.20\nport = 27016\n");
    Recorder recorder;
    HServerListRequest request = SteamMatchmakingServers()->RequestLANServerList(480, &recorder);
    gameserveritem_t* item = SteamMatchmakingServers()->GetServerDetails(request, 0);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->m_szServerName, "");
    EXPECT_STREQ(item->GetName(), "192.168.1.20:27016");
}

}  // namespace
}  // namespace steamsim_test
