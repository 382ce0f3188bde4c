package quellink.harness;

import Pellux.Steam_api;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.function.Function;
import org.junit.jupiter.api.Assumptions;

/**
 * One row for each of the 33 native methods of Pellux.Steam_api: a harmless call,
 * the value it must give while Steam is not usable, and, for methods with String
 * arguments, the same call with every String null.
 *
 * <p>The binding suites walk this table, the rows of the exports that
 * {@code bridge/exports.txt} lists. Change a row only when the Java declaration changes.
 */
public final class ExportTable {

    /** What the rows' calls return for a void method. */
    public static final Object NOTHING = new Object() {
        @Override
        public String toString() {
            return "(nothing)";
        }
    };

    public enum Kind {
        /** Start-up, shutdown, the pump and the restart check: they always call Steam. */
        LIFECYCLE,
        /** Needs a Steam interface; gives its failure value while there is none. */
        INTERFACE,
        /** Neither: the event callback holder, the dedicated-server launch. */
        OTHER
    }

    public static final class Row {
        public final String name;
        public final Kind kind;
        /** A call that does nothing harmful whatever the state (it may skip the test). */
        public final Function<Steam_api, Object> probe;
        /** The failure value, or {@link #NOTHING} for a void method. */
        public final Object failureValue;
        /** The probe with every String argument null, or null for methods without one. */
        public final Function<Steam_api, Object> nullStrings;

        Row(String name, Kind kind, Function<Steam_api, Object> probe, Object failureValue,
                Function<Steam_api, Object> nullStrings) {
            this.name = name;
            this.kind = kind;
            this.probe = probe;
            this.failureValue = failureValue;
            this.nullStrings = nullStrings;
        }

        @Override
        public String toString() {
            return name;
        }
    }

    private static final Map<String, Row> ROWS = new LinkedHashMap<>();

