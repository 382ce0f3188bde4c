package quellink.events;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import quellink.harness.SimControl;

/**
 * What every event-side suite does around each test: the bridge loaded once, a fresh
 * simulator and recording object before, and after it no registry left behind, Steam
 * stopped and the simulator reset, so no test sees another's events.
 */
abstract class SimulatedSteamTest {
    protected RecordingApi api;

    @BeforeAll
    static void load() {
        SimulatedSteam.loadBridge();
    }

    @BeforeEach
    void fresh() {
        SimControl.reset();
        api = new RecordingApi();
    }

    @AfterEach
    void stop() {
        api.DeleteCallback();
        api.SteamAPI_ShutDown();
        SimControl.reset();
    }
}
