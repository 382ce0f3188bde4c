// Types, constants and records of the Steam client API, declared from the
// library's binary interface; the ones used here are the same in every
// generation of the library from SDK 1.55 on. Every size and offset the library
// depends on is checked below for the platform at hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

static_assert(sizeof(void*) == 8, "the Steam declarations describe the 64-bit library");
static_assert(sizeof(bool) == 1, "Steam's bool is one byte");
static_assert(sizeof(int) == 4, "Steam's int is four bytes");
static_assert(sizeof(float) == 4, "Steam's float is four bytes");

// A field of a record the library reads or writes lies at the offset the
// library expects.
#define STEAM_LAYOUT(Type, member, offset) \
    static_assert(offsetof(Type, member) == (offset), #Type "::" #member " is at byte " #offset)

// --- Integer types as the SDK spells them -----------------------------------
typedef std::int8_t int8;
typedef std::uint8_t uint8;
typedef std::int16_t int16;
typedef std::uint16_t uint16;
typedef std::int32_t int32;
typedef std::uint32_t uint32;
typedef std::int64_t int64;
typedef std::uint64_t uint64;

typedef uint32 AppId_t;
typedef uint32 HAuthTicket;
typedef uint64 SteamAPICall_t;
typedef void* HServerListRequest;
typedef uint32 RTime32;
typedef char SteamErrMsg[1024];

constexpr AppId_t k_uAppIdInvalid = 0;
constexpr HAuthTicket k_HAuthTicketInvalid = 0;
constexpr SteamAPICall_t k_uAPICallInvalid = 0;

// Flags of an entry in the favourites/history list.
constexpr uint32 k_unFavoriteFlagNone = 0x00;
constexpr uint32 k_unFavoriteFlagFavorite = 0x01;
constexpr uint32 k_unFavoriteFlagHistory = 0x02;

constexpr int k_cchMaxRichPresenceKeys = 30;
constexpr int k_cchMaxRichPresenceKeyLength = 64;
constexpr int k_cchMaxRichPresenceValueLength = 256;

constexpr int k_cbMaxGameServerGameDir = 32;
constexpr int k_cbMaxGameServerMapName = 32;
constexpr int k_cbMaxGameServerGameDescription = 64;
constexpr int k_cbMaxGameServerName = 64;
constexpr int k_cbMaxGameServerTags = 128;

// Steam's identity of a networking peer. Only ever passed by pointer (null
// for "no identity"), so its layout does not matter here.
struct SteamNetworkingIdentity;

// --- Enumerations (all four-byte ints) --------------------------------------
enum ESteamAPIInitResult {
    k_ESteamAPIInitResult_OK = 0,
    k_ESteamAPIInitResult_FailedGeneric = 1,
    k_ESteamAPIInitResult_NoSteamClient = 2,
    k_ESteamAPIInitResult_VersionMismatch = 3,
};

enum EResult {
    k_EResultNone = 0,
    k_EResultOK = 1,
    k_EResultFail = 2,
    k_EResultNoConnection = 3,
    k_EResultInvalidParam = 8,
    k_EResultAccessDenied = 15,
    k_EResultTimeout = 16,
};

enum ENotificationPosition {
    k_EPositionInvalid = -1,
    k_EPositionTopLeft = 0,
    k_EPositionTopRight = 1,
    k_EPositionBottomLeft = 2,
    k_EPositionBottomRight = 3,
};

enum EMatchMakingServerResponse {
    eServerResponded = 0,
    eServerFailedToRespond = 1,
    eNoServersListedOnMasterServer = 2,
};

static_assert(sizeof(ESteamAPIInitResult) == 4, "enums cross the ABI as int");
static_assert(sizeof(EResult) == 4, "enums cross the ABI as int");
static_assert(sizeof(ENotificationPosition) == 4, "enums cross the ABI as int");
static_assert(sizeof(EMatchMakingServerResponse) == 4, "enums cross the ABI as int");

// --- CSteamID: 64 bits, byte-aligned ----------------------------------------
#pragma pack(push, 1)
class CSteamID {
public:
    CSteamID() : m_steamid(0) {}
    explicit CSteamID(uint64 id) : m_steamid(id) {}

    uint64 ConvertToUint64() const { return m_steamid; }
    void SetFromUint64(uint64 id) { m_steamid = id; }
    uint32 GetAccountID() const { return static_cast<uint32>(m_steamid & 0xFFFFFFFFu); }
    bool IsValid() const { return m_steamid != 0; }

    bool operator==(const CSteamID& other) const { return m_steamid == other.m_steamid; }
    bool operator!=(const CSteamID& other) const { return m_steamid != other.m_steamid; }

private:
    uint64 m_steamid;
};
#pragma pack(pop)

static_assert(sizeof(CSteamID) == 8, "CSteamID is 8 bytes");
static_assert(alignof(CSteamID) == 1, "CSteamID is byte-aligned");

// --- Callback records: packed to 8 on Windows, to 4 elsewhere ---------------
#if defined(_WIN32)
#pragma pack(push, 8)
#else
#pragma pack(push, 4)
#endif

// The current user's statistics have arrived (answer to RequestCurrentStats).
struct UserStatsReceived_t {
    static constexpr int k_iCallback = 1101;
    uint64 m_nGameID;
    EResult m_eResult;
    CSteamID m_steamIDUser;
};

// A friend asks to join the game through rich presence.
struct GameRichPresenceJoinRequested_t {
    static constexpr int k_iCallback = 337;
    CSteamID m_steamIDFriend;
    char m_rgchConnect[k_cchMaxRichPresenceValueLength];
};

#pragma pack(pop)

#if defined(_WIN32)
static_assert(sizeof(UserStatsReceived_t) == 24, "UserStatsReceived_t is 24 bytes on Windows");
#else
static_assert(sizeof(UserStatsReceived_t) == 20, "UserStatsReceived_t is 20 bytes on Linux");
#endif
STEAM_LAYOUT(UserStatsReceived_t, m_nGameID, 0);
STEAM_LAYOUT(UserStatsReceived_t, m_eResult, 8);
STEAM_LAYOUT(UserStatsReceived_t, m_steamIDUser, 12);

static_assert(sizeof(GameRichPresenceJoinRequested_t) == 264,
              "GameRichPresenceJoinRequested_t size");
STEAM_LAYOUT(GameRichPresenceJoinRequested_t, m_steamIDFriend, 0);
STEAM_LAYOUT(GameRichPresenceJoinRequested_t, m_rgchConnect, 8);

// --- Server browser records (default packing) -------------------------------

// A server's address: IPv4 in host order (first octet most significant) and
// its two ports.
class servernetadr_t {
public:
    servernetadr_t() : m_usConnectionPort(0), m_usQueryPort(0), m_unIP(0) {}

    void Init(uint32 ip, uint16 queryPort, uint16 connectionPort) {
        m_unIP = ip;
        m_usQueryPort = queryPort;
        m_usConnectionPort = connectionPort;
    }
    uint16 GetQueryPort() const { return m_usQueryPort; }
    void SetQueryPort(uint16 port) { m_usQueryPort = port; }
    uint16 GetConnectionPort() const { return m_usConnectionPort; }
    void SetConnectionPort(uint16 port) { m_usConnectionPort = port; }
    uint32 GetIP() const { return m_unIP; }
    void SetIP(uint32 ip) { m_unIP = ip; }

    // "a.b.c.d:port" of the connection port, in one of four rotating buffers.
    const char* GetConnectionAddressString() const { return ToString(m_unIP, m_usConnectionPort); }
    const char* GetQueryAddressString() const { return ToString(m_unIP, m_usQueryPort); }

    uint16 m_usConnectionPort;
    uint16 m_usQueryPort;
    uint32 m_unIP;

private:
    static const char* ToString(uint32 ip, uint16 port) {
        static char buffers[4][64];
        static int next = 0;
        char* text = buffers[next];
        next = (next + 1) % 4;
        std::snprintf(text, 64, "%u.%u.%u.%u:%i", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu,
                      (ip >> 8) & 0xFFu, ip & 0xFFu, static_cast<int>(port));
        return text;
    }
};

static_assert(sizeof(servernetadr_t) == 8, "servernetadr_t size");
STEAM_LAYOUT(servernetadr_t, m_usConnectionPort, 0);
STEAM_LAYOUT(servernetadr_t, m_usQueryPort, 2);
STEAM_LAYOUT(servernetadr_t, m_unIP, 4);

// One server of a server-list request, as GetServerDetails returns it. From SDK
// 1.65 on the library's record goes on after m_steamID with two friend counts (int
// at 372 and at 376: 380 bytes); the fields here are the same in every generation.
// Quellink only reads them through the library's pointer, and never copies a record
// or steps through an array of them, so either length works.
class gameserveritem_t {
public:
    gameserveritem_t() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }

    const char* GetName() const {
        // An empty name reads as the connection address, as Steam shows it.
        return m_szServerName[0] != '\0' ? m_szServerName : m_NetAdr.GetConnectionAddressString();
    }
    void SetName(const char* name) {
        std::strncpy(m_szServerName, name, sizeof(m_szServerName));
        m_szServerName[sizeof(m_szServerName) - 1] = '\0';
    }

    servernetadr_t m_NetAdr;
    int m_nPing;
    bool m_bHadSuccessfulResponse;
    bool m_bDoNotRefresh;
    char m_szGameDir[k_cbMaxGameServerGameDir];
    char m_szMap[k_cbMaxGameServerMapName];
    char m_szGameDescription[k_cbMaxGameServerGameDescription];
    uint32 m_nAppID;
    int m_nPlayers;
    int m_nMaxPlayers;
    int m_nBotPlayers;
    bool m_bPassword;
    bool m_bSecure;
    uint32 m_ulTimeLastPlayed;
    int m_nServerVersion;
    char m_szServerName[k_cbMaxGameServerName];
    char m_szGameTags[k_cbMaxGameServerTags];
    CSteamID m_steamID;
};

