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
  const char *function;
  const char *version;
};

// The accessors each generation exports, newest first.
constexpr Accessor kUser[] = {{"SteamAPI_SteamUser_v023", "SteamUser023"},
                              {"SteamAPI_SteamUser_v021", "SteamUser021"}};
constexpr Accessor kUserStats[] = {{"SteamAPI_SteamUserStats_v013", "STEAMUSERSTATS_INTERFACE_VERSION013"},
                                   {"SteamAPI_SteamUserStats_v012", "STEAMUSERSTATS_INTERFACE_VERSION012"}};
constexpr Accessor kFriends[] = {{"SteamAPI_SteamFriends_v018", "SteamFriends018"},
                                 {"SteamAPI_SteamFriends_v017", "SteamFriends017"}};
constexpr Accessor kUtils[] = {{"SteamAPI_SteamUtils_v010", "SteamUtils010"}};
constexpr Accessor kMatchmaking[] = {{"SteamAPI_SteamMatchmaking_v009", "SteamMatchMaking009"}};
constexpr Accessor kMatchmakingServers[] = {
    {"SteamAPI_SteamMatchmakingServers_v002", "SteamMatchMakingServers002"}};

// SteamUser021 (SDK <= 1.57) takes no identity for a ticket.
constexpr const char *kUserWithoutTicketIdentity = "SteamAPI_SteamUser_v021";

constexpr const char *kCheckedInit = "SteamInternal_SteamAPI_Init";
constexpr const char *kPlainInit = "SteamAPI_Init";
constexpr const char *kRequestCurrentStats = "SteamAPI_ISteamUserStats_RequestCurrentStats";

// What an accessor of an unsupported library yields.
template <class Interface> Interface *NoInterface() { return nullptr; }

HAuthTicket TicketWithoutIdentity(ISteamUser *user, void *ticket, int capacity, uint32 *length) {
  return SteamAPI_ISteamUser_GetAuthSessionTicket(user, ticket, capacity, length, nullptr);
}

// A function address as the function type it is known to have. Through void (*)(),
// the one function type that converts to every other without a warning.
template <class Function> Function As(void *address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

static_assert(std::is_trivially_destructible<SteamBinding>::value, "the kept binding has nothing to destroy");

class Binder {
public:
  Binder(void *(*find)(const char *), SteamBinding &binding) : find_(find), binding_(binding) {}

  // The first of the accessors the library exports: its address, its version added
  // to the list. Null, with the lack noted, when it exports none of them.
  template <class Interface, std::size_t N>
  Interface *(*accessor(const Accessor (&known)[N], const char **found = nullptr))() {
    for (const Accessor &candidate : known) {
      if (void *address = find_(candidate.function)) {
        addVersion(candidate.version);
        if (found != nullptr) *found = candidate.function;
        return As<Interface *(*)()>(address);
      }
    }
    if (N == 1)
      lack("no", known[0].function);
    else
      lack("neither", known[0].function, known[1].function);
    return &NoInterface<Interface>;
  }

  void *find(const char *name) const { return find_(name); }

  // "<how> <first>" or "<how> <first> nor <second>"; the first lack is the one reported.
  void lack(const char *how, const char *first, const char *second = nullptr) {
    if (!binding_.supported()) return;
    std::string text = std::string(how) + " " + first;
    if (second != nullptr) text += std::string(" nor ") + second;
    std::snprintf(binding_.missing, sizeof binding_.missing, "%s", text.c_str());
  }

private:
  // Each version ends in NUL; the list's closing NUL is the array's zero fill.
  void addVersion(const char *version) {
    const std::size_t size = std::strlen(version) + 1;
    if (versionsEnd_ + size >= sizeof binding_.versions) return;  // six known versions fit well
    std::memcpy(binding_.versions + versionsEnd_, version, size);
    versionsEnd_ += size;
  }

  void *(*find_)(const char *);
  SteamBinding &binding_;
  std::size_t versionsEnd_ = 0;
};

} // namespace

SteamBinding BindSteam(void *(*find)(const char *name)) {
  SteamBinding steam;
  Binder binder(find, steam);

  steam.checkedInit = As<decltype(steam.checkedInit)>(binder.find(kCheckedInit));
  if (steam.checkedInit == nullptr) steam.plainInit = As<decltype(steam.plainInit)>(binder.find(kPlainInit));
  if (steam.checkedInit == nullptr && steam.plainInit == nullptr) binder.lack("neither", kCheckedInit, kPlainInit);

  const char *user = nullptr;
  steam.user = binder.accessor<ISteamUser>(kUser, &user);
  steam.userStats = binder.accessor<ISteamUserStats>(kUserStats);
  steam.friends = binder.accessor<ISteamFriends>(kFriends);
  steam.utils = binder.accessor<ISteamUtils>(kUtils);
  steam.matchmaking = binder.accessor<ISteamMatchmaking>(kMatchmaking);
  steam.matchmakingServers = binder.accessor<ISteamMatchmakingServers>(kMatchmakingServers);

  steam.requestCurrentStats = As<decltype(steam.requestCurrentStats)>(binder.find(kRequestCurrentStats));
  if (user != nullptr && std::strcmp(user, kUserWithoutTicketIdentity) == 0) {
    steam.getAuthSessionTicket = As<decltype(steam.getAuthSessionTicket)>(
        reinterpret_cast<void *>(&SteamAPI_ISteamUser_GetAuthSessionTicket));
  } else {
    steam.getAuthSessionTicket = &TicketWithoutIdentity;
  }

  if (!steam.supported()) {
    // Nothing of a library that is only partly known is used.
    steam.plainInit = nullptr;
    steam.checkedInit = nullptr;
    steam.user = &NoInterface<ISteamUser>;
    steam.userStats = &NoInterface<ISteamUserStats>;
    steam.friends = &NoInterface<ISteamFriends>;
    steam.utils = &NoInterface<ISteamUtils>;
    steam.matchmaking = &NoInterface<ISteamMatchmaking>;
    steam.matchmakingServers = &NoInterface<ISteamMatchmakingServers>;
    steam.requestCurrentStats = nullptr;
  }
  return steam;
}

SteamBinding BindLoadedSteam() { return BindSteam(&platform::FindSteamFunction); }

ESteamAPIInitResult StartSteam(const SteamBinding &steam, SteamErrMsg *err, std::ostream &out) {
  if (steam.checkedInit != nullptr) return steam.checkedInit(steam.versions, err);
  if (steam.plainInit != nullptr)
    return steam.plainInit() ? k_ESteamAPIInitResult_OK : k_ESteamAPIInitResult_FailedGeneric;
  out << "Unsupported Steam library: it exports " << steam.missing << std::endl;
  return k_ESteamAPIInitResult_FailedGeneric;
}

} // namespace quellink
