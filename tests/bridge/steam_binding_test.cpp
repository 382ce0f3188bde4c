// A Steam library of no known generation: nothing of it is used, and the start says
// what it lacks in one line. (The three known generations are run for real by the
// Java suites, against Valve's libraries and the simulator's builds.)
#include "steam/steam_binding.h"

#include <gtest/gtest.h>

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

void* find(const char* name) {
    for (const std::string& e : exported) {
        if (e != name) continue;
        if (std::strcmp(name, "SteamInternal_SteamAPI_Init") == 0)
            return reinterpret_cast<void*>(&checkedInit);
        return reinterpret_cast<void*>(&anInterface);
    }
    return nullptr;
}

TEST(SteamBinding, ALibraryOfNoKnownGenerationIsNotStartedAndNamesWhatItLacks) {
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
             // A friends interface of a generation not known yet; every other name is there.
             {{"SteamAPI_SteamFriends_v017"},
              {"SteamAPI_SteamFriends_v019"},
              "Unsupported Steam library: it exports neither SteamAPI_SteamFriends_v018 nor "
              "SteamAPI_SteamFriends_v017\n"},
             {{"SteamAPI_SteamUtils_v010"},
              {},
              "Unsupported Steam library: it exports no SteamAPI_SteamUtils_v010\n"},
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

}  // namespace
