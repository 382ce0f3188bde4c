package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static quellink.events.SimulatedSteam.GAME_SERVER_KEYS;
import static quellink.events.SimulatedSteam.SERVER_LIST_PREFIX;
import static quellink.events.SimulatedSteam.calls;
import static quellink.events.SimulatedSteam.functions;
import static quellink.events.SimulatedSteam.pumpUntilComplete;
import static quellink.events.SimulatedSteam.start;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.function.ToLongFunction;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import quellink.events.RecordingApi.Server;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/**
 * The five list requests, the cancel and the relay's Java calls against the simulated
 * Steam client.
 */
class ServerListTest extends SimulatedSteamTest {
    @BeforeEach
    void needsAppId() {
        Quellink.generation().assumeWorking("RequestInternetServerList");
    }

    private static String server(String list, int n, String keys) {
        return "[servers." + list + "." + n + "]\n" + keys;
    }

    /** Starts Steam on the scenario, registers the object and clears the log. */
    private void browse(String scenario) {
        start(api, scenario);
        api.CreateCallback();
        SimControl.clearLog();
    }

    private List<String> serverListCalls() {
        return functions().stream().filter(f -> f.startsWith(SERVER_LIST_PREFIX))
                .map(f -> f.substring(SERVER_LIST_PREFIX.length())).toList();
    }

    @Nested
    @DisplayName("ServerResponded's values")
    class Values {
        @Test
        @DisplayName("a server without a name at 192.168.1.20:27016 gets its address as name, ip 3232235796")
        void emptyName() {
            browse(server("internet", 1, GAME_SERVER_KEYS
                    + "name =\nip = 192.168.1.20\nport = 27016\nquery_port = 27017\n"
                    + "players = 3\nmax_players = 16\npassword = true\nping = 42\ntags = pvp,eu\n"));
            assertEquals(1L, api.RequestInternetServerList());
            pumpUntilComplete(api);
            assertEquals(List.of(new Server("192.168.1.20:27016", "192.168.1.20:27016", 3232235796L,
                    (short) 27016, 3, 16, true, 42, true, (short) 27017, "pvp,eu")), api.servers);
            assertEquals(List.of("server 192.168.1.20:27016", "complete"), api.events);
        }

        @Test
        @DisplayName("connection port 40000 arrives as the short -25536 while the text shows 40000")
        void highPort() {
            browse(server("internet", 1, GAME_SERVER_KEYS
                    + "name = Zarnkeep EU 1\nip = 10.0.0.1\nport = 40000\nquery_port = 65535\n"));
            api.RequestInternetServerList();
            pumpUntilComplete(api);
            Server s = api.servers.get(0);
            assertEquals("Zarnkeep EU 1", s.name());
            assertEquals("10.0.0.1:40000", s.address());
            assertEquals((short) -25536, s.connectionPort());
            assertEquals((short) -1, s.queryPort());
            assertEquals(40000, Short.toUnsignedInt(s.connectionPort()));
        }

        @Test
        @DisplayName("UTF-8 names and tags from Steam arrive whole; a byte that is not UTF-8 arrives as its Latin-1 letter")
        void textBeyondAscii() throws IOException {
            // Written as bytes: a Java String handed to the simulator would already be
            // modified UTF-8, which is not what Steam gives.
            ByteArrayOutputStream ini = new ByteArrayOutputStream();
            ini.writeBytes(("[steam]\napp_id = 480\n" + server("internet", 1, GAME_SERVER_KEYS
                    + "ip = 10.0.0.1\nport = 27015\nname = Zarnkeep \uD83C\uDFF0 Caf\u00E9\ntags = ")
                    ).getBytes(StandardCharsets.UTF_8));
            ini.write(0xFF);
            ini.writeBytes("pvp\n".getBytes(StandardCharsets.UTF_8));
            Path file = Files.createTempFile("scenario", ".ini");
            try {
                Files.write(file, ini.toByteArray());
                SimControl.loadScenarioFile(file.toString());
                assertTrue(api.SteamAPI_Init(), "the simulator did not start");
                api.CreateCallback();
                api.RequestInternetServerList();
                pumpUntilComplete(api);
            } finally {
                Files.delete(file);
            }
            Server s = api.servers.get(0);
            assertEquals("Zarnkeep \uD83C\uDFF0 Caf\u00E9", s.name());
            assertEquals("\u00FFpvp", s.tags());
        }