static_assert(sizeof(gameserveritem_t) == 372, "gameserveritem_t size");
static_assert(alignof(gameserveritem_t) == 4, "gameserveritem_t alignment");
STEAM_LAYOUT(gameserveritem_t, m_NetAdr, 0);
STEAM_LAYOUT(gameserveritem_t, m_nPing, 8);
STEAM_LAYOUT(gameserveritem_t, m_bHadSuccessfulResponse, 12);
STEAM_LAYOUT(gameserveritem_t, m_bDoNotRefresh, 13);
STEAM_LAYOUT(gameserveritem_t, m_szGameDir, 14);
STEAM_LAYOUT(gameserveritem_t, m_szMap, 46);
STEAM_LAYOUT(gameserveritem_t, m_szGameDescription, 78);
STEAM_LAYOUT(gameserveritem_t, m_nAppID, 144);
STEAM_LAYOUT(gameserveritem_t, m_nPlayers, 148);
STEAM_LAYOUT(gameserveritem_t, m_nMaxPlayers, 152);
STEAM_LAYOUT(gameserveritem_t, m_nBotPlayers, 156);
STEAM_LAYOUT(gameserveritem_t, m_bPassword, 160);
STEAM_LAYOUT(gameserveritem_t, m_bSecure, 161);
STEAM_LAYOUT(gameserveritem_t, m_ulTimeLastPlayed, 164);
STEAM_LAYOUT(gameserveritem_t, m_nServerVersion, 168);
STEAM_LAYOUT(gameserveritem_t, m_szServerName, 172);
STEAM_LAYOUT(gameserveritem_t, m_szGameTags, 236);
STEAM_LAYOUT(gameserveritem_t, m_steamID, 364);

