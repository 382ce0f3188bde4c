// A stand-in for Steam's flat functions that the event side uses: each call is
// recorded, and the answers are set by the test.
#pragma once

#include "steam/steam_api.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fake {

struct Filter {
    std::string key;
    std::string value;
};

struct SteamState {
    bool running = true;        // accessors yield interfaces
    bool utilsMissing = false;  // only SteamUtils() yields null
    AppId_t appId = 480;
    std::uintptr_t nextHandle = 0x100;
    bool zeroHandles = false;  // requests answer 0

    // Calls in order, accessors left out: "ReleaseRequest 0x100",
    // "RequestInternetServerList 480", ...
    std::vector<std::string> calls;
    // The filters and count of the last request, as Steam read them.
    std::vector<Filter> lastFilters;
    uint32 lastFilterCount = 0;
    bool lastFiltersNull = true;
    ISteamMatchmakingServerListResponse* lastResponse = nullptr;

    // Server records by request handle and index.
    std::map<std::pair<HServerListRequest, int>, gameserveritem_t> details;
    // Registered callbacks with their ids.
    std::vector<std::pair<CCallbackBase*, int>> registered;
    // Runs inside SteamAPI_Shutdown, which is recorded as "Shutdown".
    std::function<void()> onShutdown;
    // An unregistration ends the process at once with status 3.
    bool unregisterEndsProcess = false;
};

extern SteamState steam;

void resetSteam();

// The registered callback of an event id, or null.
CCallbackBase* registeredCallback(int id);

std::string handleText(HServerListRequest request);

}  // namespace fake
