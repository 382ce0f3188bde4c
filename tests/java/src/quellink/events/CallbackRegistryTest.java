package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static quellink.events.SimulatedSteam.calls;
import static quellink.events.SimulatedSteam.functions;
import static quellink.events.SimulatedSteam.start;

import java.util.List;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/**
 * CreateCallback and DeleteCallback against the simulated Steam client: which
 * callbacks Steam holds, and which Java objects its events reach.
 */
class CallbackRegistryTest extends SimulatedSteamTest {

    @Nested
    @DisplayName("registering and removing")
    class Lifecycle {
        @Test
        @DisplayName("CreateCallback registers 1101 then 337; DeleteCallback unregisters 337 first")
        void registerAndUnregister() {
            start(api, "");
            api.CreateCallback();
            assertEquals(List.of("SteamAPI_RegisterCallback", "SteamAPI_RegisterCallback"), functions());
            assertTrue(calls().get(0).contains("id=1101"), calls().toString());
            assertTrue(calls().get(1).contains("id=337"), calls().toString());
            String statsLabel = SimControl.argument(calls().get(0), "callback");
            String joinLabel = SimControl.argument(calls().get(1), "callback");

            SimControl.clearLog();
            api.DeleteCallback();
            assertEquals(List.of("SteamAPI_UnregisterCallback callback=" + joinLabel,
                    "SteamAPI_UnregisterCallback callback=" + statsLabel), calls());
            assertEquals(0, SimControl.callbackCount(1101));
            assertEquals(0, SimControl.callbackCount(337));
        }

        @Test
        @DisplayName("DeleteCallback with no registry, and a second one in a row, do nothing")
        void deleteWithNoneAndTwice() {
            start(api, "");
            api.DeleteCallback();
            assertEquals(List.of(), calls());
            api.CreateCallback();
            api.DeleteCallback();
            SimControl.clearLog();
            api.DeleteCallback();
            assertEquals(List.of(), calls());
        }

        @Test
        @DisplayName("after DeleteCallback no statistics or join-request event reaches Java")
        void noEventAfterDelete() {
            start(api, "[join.1]\nconnect = +connect 1.2.3.4:27015\n");
            api.CreateCallback();
            api.DeleteCallback();
            assertTrue(api.RequestCurrentStats());
            api.SteamAPI_RunCallbacks();
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of(), api.events);
            assertTrue(calls().stream().noneMatch(c -> c.startsWith("=> ")), calls().toString());
        }
    }

    @Nested
    @DisplayName("one registry per receiver, and a client that reconnects")
    class Reconnecting {
        @Test
        @DisplayName("five CreateCallback calls on one receiver, then one request: one event, one registration")
        void fiveCreates() {
            start(api, "");
            for (int i = 0; i < 5; i++) {
                api.CreateCallback();
            }
            assertEquals(1, SimControl.callbackCount(1101));
            assertEquals(1, SimControl.callbackCount(337));
            assertTrue(api.RequestCurrentStats());
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of("UserStatsReceived_t"), api.events);
        }

        @Test
        @DisplayName("1,200 cycles of ShutDown, Init, CreateCallback and a request: one event each, registrations stay two")
        void reconnectCycles() {
            start(api, "");
            api.CreateCallback();
            final int cycles = 1200;
            for (int i = 0; i < cycles; i++) {
                api.SteamAPI_ShutDown();
                assertTrue(api.SteamAPI_Init());
                api.CreateCallback();
                assertTrue(api.RequestCurrentStats());
                api.SteamAPI_RunCallbacks();
                if (i % 100 == 0) {
                    SimControl.clearLog();
                }
            }
            assertEquals(cycles, api.count("UserStatsReceived_t"));
            assertEquals(cycles, api.events.size());
            assertEquals(1, SimControl.callbackCount(1101));
            assertEquals(1, SimControl.callbackCount(337));
        }

        @Test
        @DisplayName("a requested stats event survives a second SteamAPI_Init while Steam runs")
        void statsEventSurvivesSecondInit() {
            start(api, "");
            api.CreateCallback();
            assertTrue(api.RequestCurrentStats());
            assertTrue(api.SteamAPI_Init(), "Steam runs already");
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of("UserStatsReceived_t"), api.events);
        }

        @Test
        @DisplayName("SteamAPI_ShutDown drops a requested stats event: its session has ended")
        void statsEventDroppedAtShutDown() {
            start(api, "");
            api.CreateCallback();
            assertTrue(api.RequestCurrentStats());
            api.SteamAPI_ShutDown();
            assertTrue(api.SteamAPI_Init());
            api.SteamAPI_RunCallbacks();
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of(), api.events);
        }
    }

    @Nested
    @DisplayName("the two events")
    class Events {
        @Test
        @DisplayName("a statistics request gives exactly one UserStatsReceived_t in the next pump, also a failed one,"
                + " also where Steam has no RequestCurrentStats and the bridge posts it (SDK 1.61 on)")
        void statsRequest() {
            start(api, "[stats]\nresult = 2\n");
            api.CreateCallback();
            assertTrue(api.RequestCurrentStats());
            assertEquals(List.of(), api.events, "nothing before the pump");
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of("UserStatsReceived_t"), api.events);
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of("UserStatsReceived_t"), api.events);
            List<String> delivered = calls().stream()
                    .filter(c -> c.startsWith("=> UserStatsReceived_t")).toList();
            if (Quellink.generation().requestCurrentStats) {
                assertEquals(1, delivered.size(), calls().toString());
                assertTrue(delivered.get(0).contains("result=2"), delivered.get(0));
            } else {
                assertEquals(List.of(), delivered, "Steam posts no event of its own");
            }
        }

        @Test
        @DisplayName("a connect text of 255 characters passes whole; an empty one gives \"\"")
        void connectTexts() {
            String longest = "+connect " + "9".repeat(246);
            assertEquals(255, longest.length());
            start(api, "[join.1]\nconnect = " + longest + "\n[join.2]\nconnect =\n");
            api.CreateCallback();
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of(longest, ""), api.joins);
        }
    }
}
