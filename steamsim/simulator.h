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

#include "steam/steam_flat.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace steamsim {

using Mutex = locking::Mutex;

enum class Interface { user, userStats, friends, utils, matchmaking, matchmakingServers };

class Simulator {
public:
    // The one simulator of the process; its scenario comes from
    // STEAMSIM_SCENARIO on first use.
    static Simulator& instance();

    // --- control ---
    void reset();
    bool loadText(const std::string& text, const std::string& source);
    bool loadFile(const std::string& path);
    CallLog& log() { return log_; }

    // Logs a call. Returns false, after marking the line "refused=stopped" or
    // "refused=self", when Steam is not started or `self` is not the
    // interface's object: the caller then answers with its failure value.
    bool enter(LogLine& line, const void* self, Interface which);
    void enter(const LogLine& line) { log_.add(line); }

    // --- start-up and the pump ---
    ESteamAPIInitResult init(const char* versions, SteamErrMsg* err);
    void shutdown();
    // lock: the caller's hold of the simulator's lock, let go of around each call
    // into a caller's object and taken again after it.
    void runCallbacks(std::unique_lock<Mutex>& lock);
    bool restartApp() const { return scenario_.restart; }
    void* interface(Interface which) const;

    void registerCallback(CCallbackBase* callback, int id);
    void unregisterCallback(CCallbackBase* callback);
    // "1", "2", ... for a registered callback, "unknown" otherwise.
    std::string callbackLabel(const CCallbackBase* callback) const;
    int callbackCount(int id) const;

    // --- ISteamUser ---
    bool loggedOn() const { return scenario_.loggedOn; }
    uint64 steamId() const { return scenario_.steamId; }
    HAuthTicket getTicket(void* buffer, int capacity, uint32* length);
    void cancelTicket(HAuthTicket ticket) { liveTickets_.erase(ticket); }
    bool ticketLive(HAuthTicket ticket) const { return liveTickets_.count(ticket) != 0; }

    // --- ISteamUserStats ---
    bool requestStats();
    bool getStat(const char* name, int32* value) const;
    bool getStat(const char* name, float* value) const;
    bool setStat(const char* name, int32 value);
    bool setStat(const char* name, float value);
    bool getAchievement(const char* name, bool* achieved) const;
    bool setAchievement(const char* name, bool achieved);
    bool storeStats() const { return scenario_.storeStats; }

    // --- ISteamUtils, ISteamFriends ---
    void setOverlayPosition(int position) { overlayPosition_ = position; }
    int overlayPosition() const { return overlayPosition_; }
    bool overlayNeedsPresent() const { return scenario_.overlayNeedsPresent; }
    AppId_t appId() const { return scenario_.appId; }
    bool setRichPresence(const char* key, const char* value);
    const std::string* richPresence(const std::string& key) const;

    // --- ISteamMatchmaking ---
    int favoriteCount() const { return static_cast<int>(favorites_.size()); }
    int addFavorite(const FavoriteEntry& entry);
    bool removeFavorite(const FavoriteEntry& entry);
    const FavoriteEntry* favorite(int index) const;

    // --- ISteamMatchmakingServers ---
    HServerListRequest requestList(ServerList list, AppId_t app,
                                   const std::vector<MatchMakingKeyValuePair_t>& filters,
                                   ISteamMatchmakingServerListResponse* response);
    void releaseRequest(HServerListRequest request) { requests_.erase(requestId(request)); }
    gameserveritem_t* serverDetails(HServerListRequest request, int server);
    int openRequestCount() const { return static_cast<int>(requests_.size()); }

private:
    friend class Locked;

    struct Registration {
        CCallbackBase* callback;
        int id;
        unsigned label;
    };
    struct Event {
        int id;
        std::vector<unsigned char> record;  // exactly the record's size on this platform
    };
    struct Request {
        ServerList list;
        ISteamMatchmakingServerListResponse* response;
        std::vector<ScenarioServer> servers;  // fixed once made: GetServerDetails points into it
        std::size_t next = 0;
        bool complete = false;
    };

    Simulator();
    void restartLog();
    void use(const Scenario& scenario, bool usable);
    void failScenario(const std::string& error);
    template <class Record>
    void queue(const Record& record);
    void deliver(Event& event, std::unique_lock<Mutex>& lock);
    void deliverResults(std::uintptr_t id, std::unique_lock<Mutex>& lock);
    static std::uintptr_t requestId(HServerListRequest request) {
        return reinterpret_cast<std::uintptr_t>(request);
    }

    Mutex mutex_;
    CallLog log_;
    Scenario scenario_;
    bool usable_ = true;
    bool started_ = false;
    bool pumping_ = false;
    int pumps_ = 0;

    std::vector<Registration> registrations_;
    unsigned nextLabel_ = 1;
    std::deque<Event> events_;

    std::map<std::uintptr_t, Request> requests_;
    std::uintptr_t nextRequest_ = 1;

    std::map<std::string, int32> intStats_;
    std::map<std::string, float> floatStats_;
    std::map<std::string, bool> achievements_;
    uint32 nextTicket_ = 1;
    std::set<HAuthTicket> liveTickets_;
    std::map<std::string, std::string> richPresence_;
    int overlayPosition_ = k_EPositionBottomRight;
    std::vector<FavoriteEntry> favorites_;
};

// The simulator for the length of one call from outside, its lock held.
//
//   Locked sim;
//   sim->enter(LogLine("SteamAPI_Shutdown"));
class Locked {
public:
    Locked() : simulator_(Simulator::instance()), lock_(simulator_.mutex_) {}
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

    Simulator* operator->() { return &simulator_; }
    Simulator& operator*() { return simulator_; }
    std::unique_lock<Mutex>& lock() { return lock_; }

private:
    Simulator& simulator_;
    std::unique_lock<Mutex> lock_;
};

// The interface an interface pointer of the flat API is meant to be.
constexpr Interface interfaceOf(const ISteamUser*) { return Interface::user; }
constexpr Interface interfaceOf(const ISteamUserStats*) { return Interface::userStats; }
constexpr Interface interfaceOf(const ISteamFriends*) { return Interface::friends; }
constexpr Interface interfaceOf(const ISteamUtils*) { return Interface::utils; }
constexpr Interface interfaceOf(const ISteamMatchmaking*) { return Interface::matchmaking; }
constexpr Interface interfaceOf(const ISteamMatchmakingServers*) {
    return Interface::matchmakingServers;
}

// One call of an interface's flat function, made the way every such call is: the
// simulator's lock held for the whole call, the call logged first, then model's
// answer (model(simulator)), or failure when Steam is stopped or self is not the
// interface its type names (Simulator::enter).
//
//   return answer(self, LogLine(__func__), false, [](Simulator& sim) { return sim.loggedOn(); });
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

}  // namespace steamsim
