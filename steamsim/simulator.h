// The simulated Steam client: the state behind the flat functions.
//
// Callers may come from several threads at once. Every call from outside (a flat
// function, a steamsim_* control function) holds the simulator's lock for its
// whole length (Locked). The pump lets go of the lock while it runs the caller's
// objects (a callback's Run, a server-list response), so these may call back in,
// from the pumping thread or another.
#pragma once

#include "call_log.h"
#include "mutex.h"
#include "scenario.h"

#include "bridge/steam/steam_flat.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace steamsim {

enum class Interface { User, UserStats, Friends, Utils, Matchmaking, MatchmakingServers };

class Simulator {
public:
  // The one simulator of the process; its scenario comes from
  // STEAMSIM_SCENARIO on first use.
  static Simulator &instance();

  // --- control ---
  void reset();
  bool load_text(const std::string &text, const std::string &source);
  bool load_file(const std::string &path);
  CallLog &log() { return log_; }

  // Logs a call. Returns false, after marking the line "refused=stopped" or
  // "refused=self", when Steam is not started or `self` is not the
  // interface's object: the caller then answers with its failure value.
  bool enter(LogLine &line, const void *self, Interface which);
  void enter(const LogLine &line) { log_.add(line); }

  // --- start-up and the pump ---
  ESteamAPIInitResult init(const char *versions, SteamErrMsg *err);
  void shutdown();
  // lock: the caller's hold of the simulator's lock, let go of around each call
  // into a caller's object and taken again after it.
  void run_callbacks(std::unique_lock<Mutex> &lock);
  bool restart_app() const { return scenario_.restart; }
  void *interface(Interface which) const;

  void register_callback(CCallbackBase *callback, int id);
  void unregister_callback(CCallbackBase *callback);
  // "1", "2", ... for a registered callback, "unknown" otherwise.
  std::string callback_label(const CCallbackBase *callback) const;
  int callback_count(int id) const;

  // --- ISteamUser ---
  bool logged_on() const { return scenario_.logged_on; }
  uint64 steam_id() const { return scenario_.steam_id; }
  HAuthTicket get_ticket(void *buffer, int capacity, uint32 *length);
  void cancel_ticket(HAuthTicket ticket) { live_tickets_.erase(ticket); }
  bool ticket_live(HAuthTicket ticket) const { return live_tickets_.count(ticket) != 0; }

  // --- ISteamUserStats ---
  bool request_stats();
  bool get_stat(const char *name, int32 *value) const;
  bool get_stat(const char *name, float *value) const;
  bool set_stat(const char *name, int32 value);
  bool set_stat(const char *name, float value);
  bool get_achievement(const char *name, bool *achieved) const;
  bool set_achievement(const char *name, bool achieved);
  bool store_stats() const { return scenario_.store_stats; }

  // --- ISteamUtils, ISteamFriends ---
  void set_overlay_position(int position) { overlay_position_ = position; }
  int overlay_position() const { return overlay_position_; }
  bool overlay_needs_present() const { return scenario_.overlay_needs_present; }
  AppId_t app_id() const { return scenario_.app_id; }
  bool set_rich_presence(const char *key, const char *value);
  const std::string *rich_presence(const std::string &key) const;

  // --- ISteamMatchmaking ---
  int favorite_count() const { return static_cast<int>(favorites_.size()); }
  int add_favorite(const FavoriteEntry &entry);
  bool remove_favorite(const FavoriteEntry &entry);
  const FavoriteEntry *favorite(int index) const;

  // --- ISteamMatchmakingServers ---
  HServerListRequest request_list(ServerList list, AppId_t app, const std::vector<MatchMakingKeyValuePair_t> &filters,
                                  ISteamMatchmakingServerListResponse *response);
  void release_request(HServerListRequest request) { requests_.erase(request_id(request)); }
  gameserveritem_t *server_details(HServerListRequest request, int server);
  int open_request_count() const { return static_cast<int>(requests_.size()); }

private:
  friend class Locked;

