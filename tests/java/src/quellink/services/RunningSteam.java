package quellink.services;

import static org.junit.jupiter.api.Assertions.assertTrue;

import Pellux.Steam_api;
import java.util.List;
import java.util.stream.Collectors;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/**
 * The simulated Steam client started on a scenario, with an empty call log. A test
 * class extending this one calls the bridge through api, and Steam is shut down
 * after each of its tests.
 */
abstract class RunningSteam {
    static Steam_api api;

    @BeforeAll
    static void loadBridge() {
        api = bridge();
    }

    @AfterEach
    void shutDown() {
        api.SteamAPI_ShutDown();
    }

    static Steam_api bridge() {
        Quellink.load();
        return new Steam_api();
    }

    /** Loads the scenario text, starts Steam through the bridge and clears the log. */
    static void start(Steam_api api, String scenario) {
        SimControl.loadScenario(scenario);
        assertTrue(api.SteamAPI_Init(), "the simulator did not start");
        SimControl.clearLog();
    }

    /** The Steam calls since the log was cleared, accessors left out. */
    static List<String> calls() {
        return SimControl.steamCalls();
    }

    /** The calls of one flat function since the log was cleared. */
    static List<String> callsTo(String function) {
        return SimControl.callsTo(function);
    }

    /** The functions called since the log was cleared, accessors left out. */
    static List<String> functions() {
        return SimControl.steamCalls().stream().map(SimControl::functionOf)
                .collect(Collectors.toList());
    }
}
