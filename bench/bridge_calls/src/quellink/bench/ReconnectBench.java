package quellink.bench;

import Pellux.Steam_api;

/**
 * The cost of a client that reconnects to Steam again and again, against the simulated
 * Steam client: each cycle is {@code SteamAPI_ShutDown}, {@code SteamAPI_Init},
 * {@code CreateCallback} on the same object, {@code RequestCurrentStats} and one pump,
 * which delivers the cycle's {@code UserStatsReceived_t}.
 *
 * <pre>
 * java -cp bridge-call-bench.jar:steam-api.jar quellink.bench.ReconnectBench \
 *     &lt;libQuellink.so&gt; &lt;cycles&gt;
 * </pre>
 *
 * A cycle costs the same however many came before when the object's earlier
 * registrations go as it registers again; were they kept, every event would reach each
 * of them and the time would grow with the square of the cycles. One process per
 * figure, after {@link #WARM_UP} cycles of another object that is then deleted.
 */
public final class ReconnectBench {
    static final int WARM_UP = 100;

    private ReconnectBench() {
    }

    /** Counts the statistics events it receives. */
    static final class Client extends Steam_api {
        long events;

        @Override
        public void UserStatsReceived_t() {
            events++;
        }
    }

    public static void main(String[] args) {
        if (args.length != 2) {
            System.err.println("usage: ReconnectBench <libQuellink> <cycles>");
            System.exit(2);
        }
        System.load(args[0]);
        int cycles = Integer.parseInt(args[1]);

        Client warmUp = new Client();
        if (!warmUp.SteamAPI_Init()) {
            System.err.println("the simulated Steam client did not start");
            System.exit(1);
        }
        run(warmUp, WARM_UP);
        warmUp.DeleteCallback();

        Client client = new Client();
        long start = System.nanoTime();
        run(client, cycles);
        long elapsed = System.nanoTime() - start;
        client.DeleteCallback();
        client.SteamAPI_ShutDown();

        System.out.printf("Reconnect cycles: %d in %.1f ms, %.1f us a cycle, %d events (one a cycle: %b)%n",
                cycles, elapsed / 1e6, elapsed / 1e3 / cycles, client.events,
                client.events == cycles);
    }

    private static void run(Client client, int cycles) {
        for (int i = 0; i < cycles; i++) {
            client.SteamAPI_ShutDown();
            client.SteamAPI_Init();
            client.CreateCallback();
            client.RequestCurrentStats();
            client.SteamAPI_RunCallbacks();
        }
    }
}