    static {
        // Lifecycle. The probes leave Steam stopped.
        add("SteamAPI_RestartAppIfNecessary", Kind.LIFECYCLE,
                a -> a.SteamAPI_RestartAppIfNecessary(0), false, null);
        add("SteamAPI_Init", Kind.LIFECYCLE, a -> {
            boolean started = a.SteamAPI_Init();
            a.SteamAPI_ShutDown();
            return started;
        }, false, null);
        add("SteamAPI_ShutDown", Kind.LIFECYCLE, v(Steam_api::SteamAPI_ShutDown), NOTHING, null);
        add("SteamAPI_RunCallbacks", Kind.LIFECYCLE, v(Steam_api::SteamAPI_RunCallbacks), NOTHING, null);

        // Statistics and achievements.
        add("RequestCurrentStats", Kind.INTERFACE, Steam_api::RequestCurrentStats, false, null);
        add("GetStatInt", Kind.INTERFACE, a -> a.GetStatInt("probe_stat"), 0,
                a -> a.GetStatInt(null));
        add("SetStatInt", Kind.INTERFACE, v(a -> a.SetStatInt("probe_stat", 7)), NOTHING,
                v(a -> a.SetStatInt(null, 7)));
        add("GetStatFloat", Kind.INTERFACE, a -> a.GetStatFloat("probe_stat"), 0.0f,
                a -> a.GetStatFloat(null));
        add("SetStatFloat", Kind.INTERFACE, v(a -> a.SetStatFloat("probe_stat", 1.5f)), NOTHING,
                v(a -> a.SetStatFloat(null, 1.5f)));
        add("getAchievements", Kind.INTERFACE, a -> a.getAchievements("PROBE_ACH"), false,
                a -> a.getAchievements(null));
        add("setAchievements", Kind.INTERFACE, v(a -> a.setAchievements("PROBE_ACH")), NOTHING,
                v(a -> a.setAchievements(null)));
        add("setClearAchievement", Kind.INTERFACE, v(a -> a.setClearAchievement("PROBE_ACH")),
                NOTHING, v(a -> a.setClearAchievement(null)));
        add("StoreStats", Kind.INTERFACE, Steam_api::StoreStats, false, null);

        // User identity and tickets.
        add("IsSteamUserLoggedOn", Kind.INTERFACE, Steam_api::IsSteamUserLoggedOn, false, null);
        add("GetAuthSessionTicket", Kind.INTERFACE, Steam_api::GetAuthSessionTicket, null, null);
        add("CancelAuthTicket", Kind.INTERFACE, v(a -> a.CancelAuthTicket(1L)), NOTHING, null);
        add("GetCSteamIDString", Kind.INTERFACE, Steam_api::GetCSteamIDString, null, null);

        // Overlay and rich presence.
        add("SetOverlayNotificationPosition", Kind.INTERFACE,
                v(a -> a.SetOverlayNotificationPosition(1)), NOTHING, null);
        add("OverlayNeedsPresent", Kind.INTERFACE, Steam_api::OverlayNeedsPresent, false, null);
        add("UpdateRichPresenceConnectionInfo", Kind.INTERFACE,
                v(a -> a.UpdateRichPresenceConnectionInfo(0, (short) 0, (short) 0, false, "probe")),
                NOTHING,
                v(a -> a.UpdateRichPresenceConnectionInfo(0, (short) 0, (short) 0, false, null)));

        // Starts the Steam client where one is installed: called only where none is
        // (the suites' HOME is empty; no "steam" on PATH), else the test is skipped.
        add("StartZarnDedicatedServerProcess", Kind.OTHER, a -> {
            Assumptions.assumeFalse(steamClientInstalled(), "a Steam client is installed here");
            return a.StartZarnDedicatedServerProcess();
        }, false, null);

        // Event callbacks: the probe leaves no callback holder behind.
        add("CreateCallback", Kind.OTHER, v(a -> {
            a.CreateCallback();
            a.DeleteCallback();
        }), NOTHING, null);
        add("DeleteCallback", Kind.OTHER, v(Steam_api::DeleteCallback), NOTHING, null);

        // Server lists.
        add("RequestLANServerList", Kind.INTERFACE, Steam_api::RequestLANServerList, 0L, null);
        add("RequestInternetServerList", Kind.INTERFACE, Steam_api::RequestInternetServerList, 0L, null);
        add("RequestFavoriteServerList", Kind.INTERFACE, Steam_api::RequestFavoriteServerList, 0L, null);
        add("RequestHistoryServerList", Kind.INTERFACE, Steam_api::RequestHistoryServerList, 0L, null);
        add("RequestFriendsServerList", Kind.INTERFACE, Steam_api::RequestFriendsServerList, 0L, null);
        add("CancelServerListRequest", Kind.INTERFACE, v(Steam_api::CancelServerListRequest), NOTHING, null);

        // Favourite and history servers.
        add("AddFavoriteServer", Kind.INTERFACE,
                a -> a.AddFavoriteServer(3232235796L, 27015, 27016, 0L), 0, null);
        add("RemoveFavoriteServer", Kind.INTERFACE,
                a -> a.RemoveFavoriteServer(3232235796L, 27015, 27016), false, null);
        add("AddHistoryServer", Kind.INTERFACE,
                a -> a.AddHistoryServer(3232235796L, 27015, 27016, 0L), 0, null);
        add("RemoveHistoryServer", Kind.INTERFACE,
                a -> a.RemoveHistoryServer(3232235796L, 27015, 27016), 0, null);
    }

    private ExportTable() {
    }

    /** Every row, in the order of the Java declarations. */
    public static List<Row> rows() {
        return List.copyOf(ROWS.values());
    }

    /** The row of one Java method name. */
    public static Row row(String name) {
        Row r = ROWS.get(name);
        if (r == null) {
            throw new IllegalArgumentException("no native method " + name);
        }
        return r;
    }

    /** The rows of the exports that bridge/exports.txt lists. */
    public static List<Row> landed() {
        return Quellink.landedExports().stream().map(ExportTable::row).toList();
    }

    private static void add(String name, Kind kind, Function<Steam_api, Object> probe,
            Object failureValue, Function<Steam_api, Object> nullStrings) {
        ROWS.put(name, new Row(name, kind, probe, failureValue, nullStrings));
    }

    /** True when a "steam" executable is on PATH or below HOME, where the bridge looks. */
    public static boolean steamClientInstalled() {
        String path = System.getenv("PATH");
        if (path != null) {
            for (String dir : path.split(java.io.File.pathSeparator)) {
                if (!dir.isEmpty() && Files.isExecutable(Path.of(dir, "steam"))) {
                    return true;
                }
            }
        }
        String home = System.getenv("HOME");
        return home != null && Files.exists(Path.of(home, ".steam", "root", "steam.sh"));
    }

    private static Function<Steam_api, Object> v(Consumer<Steam_api> call) {
        return a -> {
            call.accept(a);
            return NOTHING;
        };
    }
}
