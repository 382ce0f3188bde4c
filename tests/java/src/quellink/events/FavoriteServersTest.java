package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static quellink.events.SimulatedSteam.calls;
import static quellink.events.SimulatedSteam.callsTo;
import static quellink.events.SimulatedSteam.start;

import java.util.List;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.Quellink;
import quellink.harness.SimControl;
import quellink.harness.SimControl.Favorite;

/** The favourites and history exports against the simulated Steam client. */
class FavoriteServersTest extends SimulatedSteamTest {
    private static final String ADD = "SteamAPI_ISteamMatchmaking_AddFavoriteGame";
    private static final String REMOVE = "SteamAPI_ISteamMatchmaking_RemoveFavoriteGame";

    @Test
    @DisplayName("port -25536 reaches Steam as 40000; 192.168.1.20 as int or long reaches Steam as 3232235796")
    void widths() {
        Quellink.generation().assumeWorking("AddFavoriteServer");
        start(api, "");
        int ipAsInt = -1062731500;
        assertEquals(0, api.AddFavoriteServer(ipAsInt, (short) -25536, 27016, 1700000000L));
        assertEquals(1, api.AddFavoriteServer(3232235796L, 27015, -1, 0x1_0000_0007L));
        List<String> adds = callsTo(ADD);
        assertEquals(ADD + " app=480 ip=3232235796 conn_port=40000 query_port=27016 flags=1 last_played=1700000000",
                adds.get(0));
        assertEquals(ADD + " app=480 ip=3232235796 conn_port=27015 query_port=65535 flags=1 last_played=7",
                adds.get(1));
        assertEquals(new Favorite(480, 3232235796L, 40000, 27016, 1, 1700000000L), SimControl.favorites().get(0));

        assertTrue(api.RemoveFavoriteServer(ipAsInt, -25536, 27016));
        assertEquals(REMOVE + " app=480 ip=3232235796 conn_port=40000 query_port=27016 flags=1",
                callsTo(REMOVE).get(0));
    }

    @Test
    @DisplayName("history gives the count afterwards, favourite Steam's own result; they differ in the flags")
    void historyAndFavourite() {
        Quellink.generation().assumeWorking("AddFavoriteServer");
        start(api, "[favorites.1]\nip = 10.0.0.1\nport = 27015\nflags = 1\n");
        assertEquals(2, api.AddHistoryServer(3232235796L, 27015, 27016, 5L));
        assertEquals(2, api.AddFavoriteServer(3232235796L, 27015, 27016, 5L), "its index");
        assertEquals(List.of("flags=2", "flags=1"),
                callsTo(ADD).stream().map(c -> "flags=" + SimControl.argument(c, "flags")).toList());
        String appId = "SteamAPI_ISteamUtils_GetAppID";
        assertEquals(List.of(appId, ADD, "SteamAPI_ISteamMatchmaking_GetFavoriteGameCount", appId, ADD),
                calls().stream().map(SimControl::functionOf).toList());

        assertEquals(2, api.RemoveHistoryServer(3232235796L, 27015, 27016));
        assertEquals(2, api.RemoveHistoryServer(3232235796L, 27015, 27016), "nothing removed: still the count");
        assertTrue(api.RemoveFavoriteServer(3232235796L, 27015, 27016));
        assertFalse(api.RemoveFavoriteServer(3232235796L, 27015, 27016));
        assertEquals(1, SimControl.favorites().size());
    }

    @Test
    @DisplayName("with Steam not running all four give 0 and call nothing")
    void steamNotRunning() {
        SimControl.clearLog();
        assertEquals(0, api.AddFavoriteServer(3232235796L, 27015, 27016, 0L));
        assertFalse(api.RemoveFavoriteServer(3232235796L, 27015, 27016));
        assertEquals(0, api.AddHistoryServer(3232235796L, 27015, 27016, 0L));
        assertEquals(0, api.RemoveHistoryServer(3232235796L, 27015, 27016));
        assertEquals(List.of(), calls());
    }
}
