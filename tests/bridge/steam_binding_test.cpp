// A Steam library without a known start-up or SteamUser: nothing of it is used, and
// the start says what it lacks in one line. Another interface in no known version is
// left out, and one line names it. Each known pairing of start-up and user interface
// binds, with the ticket form of its interface. (The generations are run for real by
// the Java suites, against Valve's libraries and the simulator's builds.)
#include "missing_interfaces.h"
#include "steam/steam_binding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> exported;  // the library's names, for find
int startUps = 0;

int interfaceObject;
void* anInterface() { return &interfaceObject; }
ESteamAPIInitResult checkedInit(const char*, SteamErrMsg*) {
    ++startUps;
    return k_ESteamAPIInitResult_OK;
}

bool plainInit() {
    ++startUps;
    return true;
}

void* find(const char* name) {
    for (const std::string& e : exported) {
        if (e != name) continue;
        if (std::strcmp(name, "SteamInternal_SteamAPI_Init") == 0)
            return reinterpret_cast<void*>(&checkedInit);
        if (std::strcmp(name, "SteamAPI_Init") == 0) return reinterpret_cast<void*>(&plainInit);
        return reinterpret_cast<void*>(&anInterface);
    }
    return nullptr;
}

// GetAuthSessionTicket in the form without identity, as SteamUser021 exports it.
void* ticketWithoutIdentityParameter() {
    return reinterpret_cast<void*>(&SteamAPI_ISteamUser_GetAuthSessionTicket);
}

TEST(SteamBinding, EveryUserInterfaceOfTheSupportedRangeBindsWithItsTicketForm) {
    struct Case {
        const char* sdk;
        const char* startUp;
        const char* user;
        const char* userVersion;
        bool ticketIdentity;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"1.55", "SteamAPI_Init", "SteamAPI_SteamUser_v021", "SteamUser021", false},
             {"1.56", "SteamAPI_Init", "SteamAPI_SteamUser_v022", "SteamUser022", true},
             {"1.57", "SteamAPI_Init", "SteamAPI_SteamUser_v023", "SteamUser023", true},
             {"1.58", "SteamInternal_SteamAPI_Init", "SteamAPI_SteamUser_v023", "SteamUser023",
              true},
             {"1.58 with SteamUser022", "SteamInternal_SteamAPI_Init", "SteamAPI_SteamUser_v022",
              "SteamUser022", true},
         }) {
        exported = {c.startUp,
                    c.user,
                    "SteamAPI_SteamUserStats_v012",
                    "SteamAPI_SteamFriends_v017",
                    "SteamAPI_SteamUtils_v010",
                    "SteamAPI_SteamMatchmaking_v009",
                    "SteamAPI_SteamMatchmakingServers_v002"};
        startUps = 0;
        const quellink::SteamBinding steam = quellink::bindSteam(&find);
        EXPECT_TRUE(steam.supported()) << c.sdk << ": " << steam.missing;
        EXPECT_EQ(static_cast<void*>(steam.user()), &interfaceObject) << c.sdk;
        EXPECT_STREQ(steam.versions, c.userVersion) << c.sdk << ": the first version checked";
        EXPECT_EQ(
            reinterpret_cast<void*>(steam.getAuthSessionTicket) != ticketWithoutIdentityParameter(),
            c.ticketIdentity)
            << c.sdk << ": the ticket form";
        std::ostringstream out;
        EXPECT_EQ(quellink::startSteam(steam, nullptr, out), k_ESteamAPIInitResult_OK) << c.sdk;
        EXPECT_EQ(startUps, 1) << c.sdk;
    }
}

