// The user's favourites and history lists of game servers, for the running game.
// Java names a server by its IPv4 address (host order, first octet most significant)
// and its two ports. Only the low 32 bits of the address and of the last-played time
// and the low 16 bits of each port are used, so an address may come as the positive
// long that ServerResponded delivers or as the same 32 bits in an int, and a port as
// the negative short that ServerResponded delivers for ports above 32767.
#include "Pellux_Steam_api.h"
#include "steam/steam_api.h"

namespace {

// One entry of the lists, as Steam keys it: the running game's app id, the address
// and both ports, cut to Steam's widths.
struct ServerListEntry {
    ServerListEntry(jlong ip, jint connectionPort, jint queryPort)
        : ip(static_cast<uint32>(ip)),
          connectionPort(static_cast<uint16>(connectionPort)),
          queryPort(static_cast<uint16>(queryPort)) {}

    // Fetches the interfaces and the app id; false while Steam is not started.
    bool open() {
        matchmaking = SteamMatchmaking();
        if (matchmaking == nullptr) return false;
        ISteamUtils* utils = SteamUtils();
        if (utils == nullptr) return false;
        app = utils->GetAppID();
        return true;
    }

    int add(uint32 flags, jlong lastPlayed) const {
        return matchmaking->AddFavoriteGame(app, ip, connectionPort, queryPort, flags,
                                            static_cast<uint32>(lastPlayed));
    }
    bool remove(uint32 flags) const {
        return matchmaking->RemoveFavoriteGame(app, ip, connectionPort, queryPort, flags);
    }
    int count() const { return matchmaking->GetFavoriteGameCount(); }

    uint32 ip;
    uint16 connectionPort;
    uint16 queryPort;
    ISteamMatchmaking* matchmaking = nullptr;
    AppId_t app = 0;
};

}  // namespace

extern "C" {

// Steam's result, as it is.
JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_AddFavoriteServer(JNIEnv*, jobject, jlong ip,
                                                                jint connectionPort, jint queryPort,
                                                                jlong lastPlayed) {
    ServerListEntry entry(ip, connectionPort, queryPort);
    if (!entry.open()) return 0;
    return entry.add(k_unFavoriteFlagFavorite, lastPlayed);
}

JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_RemoveFavoriteServer(JNIEnv*, jobject, jlong ip,
                                                                       jint connectionPort,
                                                                       jint queryPort) {
    ServerListEntry entry(ip, connectionPort, queryPort);
    if (!entry.open()) return JNI_FALSE;
    return entry.remove(k_unFavoriteFlagFavorite) ? JNI_TRUE : JNI_FALSE;
}

// Steam's result is dropped: Java gets the number of entries Steam reports afterwards.
JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_AddHistoryServer(JNIEnv*, jobject, jlong ip,
                                                               jint connectionPort, jint queryPort,
                                                               jlong lastPlayed) {
    ServerListEntry entry(ip, connectionPort, queryPort);
    if (!entry.open()) return 0;
    entry.add(k_unFavoriteFlagHistory, lastPlayed);
    return entry.count();
}

JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_RemoveHistoryServer(JNIEnv*, jobject, jlong ip,
                                                                  jint connectionPort,
                                                                  jint queryPort) {
    ServerListEntry entry(ip, connectionPort, queryPort);
    if (!entry.open()) return 0;
    entry.remove(k_unFavoriteFlagHistory);
    return entry.count();
}

}  // extern "C"
