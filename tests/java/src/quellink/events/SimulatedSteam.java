package quellink.events;

import static org.junit.jupiter.api.Assertions.assertTrue;

import Pellux.Steam_api;
import java.util.List;
import java.util.stream.Collectors;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/** The simulated Steam client for the event suites: scenarios, start-up and the call log. */
final class SimulatedSteam {
    /** One server of the game that passes the bridge's filters. */
    static final String GAME_SERVER_KEYS = "app_id = 480\ngamedir = zarnkeepserver\nsecure = true\n";

    private SimulatedSteam() {
    }

    static void loadBridge() {
        Quellink.load();
    }

    /** Loads the scenario, starts Steam through the bridge and clears the call log. */
    static void start(Steam_api api, String scenario) {
        SimControl.loadScenario("[steam]\napp_id = 480\n" + scenario);
        assertTrue(api.SteamAPI_Init(), "the simulator did not start");
        SimControl.clearLog();
    }

    /** Steam calls and deliveries since the log was cleared, accessors left out. */
    static List<String> calls() {
        return SimControl.steamCalls();
    }

    /** The function names (or "=> event") of the calls since the log was cleared. */
    static List<String> functions() {
        return calls().stream().map(SimulatedSteam::nameOf).collect(Collectors.toList());
    }

    static String nameOf(String entry) {
        String e = entry.strip();
        if (e.startsWith("=> ")) {
            return "=> " + SimControl.functionOf(e.substring(3));
        }
        return SimControl.functionOf(e);
    }

    static List<String> callsTo(String function) {
        return SimControl.callsTo(function);
    }

    /** Pumps until the object has seen RefreshComplete, at most 20 times. */
    static void pumpUntilComplete(RecordingApi api) {
        for (int i = 0; i < 20 && !api.events.contains("complete"); i++) {
            api.SteamAPI_RunCallbacks();
        }
    }

    static final String SERVER_LIST_PREFIX = "SteamAPI_ISteamMatchmakingServers_";
}
