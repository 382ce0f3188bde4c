#include "steam_binding.h"

#include "platform/steam_library.h"

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>

namespace quellink {

namespace {

// One exported accessor and the version it hands out.
struct Accessor {
    const char* function;
    const char* version;
};

// The accessors each generation exports, newest first. SteamUser022 is SDK 1.56's
// alone: its tickets take an identity, as SteamUser023's do.
constexpr Accessor userAccessors[] = {{"SteamAPI_SteamUser_v023", "SteamUser023"},
                                      {"SteamAPI_SteamUser_v022", "SteamUser022"},
                                      {"SteamAPI_SteamUser_v021", "SteamUser021"}};
constexpr Accessor userStatsAccessors[] = {
    {"SteamAPI_SteamUserStats_v013", "STEAMUSERSTATS_INTERFACE_VERSION013"},
    {"SteamAPI_SteamUserStats_v012", "STEAMUSERSTATS_INTERFACE_VERSION012"}};
constexpr Accessor friendsAccessors[] = {{"SteamAPI_SteamFriends_v018", "SteamFriends018"},
                                         {"SteamAPI_SteamFriends_v017", "SteamFriends017"}};
// SteamUtils011 (SDK 1.65) dropped IsSteamRunningOnSteamDeck and added three
// functions; GetAppID, SetOverlayNotificationPosition and BOverlayNeedsPresent
// are the same in both.
constexpr Accessor utilsAccessors[] = {{"SteamAPI_SteamUtils_v011", "SteamUtils011"},
                                       {"SteamAPI_SteamUtils_v010", "SteamUtils010"}};
constexpr Accessor matchmakingAccessors[] = {
    {"SteamAPI_SteamMatchmaking_v009", "SteamMatchMaking009"}};
// SteamMatchMakingServers003 (SDK 1.65) added ServerFriends; the list requests,
// ReleaseRequest and GetServerDetails are the same in both.
constexpr Accessor matchmakingServersAccessors[] = {
    {"SteamAPI_SteamMatchmakingServers_v003", "SteamMatchMakingServers003"},
    {"SteamAPI_SteamMatchmakingServers_v002", "SteamMatchMakingServers002"}};

// The known accessors of one interface.
struct KnownInterface {
    const char* name;
    const Accessor* accessors;
    std::size_t count;
};

template <std::size_t N>
constexpr KnownInterface known(const char* name, const Accessor (&accessors)[N]) {
    return {name, accessors, N};
}

// In the order of SteamInterface.
constexpr KnownInterface knownInterfaces[steamInterfaceCount] = {
    known("SteamUser", userAccessors),
    known("SteamUserStats", userStatsAccessors),
    known("SteamFriends", friendsAccessors),
    known("SteamUtils", utilsAccessors),
    known("SteamMatchmaking", matchmakingAccessors),
    known("SteamMatchmakingServers", matchmakingServersAccessors)};

const KnownInterface& knownInterface(SteamInterface which) {
    return knownInterfaces[static_cast<int>(which)];
}

// SteamUser021 (SDK 1.55 and older) takes no identity for a ticket.
constexpr const char* userWithoutTicketIdentity = "SteamAPI_SteamUser_v021";

constexpr const char* checkedInitName = "SteamInternal_SteamAPI_Init";
constexpr const char* plainInitName = "SteamAPI_Init";
constexpr const char* requestCurrentStatsName = "SteamAPI_ISteamUserStats_RequestCurrentStats";

// What the accessor of an interface not bound yields.
template <class Interface>
Interface* noInterface() {
    return nullptr;
}

HAuthTicket ticketWithoutIdentity(ISteamUser* user, void* ticket, int capacity, uint32* length) {
    return SteamAPI_ISteamUser_GetAuthSessionTicket(user, ticket, capacity, length, nullptr);
}

// A function address as the function type it is known to have. Through void (*)(),
// the one function type that converts to every other without a warning.
template <class Function>
Function as(void* address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

static_assert(std::is_trivially_destructible<SteamBinding>::value,
              "the kept binding has nothing to destroy");

class Binder {
public:
    Binder(void* (*find)(const char*), SteamBinding& binding) : find_(find), binding_(binding) {}

    // The first of the known accessors of an interface the library exports: its
    // address, its version added to the list. Null when it exports none of them: an
    // unsupported library without SteamUser, else the interface is unbound.
    template <class Interface>
    Interface* (*accessor(SteamInterface which, const char** found = nullptr))() {
        const KnownInterface& known = knownInterface(which);
        for (std::size_t i = 0; i < known.count; ++i) {
            if (void* address = find_(known.accessors[i].function)) {
                addVersion(known.accessors[i].version);
                if (found != nullptr) *found = known.accessors[i].function;
                return as<Interface* (*)()>(address);
            }
        }
        if (which == SteamInterface::user)
            lackAll(known);
        else
            binding_.unbound |= steamInterfaceBit(which);
        return &noInterface<Interface>;
    }

    void* find(const char* name) const { return find_(name); }

    // "<how> <first>" or "<how> <first> nor <second>"; the first lack is the one reported.
    void lack(const char* how, const char* first, const char* second = nullptr) {
        if (!binding_.supported()) return;
        std::string text = std::string(how) + " " + first;
        if (second != nullptr) text += std::string(" nor ") + second;
        std::snprintf(binding_.missing, sizeof binding_.missing, "%s", text.c_str());
    }

private:
    // "no A", "neither A nor B" or "none of A, B nor C".
    void lackAll(const KnownInterface& known) {
        const Accessor* a = known.accessors;
        if (known.count == 1) return lack("no", a[0].function);
        if (known.count == 2) return lack("neither", a[0].function, a[1].function);
        std::string first = a[0].function;
        for (std::size_t i = 1; i + 1 < known.count; ++i)
            first += std::string(", ") + a[i].function;
        lack("none of", first.c_str(), a[known.count - 1].function);
    }

    // Each version ends in NUL; the list's closing NUL is the array's zero fill.
    void addVersion(const char* version) {
        const std::size_t size = std::strlen(version) + 1;
        if (versionsEnd_ + size >= sizeof binding_.versions) return;  // six versions fit well
        std::memcpy(binding_.versions + versionsEnd_, version, size);
        versionsEnd_ += size;
    }

    void* (*find_)(const char*);
    SteamBinding& binding_;
    std::size_t versionsEnd_ = 0;
};

}  // namespace

const char* steamInterfaceName(SteamInterface which) { return knownInterface(which).name; }

std::string knownAccessors(SteamInterface which) {
    const KnownInterface& known = knownInterface(which);
    std::string text;
    for (std::size_t i = 0; i < known.count; ++i) {
        if (i > 0) text += ", ";
        text += known.accessors[i].function;
    }
    return text;
}

SteamBinding bindSteam(void* (*find)(const char* name)) {
    SteamBinding steam;
    Binder binder(find, steam);

    steam.checkedInit = as<decltype(steam.checkedInit)>(binder.find(checkedInitName));
    if (steam.checkedInit == nullptr)
        steam.plainInit = as<decltype(steam.plainInit)>(binder.find(plainInitName));
    if (steam.checkedInit == nullptr && steam.plainInit == nullptr)
        binder.lack("neither", checkedInitName, plainInitName);

    const char* user = nullptr;
    steam.user = binder.accessor<ISteamUser>(SteamInterface::user, &user);
    steam.userStats = binder.accessor<ISteamUserStats>(SteamInterface::userStats);
    steam.friends = binder.accessor<ISteamFriends>(SteamInterface::friends);
    steam.utils = binder.accessor<ISteamUtils>(SteamInterface::utils);
    steam.matchmaking = binder.accessor<ISteamMatchmaking>(SteamInterface::matchmaking);
    steam.matchmakingServers =
        binder.accessor<ISteamMatchmakingServers>(SteamInterface::matchmakingServers);

    steam.requestCurrentStats =
        as<decltype(steam.requestCurrentStats)>(binder.find(requestCurrentStatsName));
    if (user != nullptr && std::strcmp(user, userWithoutTicketIdentity) == 0) {
        steam.getAuthSessionTicket = as<decltype(steam.getAuthSessionTicket)>(
            reinterpret_cast<void*>(&SteamAPI_ISteamUser_GetAuthSessionTicket));
    } else {
        steam.getAuthSessionTicket = &ticketWithoutIdentity;
    }

    if (!steam.supported()) {
        // Nothing of a library without a known start-up or SteamUser is used.
        steam.plainInit = nullptr;
        steam.checkedInit = nullptr;
        steam.user = &noInterface<ISteamUser>;
        steam.userStats = &noInterface<ISteamUserStats>;
        steam.friends = &noInterface<ISteamFriends>;
        steam.utils = &noInterface<ISteamUtils>;
        steam.matchmaking = &noInterface<ISteamMatchmaking>;
        steam.matchmakingServers = &noInterface<ISteamMatchmakingServers>;
        steam.requestCurrentStats = nullptr;
    }
    return steam;
}

SteamBinding bindLoadedSteam() { return bindSteam(&platform::findSteamFunction); }

ESteamAPIInitResult startSteam(const SteamBinding& steam, SteamErrMsg* err, std::ostream& out) {
    if (steam.checkedInit != nullptr) return steam.checkedInit(steam.versions, err);
    if (steam.plainInit != nullptr)
        return steam.plainInit() ? k_ESteamAPIInitResult_OK : k_ESteamAPIInitResult_FailedGeneric;
    out << "Unsupported Steam library: it exports " << steam.missing << std::endl;
    return k_ESteamAPIInitResult_FailedGeneric;
}

}  // namespace quellink
