package quellink.services;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.Quellink;

/** Statistics and achievements against the simulated Steam client. */
class StatsTest extends RunningSteam {
    static final String SCENARIO = """
            [stats]
            store = true
            [stats.int]
            Kills = 12
            [stats.float]
            Distance = 1.5
            [achievements]
            ACH_WIN_ONE_GAME = true
            ACH_TRAVEL_FAR = false
            """;

    @BeforeEach
    void start() {
        RunningSteam.start(api, SCENARIO);
    }

    @Test
    @DisplayName("reads give Steam's values through the int, float and achievement calls")
    void reads() {
        assertEquals(12, api.GetStatInt("Kills"));
        assertEquals(1.5f, api.GetStatFloat("Distance"));
        assertTrue(api.getAchievements("ACH_WIN_ONE_GAME"));
        assertFalse(api.getAchievements("ACH_TRAVEL_FAR"));
        assertEquals(List.of(
                "SteamAPI_ISteamUserStats_GetStatInt32 name=\"Kills\"",
                "SteamAPI_ISteamUserStats_GetStatFloat name=\"Distance\"",
                "SteamAPI_ISteamUserStats_GetAchievement name=\"ACH_WIN_ONE_GAME\"",
                "SteamAPI_ISteamUserStats_GetAchievement name=\"ACH_TRAVEL_FAR\""),
                RunningSteam.calls());
    }

    @Test
    @DisplayName("refused reads give 0, 0.0 and false: Steam's flag is not the answer")
    void refusedReads() {
        assertEquals(0, api.GetStatInt("NoSuchStat"));
        assertEquals(0.0f, api.GetStatFloat("NoSuchStat"));
        assertFalse(api.getAchievements("NO_SUCH_ACHIEVEMENT"));
        // The other type's read is refused as well and leaves the output unwritten.
        assertEquals(0.0f, api.GetStatFloat("Kills"));
        assertEquals(0, api.GetStatInt("Distance"));
        assertEquals(5, RunningSteam.calls().size(), RunningSteam.calls().toString());
    }

    @Test
    @DisplayName("a set followed by a get makes two Steam calls, with nothing kept in between")
    void setThenGet() {
        api.SetStatInt("Kills", -7);
        assertEquals(-7, api.GetStatInt("Kills"));
        api.SetStatFloat("Distance", 2.25f);
        assertEquals(2.25f, api.GetStatFloat("Distance"));
        assertEquals(List.of(
                "SteamAPI_ISteamUserStats_SetStatInt32 name=\"Kills\" value=-7",
                "SteamAPI_ISteamUserStats_GetStatInt32 name=\"Kills\"",
                "SteamAPI_ISteamUserStats_SetStatFloat name=\"Distance\" value=2.25",
                "SteamAPI_ISteamUserStats_GetStatFloat name=\"Distance\""),
                RunningSteam.calls());
    }

    @Test
    @DisplayName("setting and clearing an achievement reach their own calls")
    void achievements() {
        api.setAchievements("ACH_TRAVEL_FAR");
        assertTrue(api.getAchievements("ACH_TRAVEL_FAR"));
        api.setClearAchievement("ACH_TRAVEL_FAR");
        assertFalse(api.getAchievements("ACH_TRAVEL_FAR"));
        assertEquals(List.of(
                "SteamAPI_ISteamUserStats_SetAchievement",
                "SteamAPI_ISteamUserStats_GetAchievement",
                "SteamAPI_ISteamUserStats_ClearAchievement",
                "SteamAPI_ISteamUserStats_GetAchievement"),
                RunningSteam.functions());
    }

    @Test
    @DisplayName("writes Steam refuses return quietly and commit nothing")
    void refusedWritesAndNoCommit() {
        api.SetStatInt("NoSuchStat", 1);
        api.SetStatFloat("NoSuchStat", 1.0f);
        api.setAchievements("NO_SUCH_ACHIEVEMENT");
        assertEquals(0, api.GetStatInt("NoSuchStat"));
        assertEquals(0, RunningSteam.callsTo("SteamAPI_ISteamUserStats_StoreStats").size());
    }

    @Test
    @DisplayName("RequestCurrentStats and StoreStats give Steam's answer; where Steam has no RequestCurrentStats"
            + " (SDK 1.61 on) the request is true")
    void requestAndStore() {
        boolean steamRequests = Quellink.generation().requestCurrentStats;
        assertTrue(api.RequestCurrentStats());
        assertTrue(api.StoreStats());
        api.SteamAPI_ShutDown();
        RunningSteam.start(api, "[stats]\nrequest = false\nstore = false\n");
        // Where Steam has no such call it already has the stats: nothing to refuse.
        assertEquals(!steamRequests, api.RequestCurrentStats());
        assertFalse(api.StoreStats());
        List<String> expected = steamRequests
                ? List.of("SteamAPI_ISteamUserStats_RequestCurrentStats", "SteamAPI_ISteamUserStats_StoreStats")
                : List.of("SteamAPI_ISteamUserStats_StoreStats");
        assertEquals(expected, RunningSteam.functions());
    }

    @Test
    @DisplayName("a name outside ASCII reaches Steam as UTF-8; a name holding U+0000 reaches no Steam call")
    void utf8Names() {
        // é, U+10000 (one four-byte sequence, not Java's two surrogates) and a
        // surrogate without its partner, which UTF-8 cannot hold (U+FFFD).
        api.GetStatInt("K\u00e9\uD800\uDC00\uDC00x");
        // Cut at the NUL, these would read Kills and unlock ACH_TRAVEL_FAR.
        assertEquals(0, api.GetStatInt("Kills\u0000x"));
        api.setAchievements("ACH_TRAVEL_FAR\u0000x");
        assertEquals(List.of("SteamAPI_ISteamUserStats_GetStatInt32 "
                + "name=\"K\\xc3\\xa9\\xf0\\x90\\x80\\x80\\xef\\xbf\\xbdx\""),
                RunningSteam.calls());
        assertFalse(api.getAchievements("ACH_TRAVEL_FAR"));
    }
}