TEST(SteamBinding, ALibraryWithoutKnownStartUpOrUserIsNotStartedAndNamesWhatItLacks) {
    const std::vector<std::string> accessors = {
        "SteamAPI_SteamUser_v023",        "SteamAPI_SteamUserStats_v012",
        "SteamAPI_SteamFriends_v017",     "SteamAPI_SteamUtils_v010",
        "SteamAPI_SteamMatchmaking_v009", "SteamAPI_SteamMatchmakingServers_v002"};
    struct Case {
        std::vector<std::string> removed, added;
        const char* line;
    };
    for (const Case& c : std::initializer_list<Case>{
             {{"SteamInternal_SteamAPI_Init"},
              {},
              "Unsupported Steam library: it exports neither SteamInternal_SteamAPI_Init nor "
              "SteamAPI_Init\n"},
             {{"SteamAPI_SteamUser_v023"},
              {"SteamAPI_SteamUser_v024"},
              "Unsupported Steam library: it exports none of SteamAPI_SteamUser_v023, "
              "SteamAPI_SteamUser_v022 nor SteamAPI_SteamUser_v021\n"},
         }) {
        exported = accessors;
        exported.push_back("SteamInternal_SteamAPI_Init");
        for (const std::string& name : c.removed)
            exported.erase(std::find(exported.begin(), exported.end(), name));
        exported.insert(exported.end(), c.added.begin(), c.added.end());
        startUps = 0;

        const quellink::SteamBinding steam = quellink::bindSteam(&find);
        std::ostringstream out;
        SteamErrMsg err = "untouched";
        quellink::reportMissingInterfaces(steam, out);  // nothing: startSteam says it all
        EXPECT_EQ(quellink::startSteam(steam, &err, out), k_ESteamAPIInitResult_FailedGeneric);
        EXPECT_EQ(out.str(), c.line);
        EXPECT_EQ(startUps, 0) << "the library's start-up was called";
        // The accessors the library has are not used either: every export gives its
        // failure value.
        EXPECT_EQ(steam.user(), nullptr);
        EXPECT_EQ(steam.userStats(), nullptr);
        EXPECT_EQ(steam.friends(), nullptr);
        EXPECT_EQ(steam.utils(), nullptr);
        EXPECT_EQ(steam.matchmaking(), nullptr);
        EXPECT_EQ(steam.matchmakingServers(), nullptr);
    }

    // The same library complete starts, once.
    exported = accessors;
    exported.push_back("SteamInternal_SteamAPI_Init");
    startUps = 0;
    std::ostringstream out;
    EXPECT_EQ(quellink::startSteam(quellink::bindSteam(&find), nullptr, out),
              k_ESteamAPIInitResult_OK);
    EXPECT_EQ(startUps, 1);
    EXPECT_EQ(out.str(), "");
}

// Interfaces of a version not known yet (a SteamFriends019, a SteamUtils012): Steam
// starts without them, and one line names them and the natives that go without.
TEST(SteamBinding, InterfacesInNoKnownVersionAreLeftOutAndNamedWithTheirNatives) {
    exported = {"SteamInternal_SteamAPI_Init",
                "SteamAPI_SteamUser_v023",
                "SteamAPI_SteamUserStats_v013",
                "SteamAPI_SteamFriends_v019",
                "SteamAPI_SteamUtils_v012",
                "SteamAPI_SteamMatchmaking_v009",
                "SteamAPI_SteamMatchmakingServers_v003"};
    const quellink::SteamBinding steam = quellink::bindSteam(&find);
    std::ostringstream out;
    quellink::reportMissingInterfaces(steam, out);
    EXPECT_EQ(out.str(),
              "Steam library partly supported: it exports no known accessor of SteamFriends "
              "(SteamAPI_SteamFriends_v018, SteamAPI_SteamFriends_v017) nor of SteamUtils "
              "(SteamAPI_SteamUtils_v011, SteamAPI_SteamUtils_v010); these answer as without "
              "Steam: SetOverlayNotificationPosition, OverlayNeedsPresent, "
              "UpdateRichPresenceConnectionInfo, RequestLANServerList, RequestInternetServerList, "
              "RequestFavoriteServerList, RequestHistoryServerList, RequestFriendsServerList, "
              "AddFavoriteServer, RemoveFavoriteServer, AddHistoryServer, RemoveHistoryServer\n");
    EXPECT_EQ(quellink::startSteam(steam, nullptr, out), k_ESteamAPIInitResult_OK);
    EXPECT_EQ(steam.friends(), nullptr);
    EXPECT_EQ(steam.utils(), nullptr);
}

}  // namespace
