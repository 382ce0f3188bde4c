package quellink.harness;

import java.util.List;
import org.junit.jupiter.api.Assumptions;

/**
 * The generation of Valve's Steam library a suite runs against (system property
 * {@code quellink.generation}), whether Valve's own or the simulator's build of it,
 * and what Quellink's calls look like there.
 */
public enum SteamGeneration {
    /** SDK 1.55 and older: {@code bool SteamAPI_Init()}, no interface check; tickets without identity. */
    SDK_1_57("1.57", "SteamAPI_Init", false, true, false, List.of("SteamUser021",
            "STEAMUSERSTATS_INTERFACE_VERSION012", "SteamFriends017", "SteamUtils010",
            "SteamMatchMaking009", "SteamMatchMakingServers002")),
    /** SDK 1.56 (simulator only): as SDK 1.55 but {@code SteamUser022}, whose tickets take an identity. */
    SDK_1_56("1.56", "SteamAPI_Init", false, true, true, List.of("SteamUser022",
            "STEAMUSERSTATS_INTERFACE_VERSION012", "SteamFriends017", "SteamUtils010",
            "SteamMatchMaking009", "SteamMatchMakingServers002")),
    /** SDK 1.58 to 1.60, the generation Quellink links against. */
    SDK_1_60("1.60", "SteamInternal_SteamAPI_Init", true, true, true, List.of("SteamUser023",
            "STEAMUSERSTATS_INTERFACE_VERSION012", "SteamFriends017", "SteamUtils010",
            "SteamMatchMaking009", "SteamMatchMakingServers002")),
    /** SDK 1.61 to 1.64: newer stats and friends interfaces, no RequestCurrentStats. */
    SDK_1_61("1.61", "SteamInternal_SteamAPI_Init", true, false, true, List.of("SteamUser023",
            "STEAMUSERSTATS_INTERFACE_VERSION013", "SteamFriends018", "SteamUtils010",
            "SteamMatchMaking009", "SteamMatchMakingServers002")),
    /** SDK 1.65 (simulator only): as 1.61 with newer utilities and server-list interfaces. */
    SDK_1_65("1.65", "SteamInternal_SteamAPI_Init", true, false, true, List.of("SteamUser023",
            "STEAMUSERSTATS_INTERFACE_VERSION013", "SteamFriends018", "SteamUtils011",
            "SteamMatchMaking009", "SteamMatchMakingServers003")),
    /** Newer than Quellink knows (simulator only): as 1.65 but SteamUtils012, so Steam runs without it. */
    NEWER("newer", "SteamInternal_SteamAPI_Init", true, false, true, List.of("SteamUser023",
            "STEAMUSERSTATS_INTERFACE_VERSION013", "SteamFriends018", "SteamMatchMaking009",
            "SteamMatchMakingServers003"), "SetOverlayNotificationPosition", "OverlayNeedsPresent",
            "RequestLANServerList", "RequestInternetServerList", "RequestFavoriteServerList",
            "RequestHistoryServerList", "RequestFriendsServerList", "AddFavoriteServer",
            "RemoveFavoriteServer", "AddHistoryServer", "RemoveHistoryServer");

    public final String name;
    /** The start-up function Quellink calls. */
    public final String startUp;
    /** Whether the start-up checks the interface versions it is given. */
    public final boolean versionCheck;
    /** Whether the library has RequestCurrentStats (else the bridge posts the event itself). */
    public final boolean requestCurrentStats;
    /** Whether GetAuthSessionTicket takes an identity. */
    public final boolean ticketIdentity;
    /** The versions of the library's accessors that Quellink binds, in the order it asks for them. */
    public final List<String> interfaceVersions;
    /** The natives that give their failure value while Steam runs: the library lacks their interface. */
    public final List<String> withoutSteam;

    SteamGeneration(String name, String startUp, boolean versionCheck, boolean requestCurrentStats,
            boolean ticketIdentity, List<String> interfaceVersions, String... withoutSteam) {
        this.name = name;
        this.startUp = startUp;
        this.versionCheck = versionCheck;
        this.requestCurrentStats = requestCurrentStats;
        this.ticketIdentity = ticketIdentity;
        this.interfaceVersions = interfaceVersions;
        this.withoutSteam = List.of(withoutSteam);
    }

    /** Skips a test of a native that gives its failure value here (BindingTest checks which). */
    public void assumeWorking(String nativeMethod) {
        Assumptions.assumeFalse(withoutSteam.contains(nativeMethod), nativeMethod + " in " + name);
    }

    /** The generation named by quellink.generation. */
    public static SteamGeneration current() {
        String name = Quellink.property("quellink.generation");
        for (SteamGeneration g : values()) {
            if (g.name.equals(name)) {
                return g;
            }
        }
        throw new IllegalStateException("quellink.generation names no known generation: " + name);
    }
}
