#include "stats_received_event.h"

#include <atomic>

#include "callback_registry.h"
#include "steam/steam_api.h"

namespace quellink {

namespace {

std::atomic<bool> posted{false};

}  // namespace

void postUserStatsReceived() { posted.store(true); }

void forgetPostedUserStatsReceived() { posted.store(false); }

void deliverPostedUserStatsReceived() {
    // The common case, once per pump: nothing posted.
    if (!posted.load(std::memory_order_relaxed)) return;
    if (SteamUserStats() == nullptr || !posted.exchange(false)) return;

    // Filled from Steam's answers, as Steam's own event would be; the bridge's
    // handler reads none of it.
    UserStatsReceived_t event{};
    event.m_eResult = k_EResultOK;
    if (ISteamUtils* utils = SteamUtils()) event.m_nGameID = utils->GetAppID();
    if (ISteamUser* user = SteamUser()) event.m_steamIDUser = user->GetSteamID();
    runUserStatsReceived(event);
}

}  // namespace quellink
