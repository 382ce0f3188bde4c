// The server browser: list requests and the relay that turns Steam's per-server
// results into calls of the Java object that registered with CreateCallback.
#pragma once

#include "java_upcall.h"
#include "steam/steam_api.h"

#include <jni.h>

namespace quellink {

// The five kinds of server list Steam offers.
enum class ServerListKind { lan, internet, favorites, history, friends };

// The filters of every list except LAN: only servers of the game directory
// "zarnkeepserver" that report themselves secure. Built afresh for each request;
// Steam takes a pointer to a pointer to the first entry, and the count.
struct ServerListFilters {
    static constexpr uint32 count = 2;

    ServerListFilters();
    ServerListFilters(const ServerListFilters&) = delete;
    ServerListFilters& operator=(const ServerListFilters&) = delete;

    MatchMakingKeyValuePair_t** list() { return &first; }

    MatchMakingKeyValuePair_t entries[count];
    MatchMakingKeyValuePair_t* first;
};

// The eleven arguments of the Java method ServerResponded, in its order, taken from
// one server record. The name and tags point into this record, the address into one of
// servernetadr_t's four address text buffers.
struct ServerRespondedArgs {
    const char* name;       // the server name; the address when the name is empty
    const char* address;    // "a.b.c.d:port" of the connection port
    jlong ip;               // 0 to 4294967295
    jshort connectionPort;  // ports above 32767 arrive negative
    jint players;
    jint maxPlayers;
    jboolean password;
    jint ping;
    jboolean secure;
    jshort queryPort;
    const char* tags;

    // Copies of the name and tags, terminated even when Steam's fields are full.
    char nameText[k_cbMaxGameServerName + 1];
    char tagsText[k_cbMaxGameServerTags + 1];
};

// Fills args from a server of the game appId. False, with nothing collected, for a
// server of another application.
bool collectServerResponded(const gameserveritem_t& server, AppId_t appId,
                            ServerRespondedArgs& args);

// The request handle as Java sees it: a 64-bit integer, 0 for none.
inline jlong requestHandleToJava(HServerListRequest request) {
    return static_cast<jlong>(reinterpret_cast<std::uintptr_t>(request));
}

// The response object of the bridge's server-list requests. It remembers the one
// request it last started (the tracked request) so that the next request, a cancel
// or its own end releases it, and holds a reference of its own to the Java target.
class ServerListResponseCallback final : public ISteamMatchmakingServerListResponse {
public:
    // Takes a global reference to target and looks up the three Java methods on its
    // class. A method the class lacks leaves NoSuchMethodError pending for Java and no
    // ID here (the other methods are still looked up): its events call nothing.
    ServerListResponseCallback(JNIEnv* env, jobject target, JavaVM* vm);
    // Releases the tracked request: Steam must never call the relay once it is freed.
    ~ServerListResponseCallback() { releaseTrackedRequest(); }

    ServerListResponseCallback(const ServerListResponseCallback&) = delete;
    ServerListResponseCallback& operator=(const ServerListResponseCallback&) = delete;

    // Releases the tracked request, if any, and starts a list of this kind for the
    // running game with this object as the response object; the new handle becomes
    // the tracked request. Returns it, or 0 without Steam (the tracked request then
    // stays as it was).
    HServerListRequest startRequest(ServerListKind kind);

    // Releases the tracked request, if any; nothing without Steam.
    void releaseTrackedRequest();

    // Drops the tracked request without releasing it: SteamAPI_Shutdown frees every
    // request, and the handle, a pointer into Steam, must not reach a later session.
    void forgetTrackedRequest() { trackedRequest_ = nullptr; }

    HServerListRequest trackedRequest() const { return trackedRequest_; }

    // ISteamMatchmakingServerListResponse, called inside SteamAPI_RunCallbacks.
    void ServerResponded(HServerListRequest request, int server) override;
    void ServerFailedToRespond(HServerListRequest request, int server) override;
    void RefreshComplete(HServerListRequest request, EMatchMakingServerResponse response) override;

private:
    void callWithoutArguments(jmethodID method);

    HServerListRequest trackedRequest_;
    JavaGlobalRef target_;
    jmethodID serverResponded_;
    jmethodID serverFailedToRespond_;
    jmethodID refreshComplete_;
};

}  // namespace quellink