  struct Registration {
    CCallbackBase *callback;
    int id;
    unsigned label;
  };
  struct Event {
    int id;
    std::vector<unsigned char> record; // exactly the record's size on this platform
  };
  struct Request {
    ServerList list;
    ISteamMatchmakingServerListResponse *response;
    std::vector<ScenarioServer> servers; // fixed once made: GetServerDetails points into it
    std::size_t next = 0;
    bool complete = false;
  };

  Simulator();
  void restart_log();
  void use(const Scenario &scenario, bool usable);
  void fail_scenario(const std::string &error);
  template <class Record> void queue(const Record &record);
  void deliver(Event &event, std::unique_lock<Mutex> &lock);
  void deliver_results(std::uintptr_t id, std::unique_lock<Mutex> &lock);
  static std::uintptr_t request_id(HServerListRequest request) { return reinterpret_cast<std::uintptr_t>(request); }

  Mutex mutex_;
  CallLog log_;
  Scenario scenario_;
  bool usable_ = true;
  bool started_ = false;
  bool pumping_ = false;
  int pumps_ = 0;

  std::vector<Registration> registrations_;
  unsigned next_label_ = 1;
  std::deque<Event> events_;

  std::map<std::uintptr_t, Request> requests_;
  std::uintptr_t next_request_ = 1;

  std::map<std::string, int32> int_stats_;
  std::map<std::string, float> float_stats_;
  std::map<std::string, bool> achievements_;
  uint32 next_ticket_ = 1;
  std::set<HAuthTicket> live_tickets_;
  std::map<std::string, std::string> rich_presence_;
  int overlay_position_ = k_EPositionBottomRight;
  std::vector<FavoriteEntry> favorites_;
};

// The simulator for the length of one call from outside, its lock held.
//
//   Locked sim;
//   sim->enter(LogLine("SteamAPI_Shutdown"));
class Locked {
public:
  Locked() : simulator_(Simulator::instance()), lock_(simulator_.mutex_) {}
  Locked(const Locked &) = delete;
  Locked &operator=(const Locked &) = delete;

  Simulator *operator->() { return &simulator_; }
  Simulator &operator*() { return simulator_; }
  std::unique_lock<Mutex> &lock() { return lock_; }

private:
  Simulator &simulator_;
  std::unique_lock<Mutex> lock_;
};

// The interface an interface pointer of the flat API is meant to be.
constexpr Interface interfaceOf(const ISteamUser*) { return Interface::User; }
constexpr Interface interfaceOf(const ISteamUserStats*) { return Interface::UserStats; }
constexpr Interface interfaceOf(const ISteamFriends*) { return Interface::Friends; }
constexpr Interface interfaceOf(const ISteamUtils*) { return Interface::Utils; }
constexpr Interface interfaceOf(const ISteamMatchmaking*) { return Interface::Matchmaking; }
constexpr Interface interfaceOf(const ISteamMatchmakingServers*) {
    return Interface::MatchmakingServers;
}

// One call of an interface's flat function, made the way every such call is: the
// simulator's lock held for the whole call, the call logged first, then model's
// answer (model(simulator)), or failure when Steam is stopped or self is not the
// interface its type names (Simulator::enter).
//
//   return answer(self, LogLine(__func__), false, [](Simulator& sim) { return sim.logged_on(); });
template <class Self, class Model>
std::invoke_result_t<Model, Simulator&> answer(Self* self, LogLine line,
                                               std::invoke_result_t<Model, Simulator&> failure,
                                               Model&& model) {
    Locked sim;
    if (!sim->enter(line, self, interfaceOf(self))) return failure;
    return model(*sim);
}

// The same for a function that answers nothing: model runs only when the call is
// not refused.
template <class Self, class Model>
void answer(Self* self, LogLine line, Model&& model) {
    Locked sim;
    if (sim->enter(line, self, interfaceOf(self))) model(*sim);
}

} // namespace steamsim