        @Test
        @DisplayName("a server that does not answer gives ServerFailedToRespond; the list ends with RefreshComplete")
        void failedServer() {
            browse(server("internet", 1, GAME_SERVER_KEYS + "name = A\nip = 10.0.0.1\nport = 1\n")
                    + server("internet", 2, GAME_SERVER_KEYS + "name = B\nip = 10.0.0.2\nport = 2\nresponds = false\n")
                    + server("internet", 3, GAME_SERVER_KEYS + "name = C\nip = 10.0.0.3\nport = 3\n"));
            api.RequestInternetServerList();
            pumpUntilComplete(api);
            assertEquals(List.of("server A", "failed", "server C", "complete"), api.events);
        }
    }

    @Nested
    @DisplayName("requests")
    class Requests {
        @Test
        @DisplayName("every kind but LAN sends gamedir=zarnkeepserver and secure=1, with the game's app id")
        void filters() {
            browse("");
            Map<String, ToLongFunction<RecordingApi>> kinds = Map.of(
                    "RequestInternetServerList", RecordingApi::RequestInternetServerList,
                    "RequestFavoritesServerList", RecordingApi::RequestFavoriteServerList,
                    "RequestHistoryServerList", RecordingApi::RequestHistoryServerList,
                    "RequestFriendsServerList", RecordingApi::RequestFriendsServerList);
            for (Map.Entry<String, ToLongFunction<RecordingApi>> kind : kinds.entrySet()) {
                SimControl.clearLog();
                assertNotEquals(0L, kind.getValue().applyAsLong(api), kind.getKey());
                List<String> started = SimulatedSteam.callsTo(SERVER_LIST_PREFIX + kind.getKey());
                assertEquals(1, started.size(), calls().toString());
                String entry = started.get(0);
                assertEquals("480", SimControl.argument(entry, "app"), entry);
                assertEquals("2", SimControl.argument(entry, "count"), entry);
                assertEquals("\"zarnkeepserver\"", SimControl.argument(entry, "filter.gamedir"), entry);
                assertEquals("\"1\"", SimControl.argument(entry, "filter.secure"), entry);
            }
        }

        @Test
        @DisplayName("a LAN request sends no filters, and a LAN server of another app gives no Java call")
        void lan() {
            browse(server("lan", 1, "app_id = 730\nname = Other game\nip = 192.168.1.30\nport = 27015\n")
                    + server("lan", 2, "app_id = 480\nname = Our LAN game\nip = 192.168.1.31\nport = 27015\n"));
            assertEquals(1L, api.RequestLANServerList());
            String entry = SimulatedSteam.callsTo(SERVER_LIST_PREFIX + "RequestLANServerList").get(0);
            assertEquals(null, SimControl.argument(entry, "count"), entry);
            assertFalse(entry.contains("filter."), entry);
            pumpUntilComplete(api);
            assertEquals(List.of("server Our LAN game", "complete"), api.events);
            assertEquals(2, SimulatedSteam.callsTo(SERVER_LIST_PREFIX + "GetServerDetails").size(),
                    "both servers were read");
        }

        @Test
        @DisplayName("two requests in a row: the first is released before the second starts")
        void twoInARow() {
            browse("");
            assertEquals(1L, api.RequestInternetServerList());
            assertEquals(2L, api.RequestFavoriteServerList());
            assertEquals(List.of("RequestInternetServerList", "ReleaseRequest", "RequestFavoritesServerList"),
                    serverListCalls());
            assertEquals("1", SimControl.argument(
                    SimulatedSteam.callsTo(SERVER_LIST_PREFIX + "ReleaseRequest").get(0), "request"));
            assertEquals(1, SimControl.openRequestCount());
            SimControl.clearLog();
            api.CancelServerListRequest();
            assertEquals("2", SimControl.argument(calls().get(0), "request"), "only the second is tracked");
        }

        @Test
        @DisplayName("CancelServerListRequest twice: the second does nothing")
        void cancelTwice() {
            browse("");
            api.RequestHistoryServerList();
            SimControl.clearLog();
            api.CancelServerListRequest();
            api.CancelServerListRequest();
            assertEquals(List.of("ReleaseRequest"), serverListCalls());
            assertEquals(0, SimControl.openRequestCount());
        }

        @Test
        @DisplayName("after RefreshComplete, CancelServerListRequest still releases that request")
        void cancelAfterComplete() {
            browse(server("friends", 1, GAME_SERVER_KEYS + "name = F\nip = 10.0.0.9\nport = 27015\n"));
            assertEquals(1L, api.RequestFriendsServerList());
            pumpUntilComplete(api);
            assertEquals(1, SimControl.openRequestCount());
            SimControl.clearLog();
            api.CancelServerListRequest();
            assertEquals(List.of("SteamAPI_ISteamMatchmakingServers_ReleaseRequest request=1"), calls());
        }