// One server-list filter: a key and a value, each NUL-terminated.
struct MatchMakingKeyValuePair_t {
    MatchMakingKeyValuePair_t() { m_szKey[0] = m_szValue[0] = '\0'; }
    MatchMakingKeyValuePair_t(const char* key, const char* value) {
        std::strncpy(m_szKey, key, sizeof(m_szKey));
        m_szKey[sizeof(m_szKey) - 1] = '\0';
        std::strncpy(m_szValue, value, sizeof(m_szValue));
        m_szValue[sizeof(m_szValue) - 1] = '\0';
    }

    char m_szKey[256];
    char m_szValue[256];
};

static_assert(sizeof(MatchMakingKeyValuePair_t) == 512, "MatchMakingKeyValuePair_t size");
STEAM_LAYOUT(MatchMakingKeyValuePair_t, m_szKey, 0);
STEAM_LAYOUT(MatchMakingKeyValuePair_t, m_szValue, 256);

// --- Objects the library calls ----------------------------------------------

// Base of every callback object the library keeps between SteamAPI_RegisterCallback
// and SteamAPI_UnregisterCallback. The virtual functions are in the SDK's order;
// there is no virtual destructor (the library never destroys one), so the
// destructor is protected and derived classes are deleted by their own type.
class CCallbackBase {
public:
    static constexpr uint8 k_ECallbackFlagsRegistered = 0x01;
    static constexpr uint8 k_ECallbackFlagsGameServer = 0x02;

    CCallbackBase() : m_nCallbackFlags(0), m_iCallback(0) {}
    CCallbackBase(const CCallbackBase&) = delete;
    CCallbackBase& operator=(const CCallbackBase&) = delete;

    virtual void Run(void* record) = 0;
    virtual void Run(void* record, bool ioFailure, SteamAPICall_t call) = 0;
    virtual int GetCallbackSizeBytes() = 0;

    int GetICallback() const { return m_iCallback; }

    // Set and cleared by the library: bit 0x01 while registered; 0x02 marks a
    // game-server callback and is set by the owner before registering.
    uint8 m_nCallbackFlags;
    int m_iCallback;

protected:
    ~CCallbackBase() = default;
};

// The response object of a server-list request. Three virtual functions, the
// same slots on every compiler; no virtual destructor, as above.
class ISteamMatchmakingServerListResponse {
public:
    virtual void ServerResponded(HServerListRequest request, int server) = 0;
    virtual void ServerFailedToRespond(HServerListRequest request, int server) = 0;
    virtual void RefreshComplete(HServerListRequest request,
                                 EMatchMakingServerResponse response) = 0;

protected:
    ~ISteamMatchmakingServerListResponse() = default;
};

// Offsets inside a polymorphic class: offsetof is conditionally supported
// there, and GCC and Clang do support it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(sizeof(CCallbackBase) == 16, "CCallbackBase is 16 bytes");
STEAM_LAYOUT(CCallbackBase, m_nCallbackFlags, 8);
STEAM_LAYOUT(CCallbackBase, m_iCallback, 12);
static_assert(sizeof(ISteamMatchmakingServerListResponse) == 8,
              "ISteamMatchmakingServerListResponse is one vtable pointer");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#undef STEAM_LAYOUT
