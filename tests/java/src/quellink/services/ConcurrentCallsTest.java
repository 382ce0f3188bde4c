package quellink.services;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import Pellux.Steam_api;
import com.zarnhall.client.steam.SteamAuthTicket;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.SimControl;

/** The exports called from several Java threads at once, as Java may call them. */
class ConcurrentCallsTest {
    static final int THREADS = 8;
    static final int ROUNDS = 1000;

    /** Counts the statistics events, and those that arrived on another thread than the pump's. */
    static final class Counting extends Steam_api {
        volatile Thread pumpThread;
        final AtomicInteger received = new AtomicInteger();
        final AtomicInteger elsewhere = new AtomicInteger();

        @Override
        public void UserStatsReceived_t() {
            received.incrementAndGet();
            if (Thread.currentThread() != pumpThread) {
                elsewhere.incrementAndGet();
            }
            GetStatInt("Kills");  // a handler may call back in
        }
    }

    @Test
    @DisplayName("eight threads on the stats and ticket exports while another pumps: each call answers as alone,"
            + " the statistics events arrive on the pumping thread")
    void eightThreadsWhileAnotherPumps() throws Exception {
        Counting api = new Counting();
        RunningSteam.bridge();
        RunningSteam.start(api, "[stats]\naccept_unknown = true\n[stats.int]\nKills = 1\n[ticket]\nlength = 16\n");
        api.CreateCallback();
        AtomicBoolean stop = new AtomicBoolean();
        Thread pump = new Thread(() -> {
            while (!stop.get()) {
                api.SteamAPI_RunCallbacks();
                Thread.yield();
            }
            api.SteamAPI_RunCallbacks();  // what the last requests queued
        }, "pump");
        api.pumpThread = pump;
        pump.start();

        ExecutorService workers = Executors.newFixedThreadPool(THREADS);
        List<Future<?>> results = new ArrayList<>();
        try {
            for (int t = 0; t < THREADS; t++) {
                String stat = "Thread" + t;
                results.add(workers.submit(() -> {
                    for (int i = 0; i < ROUNDS; i++) {
                        assertTrue(api.RequestCurrentStats());
                        api.SetStatInt(stat, i);
                        assertEquals(i, api.GetStatInt(stat));
                        SteamAuthTicket ticket = api.GetAuthSessionTicket();
                        assertEquals(16L, ticket.length);
                        api.CancelAuthTicket(ticket.handle);
                        assertFalse(SimControl.ticketLive(ticket.handle));
                    }
                    return null;
                }));
            }
            for (Future<?> result : results) {
                result.get();  // a worker's failure fails the test
            }
        } finally {
            workers.shutdown();
            stop.set(true);
            pump.join();
            api.DeleteCallback();
            api.SteamAPI_ShutDown();
        }
        assertTrue(api.received.get() > 0, "no UserStatsReceived_t");
        assertEquals(0, api.elsewhere.get(), "UserStatsReceived_t on another thread than the pump's");
    }
}
