// The synchronous services: user, tickets, stats, achievements, rich
// presence, overlay, favourites; and how their arguments show in the log.
#include "support.h"

#include <cstring>
#include <string>
#include <thread>

namespace steamsim_test {
namespace {

using Services = Simulated;

TEST_F(Services, UserIdentityComesFromTheScenario) {
    start("[steam]\nlogged_on = false\nsteam_id = 9223372036854775809\napp_id = 4294967295\n");
    EXPECT_FALSE(SteamUser()->BLoggedOn());
    EXPECT_EQ(SteamUser()->GetSteamID().ConvertToUint64(), 9223372036854775809ull);
    EXPECT_EQ(SteamUtils()->GetAppID(), 4294967295u);
    // Not logged on: no stats request.
    EXPECT_FALSE(SteamUserStats()->RequestCurrentStats());
}

TEST_F(Services, TicketsCarryTheScenarioBytesAndIncreasingHandles) {
    start("[ticket]\nfirst_handle = 2147483648\ndata = 14 00 ff 7a\n");
    unsigned char buffer[1024];
    std::memset(buffer, 0xee, sizeof(buffer));
    uint32 length = 0;
    const HAuthTicket first = SteamUser()->GetAuthSessionTicket(buffer, 1024, &length);
    EXPECT_EQ(first, 2147483648u);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 5),
              (std::vector<unsigned char>{0x14, 0x00, 0xff, 0x7a, 0xee}));
    EXPECT_EQ(SteamUser()->GetAuthSessionTicket(buffer, 1024, &length), 2147483649u);
    EXPECT_TRUE(steamsim_ticket_live(first));

    SteamUser()->CancelAuthTicket(first);
    EXPECT_FALSE(steamsim_ticket_live(first));
    EXPECT_TRUE(steamsim_ticket_live(2147483649u));
    EXPECT_EQ(logLines().back(), "SteamAPI_ISteamUser_CancelAuthTicket ticket=2147483648");
}

TEST_F(Services, DefaultTicketIs234PatternBytes) {
    start();
    unsigned char buffer[1024] = {};
    uint32 length = 0;
    EXPECT_EQ(SteamUser()->GetAuthSessionTicket(buffer, 1024, &length), 1u);
    EXPECT_EQ(length, 234u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[233], 234);
    EXPECT_EQ(buffer[234], 0);
}

TEST_F(Services, RefusedTicketsReturnZeroAndWriteNothing) {
    for (const char* scenario : {"[ticket]\nrefuse = true\n", "[ticket]\nlength = 1025\n"}) {
        SCOPED_TRACE(scenario);
        start(scenario);
        unsigned char buffer[1024];
        std::memset(buffer, 0xee, sizeof(buffer));
        uint32 length = 77;
        EXPECT_EQ(SteamUser()->GetAuthSessionTicket(buffer, 1024, &length), k_HAuthTicketInvalid);
        EXPECT_EQ(length, 77u);
        EXPECT_EQ(buffer[0], 0xee);
        SteamAPI_Shutdown();
    }
}

TEST_F(Services, StatsAreReadAndWrittenByNameAndType) {
    start("[stats.int]\nKills = 12\n[stats.float]\nDistance = 1.5\n");
    ISteamUserStats* stats = SteamUserStats();
    int32 kills = 0;
    float distance = 0;
    EXPECT_TRUE(stats->GetStat("Kills", &kills));
    EXPECT_EQ(kills, 12);
    EXPECT_TRUE(stats->GetStat("Distance", &distance));
    EXPECT_EQ(distance, 1.5f);

    // Unknown names and the wrong type are refused and leave the output alone.
    int32 untouched = -7;
    float untouchedFloat = -7;
    EXPECT_FALSE(stats->GetStat("Deaths", &untouched));
    EXPECT_FALSE(stats->GetStat("Distance", &untouched));
    EXPECT_FALSE(stats->GetStat("Kills", &untouchedFloat));
    EXPECT_EQ(untouched, -7);
    EXPECT_EQ(untouchedFloat, -7);
    EXPECT_FALSE(stats->SetStat("Deaths", 1));
    EXPECT_FALSE(stats->SetStat("Kills", 2.0f));

    EXPECT_TRUE(stats->SetStat("Kills", -3));
    EXPECT_TRUE(stats->SetStat("Distance", 2.25f));
    EXPECT_TRUE(stats->GetStat("Kills", &kills));
    EXPECT_TRUE(stats->GetStat("Distance", &distance));
    EXPECT_EQ(kills, -3);
    EXPECT_EQ(distance, 2.25f);
    EXPECT_TRUE(stats->StoreStats());
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamUserStats_SetStat").back(),
              "SteamAPI_ISteamUserStats_SetStatFloat name=\"Distance\" value=2.25");
}

