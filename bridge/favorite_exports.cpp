// The user's favourites and history lists of game servers, for the running game.
// Java names a server by its IPv4 address (host order, first octet most significant)
// and its two ports. Only the low 32 bits of the address and of the last-played time
// and the low 16 bits of each port are used, so an address may come as the positive
// long that ServerResponded delivers or as the same 32 bits in an int, and a port as
// the negative short that ServerResponded delivers for ports above 32767.
#include "Pellux_Steam_api.h"
#include "steam/steam_api.h"

namespace {

struct FavoriteServer {
    FavoriteServer(jlong ip, jint connectionPort, jint queryPort)
        : ip(static_cast<uint32>(ip)), connectionPort(static_cast<uint16>(connectionPort)),
          queryPort(static_cast<uint16>(queryPort)) {}

    uint32 ip;
    uint16 connectionPort;
    uint16 queryPort;
};

uint32 lastPlayedTime(jlong time) { return static_cast<uint32>(time); }

}  // namespace

extern "C" {

// Steam's result, as it is.
JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_AddFavoriteServer(JNIEnv*, jobject, jlong ip, jint connectionPort,
                                                                 jint queryPort, jlong lastPlayed) {
    ISteamMatchmaking* matchmaking = SteamMatchmaking();
    if (matchmaking == nullptr) return 0;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return 0;
    FavoriteServer server(ip, connectionPort, queryPort);
    return matchmaking->AddFavoriteGame(utils->GetAppID(), server.ip, server.connectionPort, server.queryPort,
                                        k_unFavoriteFlagFavorite, lastPlayedTime(lastPlayed));
}

JNIEXPORT jboolean JNICALL Java_Pellux_Steam_1api_RemoveFavoriteServer(JNIEnv*, jobject, jlong ip,
                                                                        jint connectionPort, jint queryPort) {
    ISteamMatchmaking* matchmaking = SteamMatchmaking();
    if (matchmaking == nullptr) return JNI_FALSE;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return JNI_FALSE;
    FavoriteServer server(ip, connectionPort, queryPort);
    return matchmaking->RemoveFavoriteGame(utils->GetAppID(), server.ip, server.connectionPort, server.queryPort,
                                           k_unFavoriteFlagFavorite)
               ? JNI_TRUE
               : JNI_FALSE;
}

// Steam's result is dropped: Java gets the number of entries Steam reports afterwards.
JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_AddHistoryServer(JNIEnv*, jobject, jlong ip, jint connectionPort,
                                                                jint queryPort, jlong lastPlayed) {
    ISteamMatchmaking* matchmaking = SteamMatchmaking();
    if (matchmaking == nullptr) return 0;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return 0;
    FavoriteServer server(ip, connectionPort, queryPort);
    matchmaking->AddFavoriteGame(utils->GetAppID(), server.ip, server.connectionPort, server.queryPort,
                                 k_unFavoriteFlagHistory, lastPlayedTime(lastPlayed));
    return matchmaking->GetFavoriteGameCount();
}

JNIEXPORT jint JNICALL Java_Pellux_Steam_1api_RemoveHistoryServer(JNIEnv*, jobject, jlong ip, jint connectionPort,
                                                                   jint queryPort) {
    ISteamMatchmaking* matchmaking = SteamMatchmaking();
    if (matchmaking == nullptr) return 0;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return 0;
    FavoriteServer server(ip, connectionPort, queryPort);
    matchmaking->RemoveFavoriteGame(utils->GetAppID(), server.ip, server.connectionPort, server.queryPort,
                                    k_unFavoriteFlagHistory);
    return matchmaking->GetFavoriteGameCount();
}

}  // extern "C"
