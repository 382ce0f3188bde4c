#include "missing_interfaces.h"

namespace quellink {

namespace {

constexpr unsigned userStats = steamInterfaceBit(SteamInterface::userStats);
constexpr unsigned friends = steamInterfaceBit(SteamInterface::friends);
constexpr unsigned utils = steamInterfaceBit(SteamInterface::utils);
constexpr unsigned matchmaking = steamInterfaceBit(SteamInterface::matchmaking);
constexpr unsigned matchmakingServers = steamInterfaceBit(SteamInterface::matchmakingServers);

// Each native that needs an interface besides SteamUser (without which Steam does
// not start), in the order of Pellux.Steam_api, and the interfaces it needs. The
// server lists and the favourites ask SteamUtils for the game's app id.
struct NativeNeeds {
    const char* native;
    unsigned interfaces;
};
constexpr NativeNeeds nativeNeeds[] = {
    {"RequestCurrentStats", userStats},
    {"GetStatInt", userStats},
    {"SetStatInt", userStats},
    {"GetStatFloat", userStats},
    {"SetStatFloat", userStats},
    {"getAchievements", userStats},
    {"setAchievements", userStats},
    {"setClearAchievement", userStats},
    {"StoreStats", userStats},
    {"SetOverlayNotificationPosition", utils},
    {"OverlayNeedsPresent", utils},
    {"UpdateRichPresenceConnectionInfo", friends},
    {"RequestLANServerList", matchmakingServers | utils},
    {"RequestInternetServerList", matchmakingServers | utils},
    {"RequestFavoriteServerList", matchmakingServers | utils},
    {"RequestHistoryServerList", matchmakingServers | utils},
    {"RequestFriendsServerList", matchmakingServers | utils},
    {"CancelServerListRequest", matchmakingServers},
    {"AddFavoriteServer", matchmaking | utils},
    {"RemoveFavoriteServer", matchmaking | utils},
    {"AddHistoryServer", matchmaking | utils},
    {"RemoveHistoryServer", matchmaking | utils},
};

}  // namespace

void reportMissingInterfaces(const SteamBinding& steam, std::ostream& out) {
    if (!steam.supported() || steam.unbound == 0) return;
    out << "Steam library partly supported: it exports no known accessor";
    const char* joint = " of ";
    for (int i = 0; i < steamInterfaceCount; ++i) {
        const auto which = static_cast<SteamInterface>(i);
        if (steam.binds(which)) continue;
        out << joint << steamInterfaceName(which) << " (" << knownAccessors(which) << ")";
        joint = " nor of ";
    }
    out << "; these answer as without Steam:";
    joint = " ";
    for (const NativeNeeds& needs : nativeNeeds) {
        if ((needs.interfaces & steam.unbound) == 0) continue;
        out << joint << needs.native;
        joint = ", ";
    }
    out << std::endl;
}

}  // namespace quellink