TEST_F(Services, UnknownStatsAreCreatedWhenTheScenarioAcceptsThem) {
    start("[stats]\naccept_unknown = true\nstore = false\n");
    int32 deaths = 0;
    EXPECT_TRUE(SteamUserStats()->SetStat("Deaths", 4));
    EXPECT_TRUE(SteamUserStats()->GetStat("Deaths", &deaths));
    EXPECT_EQ(deaths, 4);
    EXPECT_TRUE(SteamUserStats()->SetAchievement("NEW"));
    EXPECT_FALSE(SteamUserStats()->StoreStats());
}

TEST_F(Services, AchievementsAreSetAndCleared) {
    start("[achievements]\nWIN = false\nLOSE = true\n");
    ISteamUserStats* stats = SteamUserStats();
    bool achieved = false;
    EXPECT_TRUE(stats->GetAchievement("LOSE", &achieved));
    EXPECT_TRUE(achieved);
    EXPECT_TRUE(stats->SetAchievement("WIN"));
    EXPECT_TRUE(stats->ClearAchievement("LOSE"));
    EXPECT_TRUE(stats->GetAchievement("WIN", &achieved));
    EXPECT_TRUE(achieved);
    EXPECT_TRUE(stats->GetAchievement("LOSE", &achieved));
    EXPECT_FALSE(achieved);

    bool untouched = true;
    EXPECT_FALSE(stats->GetAchievement("DRAW", &untouched));
    EXPECT_TRUE(untouched);
    EXPECT_FALSE(stats->SetAchievement("DRAW"));
}

TEST_F(Services, RichPresenceKeepsKeysWithinSteamsLimits) {
    start();
    ISteamFriends* friends = SteamFriends();
    EXPECT_TRUE(friends->SetRichPresence("connect", "+connect 3232235777:3724?Q27016?P?V1.0"));
    EXPECT_STREQ(steamsim_rich_presence("connect"), "+connect 3232235777:3724?Q27016?P?V1.0");

    EXPECT_FALSE(friends->SetRichPresence("connect", std::string(256, 'v').c_str()));
    EXPECT_TRUE(friends->SetRichPresence("connect", std::string(255, 'v').c_str()));
    EXPECT_FALSE(friends->SetRichPresence(std::string(64, 'k').c_str(), "x"));
    EXPECT_FALSE(friends->SetRichPresence(nullptr, "x"));

    EXPECT_TRUE(friends->SetRichPresence("connect", ""));
    EXPECT_EQ(steamsim_rich_presence("connect"), nullptr);

    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(friends->SetRichPresence(("k" + std::to_string(i)).c_str(), "x"));
    EXPECT_FALSE(friends->SetRichPresence("one-too-many", "x"));
    EXPECT_TRUE(friends->SetRichPresence("k0", "y"));  // an existing key may change

    SteamAPI_Shutdown();
    EXPECT_EQ(steamsim_rich_presence("k0"), nullptr);
}

TEST_F(Services, HandedOutTextsStayAsTheyAreWhileAnotherThreadAsks) {
    start();
    ASSERT_TRUE(SteamFriends()->SetRichPresence("connect", "+connect 10.0.0.1:27015"));
    ASSERT_TRUE(SteamFriends()->SetRichPresence("status", "x"));
    SteamUtils()->GetAppID();
    const char* log = steamsim_call_log();
    const char* connect = steamsim_rich_presence("connect");
    const std::string logWas = log;
    const std::string connectWas = connect;

    std::thread other([] {
        steamsim_clear_call_log();
        EXPECT_STREQ(steamsim_call_log(), "");
        EXPECT_STREQ(steamsim_rich_presence("status"), "x");
    });
    other.join();
    EXPECT_EQ(std::string(log), logWas);
    EXPECT_EQ(std::string(connect), connectWas);
}

