#include "server_list_relay.h"

#include "field_text.h"
#include "java_upcall.h"

namespace quellink {

namespace {

constexpr const char* serverRespondedSignature =
    "(Ljava/lang/String;Ljava/lang/String;JSIIZIZSLjava/lang/String;)V";

using FilteredListRequest = HServerListRequest (ISteamMatchmakingServers::*)(
    AppId_t, MatchMakingKeyValuePair_t**, uint32, ISteamMatchmakingServerListResponse*);

// The request of each kind of list that takes the filters: every kind but LAN.
FilteredListRequest filteredListRequest(ServerListKind kind) {
    switch (kind) {
        case ServerListKind::favorites:
            return &ISteamMatchmakingServers::RequestFavoritesServerList;
        case ServerListKind::history: return &ISteamMatchmakingServers::RequestHistoryServerList;
        case ServerListKind::friends: return &ISteamMatchmakingServers::RequestFriendsServerList;
        default: return &ISteamMatchmakingServers::RequestInternetServerList;
    }
}

jboolean toJava(bool flag) { return flag ? JNI_TRUE : JNI_FALSE; }

// Steam's unsigned 16-bit port in a Java short: the same 16 bits.
jshort portToJava(uint16 port) { return static_cast<jshort>(static_cast<int16>(port)); }

}  // namespace

// Steam's record copies each text bounded by its field, zero-filled behind it.
ServerListFilters::ServerListFilters()
    : entries{{"gamedir", "zarnkeepserver"}, {"secure", "1"}}, first(entries) {}

bool collectServerResponded(const gameserveritem_t& server, AppId_t appId,
                            ServerRespondedArgs& args) {
    if (server.m_nAppID != appId) return false;

    const servernetadr_t& address = server.m_NetAdr;
    args.address = address.GetConnectionAddressString();
    // An empty name reads as the address; a text as long as its field is not terminated.
    copyFieldText(args.nameText, server.GetName());
    args.name = args.nameText;
    args.ip = static_cast<jlong>(address.GetIP());
    args.connectionPort = portToJava(address.GetConnectionPort());
    args.players = server.m_nPlayers;
    args.maxPlayers = server.m_nMaxPlayers;
    args.password = toJava(server.m_bPassword);
    args.ping = server.m_nPing;
    args.secure = toJava(server.m_bSecure);
    args.queryPort = portToJava(address.GetQueryPort());
    copyFieldText(args.tagsText, server.m_szGameTags);
    args.tags = args.tagsText;
    return true;
}

ServerListResponseCallback::ServerListResponseCallback(JNIEnv* env, jobject target, JavaVM* vm)
    : trackedRequest_(nullptr),
      target_(vm, nullptr),
      serverResponded_(nullptr),
      serverFailedToRespond_(nullptr),
      refreshComplete_(nullptr) {
    JavaTargetLookup lookup(env, target);
    target_ = lookup.globalRef(vm);
    serverResponded_ = lookup.method("ServerResponded", serverRespondedSignature);
    serverFailedToRespond_ = lookup.method("ServerFailedToRespond", "()V");
    refreshComplete_ = lookup.method("RefreshComplete", "()V");
}

HServerListRequest ServerListResponseCallback::startRequest(ServerListKind kind) {
    ServerListFilters filters;
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    if (servers == nullptr) return nullptr;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return nullptr;

    if (trackedRequest_ != nullptr) {
        servers->ReleaseRequest(trackedRequest_);
        trackedRequest_ = nullptr;
    }
    AppId_t appId = utils->GetAppID();
    if (kind == ServerListKind::lan) {
        trackedRequest_ = servers->RequestLANServerList(appId, this);
    } else {
        trackedRequest_ = (servers->*filteredListRequest(kind))(appId, filters.list(),
                                                                ServerListFilters::count, this);
    }
    return trackedRequest_;
}

void ServerListResponseCallback::releaseTrackedRequest() {
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    if (servers == nullptr || trackedRequest_ == nullptr) return;
    servers->ReleaseRequest(trackedRequest_);
    trackedRequest_ = nullptr;
}

void ServerListResponseCallback::ServerResponded(HServerListRequest request, int server) {
    ISteamMatchmakingServers* servers = SteamMatchmakingServers();
    if (servers == nullptr) return;
    ISteamUtils* utils = SteamUtils();
    if (utils == nullptr) return;

    const gameserveritem_t* details = servers->GetServerDetails(request, server);
    ServerRespondedArgs args;
    bool collected =
        details != nullptr && collectServerResponded(*details, utils->GetAppID(), args);

    JavaUpcall call(target_.vm());
    if (!collected || target_.get() == nullptr || serverResponded_ == nullptr || !call.ready())
        return;
    JNIEnv* env = call.env();
    LocalJavaString name(env, args.name);
    if (name.get() == nullptr) return;  // no Java call; the OutOfMemoryError stays pending
    // An address or tags String that cannot be made is passed as null. Its
    // OutOfMemoryError is reported first, since JNI allows no call with it pending.
    LocalJavaString address(env, args.address);
    if (address.get() == nullptr) env->ExceptionDescribe();
    LocalJavaString tags(env, args.tags);
    if (tags.get() == nullptr) env->ExceptionDescribe();
    env->CallVoidMethod(target_.get(), serverResponded_, name.get(), address.get(), args.ip,
                        args.connectionPort, args.players, args.maxPlayers, args.password,
                        args.ping, args.secure, args.queryPort, tags.get());
}

void ServerListResponseCallback::ServerFailedToRespond(HServerListRequest, int) {
    callWithoutArguments(serverFailedToRespond_);
}

void ServerListResponseCallback::RefreshComplete(HServerListRequest, EMatchMakingServerResponse) {
    // The request stays tracked: the next request or a cancel releases it.
    callWithoutArguments(refreshComplete_);
}

void ServerListResponseCallback::callWithoutArguments(jmethodID method) {
    JavaUpcall call(target_.vm());
    if (target_.get() == nullptr || method == nullptr || !call.ready()) return;
    call.env()->CallVoidMethod(target_.get(), method);
}

}  // namespace quellink
