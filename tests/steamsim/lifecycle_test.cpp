// Start-up, shutdown and the interface accessors.
#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace steamsim_test {
namespace {

using Lifecycle = Simulated;

bool allAccessorsNull() {
    return SteamUser() == nullptr && SteamUserStats() == nullptr && SteamFriends() == nullptr &&
           SteamUtils() == nullptr && SteamMatchmaking() == nullptr &&
           SteamMatchmakingServers() == nullptr;
}

bool allAccessorsSet() {
    return SteamUser() != nullptr && SteamUserStats() != nullptr && SteamFriends() != nullptr &&
           SteamUtils() != nullptr && SteamMatchmaking() != nullptr &&
           SteamMatchmakingServers() != nullptr;
}

TEST_F(Lifecycle, AccessorsYieldInterfacesOnlyWhileStarted) {
    ASSERT_TRUE(steamsim_load_scenario_text(""));
    EXPECT_TRUE(allAccessorsNull());
    ASSERT_TRUE(SteamAPI_Init());
    EXPECT_TRUE(allAccessorsSet());
    SteamAPI_Shutdown();
    EXPECT_TRUE(allAccessorsNull());
    ASSERT_TRUE(SteamAPI_Init());
    EXPECT_TRUE(allAccessorsSet());
}

TEST_F(Lifecycle, InterfaceCallsWhileStoppedAreRefusedAndLogged) {
    start("[stats.int]\nKills = 5\n");
    ISteamUserStats* stats = SteamUserStats();
    ISteamUser* user = SteamUser();
    SteamAPI_Shutdown();
    steamsim_clear_call_log();

    int32 kills = -1;
    EXPECT_FALSE(stats->GetStat("Kills", &kills));
    EXPECT_EQ(kills, -1);
    EXPECT_FALSE(user->BLoggedOn());
    EXPECT_EQ(user->GetSteamID().ConvertToUint64(), 0u);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "SteamAPI_ISteamUserStats_GetStatInt32 name=\"Kills\" refused=stopped",
                  "SteamAPI_ISteamUser_BLoggedOn refused=stopped",
                  "SteamAPI_ISteamUser_GetSteamID refused=stopped",
              }));
}

TEST_F(Lifecycle, CallThroughAnotherInterfacesPointerIsRefused) {
    start();
    auto* wrong = reinterpret_cast<ISteamUser*>(SteamUtils());
    EXPECT_FALSE(SteamAPI_ISteamUser_BLoggedOn(wrong));
    EXPECT_EQ(logLinesStarting("SteamAPI_ISteamUser_BLoggedOn"),
              std::vector<std::string>{"SteamAPI_ISteamUser_BLoggedOn refused=self"});
}

TEST_F(Lifecycle, InitAsksForTheSixInterfaceVersionsAndRefusesAMissingOne) {
    ASSERT_TRUE(steamsim_load_scenario_text(
        "[steam]\ninterfaces = SteamUser023, STEAMUSERSTATS_INTERFACE_VERSION012, SteamUtils010,"
        " SteamMatchMaking009, SteamMatchMakingServers002\n"));
    SteamErrMsg err = "untouched";
    EXPECT_EQ(SteamAPI_InitEx(&err), k_ESteamAPIInitResult_VersionMismatch);
    EXPECT_STREQ(err, "No support for interface SteamFriends017");
    EXPECT_TRUE(allAccessorsNull());
    EXPECT_FALSE(SteamAPI_Init());
    EXPECT_EQ(
        logLinesStarting("SteamInternal_SteamAPI_Init").back(),
        "SteamInternal_SteamAPI_Init versions=\"SteamUser023,STEAMUSERSTATS_INTERFACE_VERSION012,"
        "SteamFriends017,SteamUtils010,SteamMatchMaking009,SteamMatchMakingServers002\" err=null");

    // The flat start has no version check.
    EXPECT_EQ(SteamAPI_InitFlat(nullptr), k_ESteamAPIInitResult_OK);
    EXPECT_TRUE(allAccessorsSet());
}

TEST_F(Lifecycle, InitResultAndMessageComeFromTheScenario) {
    ASSERT_TRUE(
        steamsim_load_scenario_text("[steam]\ninit = no_client\nerror = Steam is not running\n"));
    SteamErrMsg err = "";
    EXPECT_EQ(SteamAPI_InitEx(&err), k_ESteamAPIInitResult_NoSteamClient);
    EXPECT_STREQ(err, "Steam is not running");
    EXPECT_TRUE(allAccessorsNull());
    // Pumping and shutting down a library that did not start are harmless.
    SteamAPI_RunCallbacks();
    SteamAPI_Shutdown();
}

TEST_F(Lifecycle, RestartAnswerComesFromTheScenarioAndTheAppIdIsLoggedUnsigned) {
    ASSERT_TRUE(steamsim_load_scenario_text("[steam]\nrestart = true\n"));
    EXPECT_TRUE(SteamAPI_RestartAppIfNecessary(static_cast<uint32>(-1)));
    EXPECT_EQ(logLines().back(), "SteamAPI_RestartAppIfNecessary app=4294967295");
    ASSERT_TRUE(steamsim_load_scenario_text(""));
    EXPECT_FALSE(SteamAPI_RestartAppIfNecessary(480));
}

TEST_F(Lifecycle, EnvironmentNamesTheScenarioAndTheLogFile) {
    const std::string dir = ::testing::TempDir();
    const std::string scenario = dir + "steamsim_env_scenario.ini";
    const std::string log = dir + "steamsim_env_log.txt";
    std::ofstream(scenario) << "[steam]\napp_id = 4000\n";
    std::remove(log.c_str());
    ::setenv("STEAMSIM_SCENARIO", scenario.c_str(), 1);
    ::setenv("STEAMSIM_LOG", log.c_str(), 1);
    steamsim_reset();
    const bool started = SteamAPI_Init();
    const uint32 app = started ? SteamUtils()->GetAppID() : 0;
    SteamAPI_Shutdown();
    ::unsetenv("STEAMSIM_SCENARIO");
    ::unsetenv("STEAMSIM_LOG");
    steamsim_reset();

    EXPECT_TRUE(started);
    EXPECT_EQ(app, 4000u);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("SteamAPI_ISteamUtils_GetAppID\nSteamAPI_Shutdown\n"), std::string::npos)
        << text;
}

TEST_F(Lifecycle, TheLogInMemoryStaysBoundedAndKeepsWholeRecentLines) {
    start();
    SteamUserStats()->GetStat("first", static_cast<int32*>(nullptr));
    for (int i = 0; i < 400000; ++i) SteamAPI_RunCallbacks();  // about 8.8 MB of lines
    SteamUserStats()->GetStat("last", static_cast<int32*>(nullptr));
    const std::string text = steamsim_call_log();
    EXPECT_LT(text.size(), 8u << 20);
    EXPECT_EQ(text.find("name=\"first\""), std::string::npos);
    EXPECT_EQ(text.compare(0, 22, "SteamAPI_RunCallbacks\n"), 0);
    EXPECT_EQ(logLines().back(), "SteamAPI_ISteamUserStats_GetStatInt32 name=\"last\"");
}

}  // namespace
}  // namespace steamsim_test
