// Scenario reading: a bad scenario is reported on one line and leaves a
// simulator that cannot start.
#include "support.h"

#include <fstream>

namespace steamsim_test {
namespace {

struct BadScenario {
    const char* name;
    const char* text;
    const char* message;  // the whole stderr line
};

void PrintTo(const BadScenario& scenario, std::ostream* out) { *out << scenario.name; }

class BadScenarios : public ::testing::TestWithParam<BadScenario> {
protected:
    void TearDown() override { steamsim_reset(); }
};

TEST_P(BadScenarios, GiveOneLineAndASimulatorWithoutUsers) {
    ::testing::internal::CaptureStderr();
    const bool loaded = steamsim_load_scenario_text(GetParam().text);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(err, std::string(GetParam().message) + "\n");

    SteamErrMsg message = "";
    EXPECT_EQ(SteamAPI_InitEx(&message), k_ESteamAPIInitResult_FailedGeneric);
    EXPECT_STRNE(message, "");
    EXPECT_EQ(SteamAPI_InitFlat(nullptr), k_ESteamAPIInitResult_FailedGeneric);
    EXPECT_EQ(SteamUser(), nullptr);
    EXPECT_EQ(SteamMatchmakingServers(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadScenarios,
    ::testing::Values(
        BadScenario{"IniSyntax", "[steam]\nno equals sign\n",
                    "steamsim: scenario text(2): '=' character not found in line"},
        BadScenario{"DuplicateSection", "[steam]\napp_id = 1\n[steam]\n",
                    "steamsim: scenario text(3): duplicate section name"},
        BadScenario{"NotAnInteger", "[steam]\n\napp_id = 48O\n",
                    "steamsim: scenario text(3): '48O' is not an integer"},
        BadScenario{"OutOfRange", "[steam]\napp_id = 4294967296\n",
                    "steamsim: scenario text(2): '4294967296' is out of range"},
        BadScenario{"NotABoolean", "[steam]\nlogged_on = maybe\n",
                    "steamsim: scenario text(2): 'maybe' is not a boolean (true or false)"},
        BadScenario{"UnknownKey", "[steam]\nsteamid = 1\n",
                    "steamsim: scenario text(2): unknown key 'steamid' in [steam]"},
        BadScenario{
            "UnknownInitResult", "[steam]\ninit = later\n",
            "steamsim: scenario text(2): 'init' must be ok, failed, no_client or version_mismatch"},
        BadScenario{"UnknownEmptySection", "[stats]\n[servers.internett.1]\n",
                    "steamsim: scenario text(2): unknown section [servers.internett.1]"},
        BadScenario{"SectionWithoutNumber", "[servers.lan.one]\n",
                    "steamsim: scenario text(1): section [servers.lan.one] must end in a number"},
        BadScenario{"ShortAddress", "[servers.lan.1]\nip = 1.2.3\n",
                    "steamsim: scenario text(2): '1.2.3' is not an IPv4 address"},
        BadScenario{"AddressByteOutOfRange", "[servers.lan.1]\nip = 1.2.3.256\n",
                    "steamsim: scenario text(2): '256' is out of range"},
        BadScenario{"TextTooLong",
                    "[servers.lan.1]\ngamedir = 0123456789012345678901234567890123\n",
                    "steamsim: scenario text(2): 'gamedir' is longer than 31 characters"},
        BadScenario{"NotAFloat", "[stats.float]\nDistance = far\n",
                    "steamsim: scenario text(2): 'far' is not a number"},
        BadScenario{"OddHex", "[ticket]\ndata = 0a0\n",
                    "steamsim: scenario text(2): 'data' has an odd number of hex digits"},
        BadScenario{"LengthBeyondData", "[ticket]\ndata = 0a0b\nlength = 3\n",
                    "steamsim: scenario text(3): 'length' is longer than 'data'"},
        BadScenario{"ZeroTicketHandle", "[ticket]\nfirst_handle = 0\n",
                    "steamsim: scenario text(2): 'first_handle' must not be 0"},
        BadScenario{"PumpZero", "[join.1]\npump = 0\n",
                    "steamsim: scenario text(2): 'pump' must be 1 or more"},
        BadScenario{"KeyOutsideSection", "app_id = 1\n[steam]\n",
                    "steamsim: scenario text(1): key 'app_id' is outside a section"}),
    [](const ::testing::TestParamInfo<BadScenario>& info) { return std::string(info.param.name); });

TEST(ScenarioFile, AnUnreadableFileIsReportedWithItsName) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(steamsim_load_scenario_file("/nonexistent/scenario.ini"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "steamsim: /nonexistent/scenario.ini(0): cannot read the file\n");
    EXPECT_FALSE(SteamAPI_Init());
    steamsim_reset();
}

TEST(ScenarioFile, ErrorsNameTheFileAndLine) {
    const std::string path = ::testing::TempDir() + "steamsim_bad_scenario.ini";
    std::ofstream(path) << "; comment\n[steam]\napp_id = 480\n\n[servers.internet.1]\nports = 1\n";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(steamsim_load_scenario_file(path.c_str()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "steamsim: " + path + "(6): unknown key 'ports' in [servers.internet.1]\n");
    steamsim_reset();
}

TEST(ScenarioFile, AGoodScenarioAfterABadOneStartsAgain) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(steamsim_load_scenario_text("[nonsense]\n"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(steamsim_load_scenario_text("[steam]\napp_id = 7\n"));
    ASSERT_TRUE(SteamAPI_Init());
    EXPECT_EQ(SteamUtils()->GetAppID(), 7u);
    SteamAPI_Shutdown();
    steamsim_reset();
}

}  // namespace
}  // namespace steamsim_test
