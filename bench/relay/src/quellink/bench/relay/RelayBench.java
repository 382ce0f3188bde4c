package quellink.bench.relay;

import Pellux.Steam_api;
import java.io.IOException;
import java.io.Writer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;

/**
 * Throughput of the server-list relay: the simulated Steam client answers an internet
 * list of N servers inside one SteamAPI_RunCallbacks, and the relay calls
 * ServerResponded on a Java object that counts them. Measured against
 * <ul>
 * <li>the bare loop: a native loop making the same Java call with the same eleven
 *     arguments and three new Strings, and nothing else;</li>
 * <li>Steam alone: the same list through a native response object that makes the
 *     relay's Steam calls but no Java call (the simulator's own share).</li>
 * </ul>
 * Usage: RelayBench QUELLINK_LIBRARY BENCH_LIBRARY [SERVERS [ROUNDS]]
 */
public final class RelayBench {
    static native boolean loadScenario(String path);

    static native long bareLoop(Object target, int count);

    static native long steamOnly();

    static native long steamOnlyResponded();

    /** Counts the servers it is given. */
    static final class Counter extends Steam_api {
        long responded;
        boolean complete;

        @Override
        public void ServerResponded(String name, String address, long ip, short connectionPort,
                int players, int maxPlayers, boolean password, int ping, boolean secure,
                short queryPort, String tags) {
            responded++;
        }

        @Override
        public void RefreshComplete() {
            complete = true;
        }
    }

    public static void main(String[] args) throws IOException {
        if (args.length < 2) {
            System.err.println("usage: RelayBench QUELLINK_LIBRARY BENCH_LIBRARY [SERVERS [ROUNDS]]");
            System.exit(2);
        }
        int servers = args.length > 2 ? Integer.parseInt(args[2]) : 100_000;
        int rounds = args.length > 3 ? Integer.parseInt(args[3]) : 9;
        int warmUp = 2;

        System.load(args[0]);
        System.load(args[1]);
        Path scenario = writeScenario(servers);
        if (!loadScenario(scenario.toString())) {
            throw new IllegalStateException("the simulator rejected " + scenario);
        }
        Files.delete(scenario);

        Counter counter = new Counter();
        if (!counter.SteamAPI_Init()) {
            throw new IllegalStateException("the simulated Steam client did not start");
        }
        counter.CreateCallback();

        double[] relay = new double[rounds];
        double[] bare = new double[rounds];
        double[] steam = new double[rounds];
        for (int r = 0; r < rounds; r++) {
            counter.responded = 0;
            counter.complete = false;
            if (counter.RequestInternetServerList() == 0) {
                throw new IllegalStateException("no request");
            }
            long start = System.nanoTime();
            while (!counter.complete) {
                counter.SteamAPI_RunCallbacks();
            }
            long took = System.nanoTime() - start;
            check(servers, counter.responded, "relay");
            relay[r] = perSecond(servers, took);

            counter.responded = 0;
            took = bareLoop(counter, servers);
            check(servers, counter.responded, "bare loop");
            bare[r] = perSecond(servers, took);

            counter.CancelServerListRequest();
            took = steamOnly();
            check(servers, steamOnlyResponded(), "Steam alone");
            steam[r] = perSecond(servers, took);
        }
        counter.DeleteCallback();
        counter.SteamAPI_ShutDown();

        double relayRate = median(relay, warmUp);
        double bareRate = median(bare, warmUp);
        double steamRate = median(steam, warmUp);
        // Time per server, from the median rates: what the relay costs beyond Steam.
        double relayNs = 1e9 / relayRate;
        double bareNs = 1e9 / bareRate;
        double steamNs = 1e9 / steamRate;
        System.out.printf("servers per list: %d, rounds: %d (first %d not counted), medians:%n",
                servers, rounds, warmUp);
        System.out.printf("  relay through the simulator : %,12.0f ServerResponded/s  (%6.1f ns each)%n",
                relayRate, relayNs);
        System.out.printf("  bare native loop            : %,12.0f calls/s            (%6.1f ns each)%n",
                bareRate, bareNs);
        System.out.printf("  simulator alone, no Java    : %,12.0f servers/s          (%6.1f ns each)%n",
                steamRate, steamNs);
        System.out.printf("  relay time / bare loop time           : %.2fx%n", relayNs / bareNs);
        System.out.printf("  (relay - simulator alone) / bare loop : %.2fx%n", (relayNs - steamNs) / bareNs);
    }

    private static Path writeScenario(int servers) throws IOException {
        Path file = Files.createTempFile("relay-bench", ".ini");
        try (Writer out = Files.newBufferedWriter(file)) {
            out.write("[steam]\napp_id = 480\n[servers]\nper_pump = 0\n");
            for (int i = 0; i < servers; i++) {
                int ip = 0x0A000000 + i;
                out.write("[servers.internet." + (i + 1) + "]\n"
                        + "name = Zarnkeep " + (i + 1) + "\n"
                        + "ip = " + Integer.toUnsignedString(ip) + "\n"
                        + "port = 27015\nquery_port = 27016\napp_id = 480\n"
                        + "gamedir = zarnkeepserver\nsecure = true\n"
                        + "players = 12\nmax_players = 32\nping = 24\ntags = pvp,eu\n");
            }
        }
        return file;
    }

    private static void check(long expected, long got, String what) {
        if (expected != got) {
            throw new IllegalStateException(what + ": " + got + " servers, not " + expected);
        }
    }

    private static double perSecond(int count, long nanos) {
        return count * 1e9 / nanos;
    }

    private static double median(double[] values, int skip) {
        double[] kept = Arrays.copyOfRange(values, skip, values.length);
        Arrays.sort(kept);
        int n = kept.length;
        return n % 2 == 1 ? kept[n / 2] : (kept[n / 2 - 1] + kept[n / 2]) / 2;
    }
}
