package quellink.harness;

import java.util.Arrays;
import java.util.List;
import java.util.stream.Collectors;

/**
 * Control and observation of the simulated Steam client from inside the suite's JVM,
 * through the small test library libsteamsim_control.so (tests/java/native), which
 * calls the simulator's C API. The simulator is the libsteam_api.so that Quellink
 * loaded, so what is set here is what the bridge sees.
 *
 * <p>Only suites registered with {@code STEAM sim} may use it.
 */
public final class SimControl {
    private static boolean loaded;

    private SimControl() {
    }

    /** Back to the state of a freshly loaded simulator: not started, empty call log. */
    public static void reset() {
        ensureLoaded();
        nativeReset();
    }

    /**
     * Replaces the simulator's scenario with the given INI text (the format of
     * steamsim/README.md). Throws when the simulator rejects the text.
     */
    public static void loadScenario(String iniText) {
        ensureLoaded();
        if (!nativeLoadScenario(iniText)) {
            throw new IllegalArgumentException("the simulator rejected the scenario:\n" + iniText);
        }
    }

    /** Every flat Steam call since the last clear, one entry a call, oldest first. */
    public static List<String> callLog() {
        ensureLoaded();
        String text = nativeCallLog();
        if (text.isEmpty()) {
            return List.of();
        }
        return Arrays.asList(text.split("\n"));
    }

    /** The call log without the interface accessors (SteamAPI_SteamUser_v023 and the like). */
    public static List<String> steamCalls() {
        return callLog().stream().filter(e -> !isAccessor(e)).collect(Collectors.toList());
    }

    /** The entries of the call log for one flat function. */
    public static List<String> callsTo(String function) {
        return callLog().stream().filter(e -> functionOf(e).equals(function))
                .collect(Collectors.toList());
    }

    public static void clearLog() {
        ensureLoaded();
        nativeClearLog();
    }

    /** Like {@link #loadScenario(String)}, from a scenario file. */
    public static void loadScenarioFile(String path) {
        ensureLoaded();
        if (!nativeLoadScenarioFile(path)) {
            throw new IllegalArgumentException("the simulator rejected the scenario file " + path);
        }
    }

    /** The bytes of a rich presence value as Steam holds them, or null when the key is unset. */
    public static byte[] richPresenceBytes(String key) {
        ensureLoaded();
        return nativeRichPresence(key);
    }

    /** The last overlay notification position set (bottom right, 3, until set). */
    public static int overlayPosition() {
        ensureLoaded();
        return nativeOverlayPosition();
    }

    /** One entry of Steam's favourites and history list. */
    public record Favorite(long appId, long ip, int connectionPort, int queryPort, int flags,
            long lastPlayed) {
    }

    /** The favourites and history list, in the order the entries were added. */
    public static List<Favorite> favorites() {
        ensureLoaded();
        long[] v = nativeFavorites();
        List<Favorite> out = new java.util.ArrayList<>();
        for (int i = 0; i + 5 < v.length; i += 6) {
            out.add(new Favorite(v[i], v[i + 1], (int) v[i + 2], (int) v[i + 3], (int) v[i + 4], v[i + 5]));
        }
        return out;
    }

    /** How many callback objects are registered for an event id (1101, 337, ...). */
    public static int callbackCount(int callbackId) {
        ensureLoaded();
        return nativeCallbackCount(callbackId);
    }

    /** Server-list requests started and not yet released. */
    public static int openRequestCount() {
        ensureLoaded();
        return nativeOpenRequestCount();
    }

    /** Whether a ticket handle was handed out and not cancelled. */
    public static boolean ticketLive(long handle) {
        ensureLoaded();
        return nativeTicketLive(handle);
    }

    /** The function name of a call-log entry: its first word. */
    public static String functionOf(String entry) {
        String e = entry.strip();
        int space = e.indexOf(' ');
        return space < 0 ? e : e.substring(0, space);
    }

    /**
     * The value of one argument of a call-log entry ({@code key=value}), or null when
     * the entry has no such argument. Text values keep their quotes.
     */
    public static String argument(String entry, String key) {
        for (String word : entry.strip().split(" ")) {
            if (word.startsWith(key + "=")) {
                return word.substring(key.length() + 1);
            }
        }
        return null;
    }

    /** True for the entry of an interface accessor call, which needs no running Steam. */
    public static boolean isAccessor(String entry) {
        return functionOf(entry).matches("SteamAPI_Steam\\w+_v\\d+");
    }

    private static synchronized void ensureLoaded() {
        if (!loaded) {
            if (!Quellink.simulated()) {
                throw new IllegalStateException("SimControl needs a suite registered with STEAM sim");
            }
            // Quellink first: it brings in the staged simulator, which the control
            // library then shares.
            Quellink.load();
            System.load(Quellink.property("steamsim.control"));
            loaded = true;
        }
    }

    private static native void nativeReset();

    private static native boolean nativeLoadScenario(String iniText);

    private static native String nativeCallLog();

    private static native void nativeClearLog();

    private static native boolean nativeLoadScenarioFile(String path);

    private static native byte[] nativeRichPresence(String key);

    private static native int nativeOverlayPosition();

    private static native long[] nativeFavorites();

    private static native int nativeCallbackCount(int callbackId);

    private static native int nativeOpenRequestCount();

    private static native boolean nativeTicketLive(long handle);
}
