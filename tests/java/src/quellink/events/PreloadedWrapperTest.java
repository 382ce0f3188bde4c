package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.SimControl;

/**
 * Quellink with a preloaded library that wraps SteamAPI_RunCallbacks and forwards to
 * Steam's own (suite java.events_preloaded, whose LD_PRELOAD names it): Steam starts,
 * and its events arrive through the wrapper.
 */
class PreloadedWrapperTest extends SimulatedSteamTest {

    @Test
    @DisplayName("with a wrapper of SteamAPI_RunCallbacks preloaded, SteamAPI_Init is true and events arrive")
    void startsAndPumpsThroughTheWrapper() throws IOException {
        String wrapper = Path.of(System.getProperty("quellink.preloaded")).getFileName().toString();
        assertTrue(Files.readString(Path.of("/proc/self/maps")).contains(wrapper),
                "the wrapper is not loaded: " + wrapper);
        SimControl.loadScenario("[steam]\napp_id = 480\n");
        assertTrue(api.SteamAPI_Init());
        api.CreateCallback();
        assertTrue(api.RequestCurrentStats());
        api.SteamAPI_RunCallbacks();
        assertEquals(List.of("UserStatsReceived_t"), api.events);
    }
}