        @Test
        @DisplayName("Steam not running: every request gives 0; a request of before the shutdown is never released")
        void steamNotRunning() {
            browse("");
            assertEquals(1L, api.RequestInternetServerList());
            api.SteamAPI_ShutDown();
            SimControl.clearLog();
            assertEquals(0L, api.RequestLANServerList());
            assertEquals(0L, api.RequestInternetServerList());
            assertEquals(0L, api.RequestFavoriteServerList());
            assertEquals(0L, api.RequestHistoryServerList());
            assertEquals(0L, api.RequestFriendsServerList());
            api.CancelServerListRequest();
            assertEquals(List.of(), calls());

            assertTrue(api.SteamAPI_Init());
            SimControl.clearLog();
            assertEquals(2L, api.RequestInternetServerList());
            api.CancelServerListRequest();
            assertEquals(List.of("RequestInternetServerList", "ReleaseRequest"), serverListCalls(),
                    "Steam freed request 1 at the shutdown: only request 2 is released");
            assertEquals("2", SimControl.argument(
                    SimulatedSteam.callsTo(SERVER_LIST_PREFIX + "ReleaseRequest").get(0), "request"));
        }

        @Test
        @DisplayName("without CreateCallback, requests give 0 and call no Steam function")
        void noRegistry() {
            start(api, "");
            assertEquals(0L, api.RequestInternetServerList());
            assertEquals(0L, api.RequestLANServerList());
            api.CancelServerListRequest();
            assertEquals(List.of(), calls());
        }

        @Test
        @DisplayName("DeleteCallback with a live request releases it first; no relay call follows")
        void deleteWithLiveRequest() {
            browse(server("internet", 1, GAME_SERVER_KEYS + "name = A\nip = 10.0.0.1\nport = 1\n"));
            api.RequestInternetServerList();
            SimControl.clearLog();
            api.DeleteCallback();
            assertEquals(List.of("SteamAPI_ISteamMatchmakingServers_ReleaseRequest",
                    "SteamAPI_UnregisterCallback", "SteamAPI_UnregisterCallback"), functions());
            assertEquals(0, SimControl.openRequestCount());
            api.SteamAPI_RunCallbacks();
            api.SteamAPI_RunCallbacks();
            assertEquals(List.of(), api.events);
            assertTrue(calls().stream().noneMatch(c -> c.startsWith("=> ")), calls().toString());
        }
    }

    /** Throws from every server and from the end of the list. */
    static final class ThrowingApi extends RecordingApi {
        @Override
        public void ServerResponded(String name, String address, long ip, short connectionPort,
                int players, int maxPlayers, boolean password, int ping, boolean secure,
                short queryPort, String tags) {
            super.ServerResponded(name, address, ip, connectionPort, players, maxPlayers, password,
                    ping, secure, queryPort, tags);
            throw new IllegalStateException("rejected " + name);
        }

        @Override
        public void RefreshComplete() {
            super.RefreshComplete();
            throw new IllegalStateException("rejected the end of the list");
        }
    }

    @Test
    @DisplayName("a Java callback that throws on every server: all are delivered, one exception is pending after each pump")
    void throwingCallback() {
        api = new ThrowingApi();
        StringBuilder scenario = new StringBuilder("[servers]\nper_pump = 3\n");
        for (int i = 1; i <= 6; i++) {
            scenario.append(server("internet", i, GAME_SERVER_KEYS + "name = S" + i + "\nip = 10.0.0." + i
                    + "\nport = 27015\n"));
        }
        browse(scenario.toString());
        api.RequestInternetServerList();

        IllegalStateException first = assertThrows(IllegalStateException.class, api::SteamAPI_RunCallbacks);
        assertEquals("rejected S3", first.getMessage(), "the exception of the pump's last call");
        assertEquals(List.of("server S1", "server S2", "server S3"), api.events);

        IllegalStateException second = assertThrows(IllegalStateException.class, api::SteamAPI_RunCallbacks);
        assertEquals("rejected the end of the list", second.getMessage());
        assertEquals(List.of("server S1", "server S2", "server S3", "server S4", "server S5", "server S6",
                "complete"), api.events);

        api.SteamAPI_RunCallbacks();  // nothing is left pending from before
        assertEquals(7, api.events.size());
    }
}
