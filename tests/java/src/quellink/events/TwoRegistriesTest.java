package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static quellink.events.SimulatedSteam.start;

import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.SimControl;

/**
 * Two CreateCallback calls without a DeleteCallback between them. The earlier registry
 * stays registered with Steam for the life of the process, so this class runs in a JVM
 * of its own (suite java.events_two_registries).
 */
class TwoRegistriesTest {
    private final RecordingApi api = new RecordingApi();

    @BeforeAll
    static void load() {
        SimulatedSteam.loadBridge();
        SimControl.reset();
    }

    @Test
    @DisplayName("two CreateCallback calls: each event reaches both objects; DeleteCallback removes only the newer")
    void twoCreates() {
        RecordingApi newer = new RecordingApi();
        start(api, "[join.1]\nconnect = +connect 1.2.3.4:27015\n");
        api.CreateCallback();
        newer.CreateCallback();
        assertEquals(2, SimControl.callbackCount(1101));
        assertEquals(2, SimControl.callbackCount(337));

        assertTrue(api.RequestCurrentStats());
        api.SteamAPI_RunCallbacks();
        List<String> both = List.of("UserStatsReceived_t", "join +connect 1.2.3.4:27015");
        assertEquals(both, api.events.stream().sorted().toList());
        assertEquals(both, newer.events.stream().sorted().toList());

        newer.DeleteCallback();
        assertEquals(1, SimControl.callbackCount(1101));
        assertEquals(1, SimControl.callbackCount(337));
        api.events.clear();
        newer.events.clear();
        assertTrue(api.RequestCurrentStats());
        api.SteamAPI_RunCallbacks();
        assertEquals(List.of("UserStatsReceived_t"), api.events, "the earlier object still receives");
        assertEquals(List.of(), newer.events);
    }
}