TEST_F(Services, OverlayPositionIsKept) {
    start("[steam]\noverlay_needs_present = true\n");
    EXPECT_EQ(steamsim_overlay_position(), k_EPositionBottomRight);
    SteamUtils()->SetOverlayNotificationPosition(k_EPositionBottomLeft);
    EXPECT_EQ(steamsim_overlay_position(), k_EPositionBottomLeft);
    EXPECT_TRUE(SteamUtils()->BOverlayNeedsPresent());
    EXPECT_EQ(logLines().back(), "SteamAPI_ISteamUtils_BOverlayNeedsPresent");
}

TEST_F(Services, FavouritesAndHistoryShareOneListWithPerEntryFlags) {
    start("[favorites.1]\nip = 10.0.0.1\nport = 27015\n");
    ISteamMatchmaking* mm = SteamMatchmaking();
    const uint32 ip = 3232235796u;
    EXPECT_EQ(mm->GetFavoriteGameCount(), 1);
    EXPECT_EQ(mm->AddFavoriteGame(480, ip, 40000, 27016, k_unFavoriteFlagFavorite, 100), 1);
    EXPECT_EQ(mm->AddFavoriteGame(480, ip, 40000, 27016, k_unFavoriteFlagHistory, 200), 2);
    // The same server again updates its entry.
    EXPECT_EQ(mm->AddFavoriteGame(480, ip, 40000, 27016, k_unFavoriteFlagHistory, 300), 2);
    EXPECT_EQ(mm->GetFavoriteGameCount(), 3);

    steamsim_favorite entry{};
    ASSERT_TRUE(steamsim_get_favorite(2, &entry));
    EXPECT_EQ(entry.app_id, 480u);
    EXPECT_EQ(entry.ip, ip);
    EXPECT_EQ(entry.conn_port, 40000);
    EXPECT_EQ(entry.query_port, 27016);
    EXPECT_EQ(entry.flags, k_unFavoriteFlagHistory);
    EXPECT_EQ(entry.last_played, 300u);
    ASSERT_TRUE(steamsim_get_favorite(0, &entry));
    EXPECT_EQ(entry.ip, 0x0a000001u);
    EXPECT_EQ(entry.query_port, 27015);  // defaults to the connection port
    EXPECT_FALSE(steamsim_get_favorite(3, &entry));

    // Removing needs every value, the flags included.
    EXPECT_FALSE(mm->RemoveFavoriteGame(480, ip, 40000, 27017, k_unFavoriteFlagHistory));
    EXPECT_TRUE(mm->RemoveFavoriteGame(480, ip, 40000, 27016, k_unFavoriteFlagHistory));
    EXPECT_FALSE(mm->RemoveFavoriteGame(480, ip, 40000, 27016, k_unFavoriteFlagHistory));
    EXPECT_EQ(mm->GetFavoriteGameCount(), 2);
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamMatchmaking_AddFavoriteGame").front(),
              "SteamAPI_ISteamMatchmaking_AddFavoriteGame app=480 ip=3232235796 conn_port=40000 "
              "query_port=27016 "
              "flags=1 last_played=100");
}

TEST_F(Services, LoggedTextShowsEveryByteThatIsNotPrintableAscii) {
    start();
    int32 value = 0;
    SteamUserStats()->GetStat("\xc3\xa9t\xc3\xa9 \"q\"\\\n", &value);
    SteamUserStats()->GetStat(nullptr, &value);
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamUserStats_GetStatInt32"),
              (std::vector<std::string>{
                  "SteamAPI_ISteamUserStats_GetStatInt32 name=\"\\xc3\\xa9t\\xc3\\xa9 "
                  "\\x22q\\x22\\x5c\\x0a\"",
                  "SteamAPI_ISteamUserStats_GetStatInt32 name=null",
              }));
}

}  // namespace
}  // namespace steamsim_test
