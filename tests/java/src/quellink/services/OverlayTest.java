package quellink.services;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.stream.Collectors;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/** Overlay position and presence, and the rich presence connect text, against the simulator. */
class OverlayTest extends RunningSteam {
    @BeforeEach
    void start() {
        RunningSteam.start(api, "[steam]\noverlay_needs_present = true\n");
    }

    @Test
    @DisplayName("positions 0 to 3 pass as they are; -1, 4 and 100 become 2, bottom left")
    void notificationPositions() {
        Quellink.generation().assumeWorking("SetOverlayNotificationPosition");
        for (int position : new int[] {0, 1, 2, 3, -1, 4, 100}) {
            api.SetOverlayNotificationPosition(position);
        }
        assertEquals(List.of("0", "1", "2", "3", "2", "2", "2"),
                RunningSteam.callsTo("SteamAPI_ISteamUtils_SetOverlayNotificationPosition").stream()
                        .map(e -> e.substring(e.indexOf("position=") + "position=".length()))
                        .collect(Collectors.toList()));
    }

    @Test
    @DisplayName("OverlayNeedsPresent gives Steam's answer")
    void needsPresent() {
        Quellink.generation().assumeWorking("OverlayNeedsPresent");
        assertTrue(api.OverlayNeedsPresent());
        api.SteamAPI_ShutDown();
        RunningSteam.start(api, "[steam]\noverlay_needs_present = false\n");
        assertFalse(api.OverlayNeedsPresent());
        assertEquals(List.of("SteamAPI_ISteamUtils_BOverlayNeedsPresent"), RunningSteam.functions());
    }

    @Test
    @DisplayName("the connect text of 192.168.1.1, 3724, 27016 with the flag and version 1.0")
    void connectText() {
        api.UpdateRichPresenceConnectionInfo(-1062731519, (short) 3724, (short) 27016, true, "1.0");
        assertEquals(List.of("+connect 3232235777:3724?Q27016?P?V1.0"), presenceValues());
    }

    @Test
    @DisplayName("numbers keep their forms: unsigned address and game port, signed query port")
    void connectTextNumbers() {
        short port40000 = (short) 40000;
        api.UpdateRichPresenceConnectionInfo(-1, port40000, port40000, false, "2");
        api.UpdateRichPresenceConnectionInfo(Integer.MIN_VALUE, (short) -1, Short.MIN_VALUE, true, "");
        assertEquals(List.of(
                "+connect 4294967295:40000?Q-25536?V2",
                "+connect 2147483648:65535?Q-32768?P?V"),
                presenceValues());
    }

    @Test
    @DisplayName("without the flag there is no ?P, and an empty version ends the text with ?V")
    void connectTextFlagAndEmptyVersion() {
        api.UpdateRichPresenceConnectionInfo(16909060, (short) 27015, (short) 27016, false, "");
        assertEquals(List.of("+connect 16909060:27015?Q27016?V"), presenceValues());
    }

    @Test
    @DisplayName("the version reaches Steam as UTF-8, U+1F600 as F0 9F 98 80; a version holding U+0000 sets nothing")
    void connectTextVersionBytes() {
        api.UpdateRichPresenceConnectionInfo(1, (short) 2, (short) 3, false, "\u00e9-1.0-\uD83D\uDE00");
        api.UpdateRichPresenceConnectionInfo(1, (short) 2, (short) 3, false, "\u00e9\u0000");
        assertEquals(List.of("+connect 1:2?Q3?V\\xc3\\xa9-1.0-\\xf0\\x9f\\x98\\x80"), presenceValues());
        assertArrayEquals("+connect 1:2?Q3?V\u00e9-1.0-\uD83D\uDE00".getBytes(StandardCharsets.UTF_8),
                SimControl.richPresenceBytes("connect"));
    }

    /** The values set under "connect", as the call log shows them. */
    private static List<String> presenceValues() {
        String prefix = "SteamAPI_ISteamFriends_SetRichPresence key=\"connect\" value=\"";
        List<String> calls = RunningSteam.calls();
        for (String call : calls) {
            assertTrue(call.startsWith(prefix) && call.endsWith("\""), "unexpected call " + call);
        }
        return calls.stream().map(c -> c.substring(prefix.length(), c.length() - 1))
                .collect(Collectors.toList());
    }
}
