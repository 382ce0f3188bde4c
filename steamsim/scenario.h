// A scenario: what the simulated Steam client answers. Read from INI text
// (Boost.PropertyTree); the format is described in README.md.
#pragma once

#include "bridge/steam/steam_types.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace steamsim {

// The five server lists, in the order of their scenario names.
enum class ServerList { Internet, Lan, Friends, Favorites, History };
constexpr int kServerListCount = 5;
const char *server_list_name(ServerList list);

struct ScenarioServer {
  gameserveritem_t item;
  bool responds = true;
  bool details = true; // false: GetServerDetails has no record for it
};

struct ScenarioJoinRequest {
  uint64 friend_id = 0;
  std::string connect;
  int pump = 1; // delivered in this pump after a successful start (1 = the first)
};

struct FavoriteEntry {
  AppId_t app = 0;
  uint32 ip = 0;
  uint16 conn_port = 0;
  uint16 query_port = 0;
  uint32 flags = 0;
  uint32 last_played = 0;
};

struct Scenario {
  // [steam]
  ESteamAPIInitResult init_result = k_ESteamAPIInitResult_OK;
  std::string init_error;
  std::vector<std::string> interfaces; // versions the library provides
  bool restart = false;
  bool logged_on = true;
  uint64 steam_id = 76561197960287930ull;
  AppId_t app_id = 480;
  bool overlay_needs_present = false;

  // [stats], [stats.int], [stats.float], [achievements]
  bool stats_request = true;
  int stats_result = k_EResultOK;
  bool store_stats = true;
  bool accept_unknown = false;
  std::map<std::string, int32> int_stats;
  std::map<std::string, float> float_stats;
  std::map<std::string, bool> achievements;

  // [ticket]
  bool ticket_refuse = false;
  uint32 ticket_first_handle = 1;
  std::vector<unsigned char> ticket_bytes;

  // [join.N]
  std::vector<ScenarioJoinRequest> join_requests;

  // [servers], [servers.<list>.N]
  int servers_per_pump = 0; // 0: every result of a list in one pump
  std::array<std::vector<ScenarioServer>, kServerListCount> servers;

  // [favorites.N]
  std::vector<FavoriteEntry> favorites;

  Scenario();
};

// Parses INI text. On failure returns false and sets error to
// "<source>(<line>): <reason>".
bool parse_scenario(const std::string &text, const std::string &source, Scenario &out, std::string &error);

} // namespace steamsim
