// A scenario: what the simulated Steam client answers. Read from INI text
// (Boost.PropertyTree); the format is described in README.md.
#pragma once

#include "steam/steam_types.h"

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace steamsim {

// The five server lists, in the order of their scenario names.
enum class ServerList { internet, lan, friends, favorites, history };
constexpr int serverListCount = 5;
const char* serverListName(ServerList list);

struct ScenarioServer {
    // What GetServerDetails points to: the record of every generation, and the
    // friend counts that SDK 1.65's record goes on with (steam_types.h). Not scripted:
    // Quellink reads neither.
    gameserveritem_t item;
    int32 currentFriendCount = 0;
    int32 totalFriendCount = 0;
    bool responds = true;
    bool details = true;  // false: GetServerDetails has no record for it
};
static_assert(offsetof(ScenarioServer, currentFriendCount) == 372 &&
                  offsetof(ScenarioServer, totalFriendCount) == 376,
              "the record GetServerDetails hands out is SDK 1.65's");

struct ScenarioJoinRequest {
    uint64 friendId = 0;
    std::string connect;
    int pump = 1;  // delivered in this pump after a successful start (1 = the first)
};

struct FavoriteEntry {
    AppId_t app = 0;
    uint32 ip = 0;
    uint16 connPort = 0;
    uint16 queryPort = 0;
    uint32 flags = 0;
    uint32 lastPlayed = 0;
};

struct Scenario {
    // [steam]
    ESteamAPIInitResult initResult = k_ESteamAPIInitResult_OK;
    std::string initError;
    std::vector<std::string> interfaces;  // versions the library provides
    bool restart = false;
    bool loggedOn = true;
    uint64 steamId = 76561197960287930ull;
    AppId_t appId = 480;
    bool overlayNeedsPresent = false;

    // [stats], [stats.int], [stats.float], [achievements]
    bool statsRequest = true;
    int statsResult = k_EResultOK;
    bool storeStats = true;
    bool acceptUnknown = false;
    std::map<std::string, int32> intStats;
    std::map<std::string, float> floatStats;
    std::map<std::string, bool> achievements;

    // [ticket]
    bool ticketRefuse = false;
    uint32 ticketFirstHandle = 1;
    std::vector<unsigned char> ticketBytes;

    // [join.N]
    std::vector<ScenarioJoinRequest> joinRequests;

    // [servers], [servers.<list>.N]
    int serversPerPump = 0;  // 0: every result of a list in one pump
    std::array<std::vector<ScenarioServer>, serverListCount> servers;

    // [favorites.N]
    std::vector<FavoriteEntry> favorites;

    Scenario();
};

// Parses INI text. On failure returns false and sets error to
// "<source>(<line>): <reason>".
bool parseScenario(const std::string& text, const std::string& source, Scenario& out,
                   std::string& error);

}  // namespace steamsim
