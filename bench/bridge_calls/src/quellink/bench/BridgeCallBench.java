package quellink.bench;

import Pellux.Steam_api;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * The cost of a Quellink call from Java, against a native method that does nothing.
 *
 * <pre>
 * java -cp bridge-call-bench.jar:steam-api.jar quellink.bench.BridgeCallBench \
 *     &lt;libQuellink.so&gt; &lt;libsteam_api.so beside it&gt; &lt;libbridge_call_bench.so&gt; &lt;label&gt;
 * </pre>
 *
 * Every case runs in rounds of {@link #CALLS} calls, the cases taking turns, first
 * {@link #WARM_UP_ROUNDS} rounds untimed so the JIT has compiled the loops, then
 * {@link #ROUNDS} timed ones. The figure of a case is its median nanoseconds per call,
 * and its ratio that figure over the no-op's.
 */
public final class BridgeCallBench {
    static final int CALLS = 1_000_000;
    static final int WARM_UP_ROUNDS = 5;
    static final int ROUNDS = 15;
    static final String STAT = "Kills";

    /** Keeps the results alive so no call can be dropped. */
    static volatile int sink;

    private BridgeCallBench() {
    }

    public static void main(String[] args) {
        if (args.length != 4) {
            System.err.println("usage: BridgeCallBench <libQuellink> <Steam library beside it>"
                    + " <libbridge_call_bench> <label>");
            System.exit(2);
        }
        System.load(args[0]);
        System.load(args[2]);
        if (!NoOpNatives.bindSteamLibrary(args[1])) {
            System.err.println("the Steam library " + args[1] + " is not the one Quellink loaded");
            System.exit(1);
        }
        Steam_api steam = new Steam_api();
        boolean started = steam.SteamAPI_Init();

        String[] names = {"no-op native", "no-op native, one String",
            "no-op native reading its String", "OverlayNeedsPresent", "GetStatInt",
            "Steam's calls of OverlayNeedsPresent, direct"};

        Map<String, List<Double>> perCall = new LinkedHashMap<>();
        for (String name : names) {
            perCall.put(name, new ArrayList<>());
        }
        for (int round = 0; round < WARM_UP_ROUNDS + ROUNDS; round++) {
            for (int c = 0; c < names.length; c++) {
                NoOpNatives.clearSimulatorLog();
                double ns = time(c, steam);
                if (round >= WARM_UP_ROUNDS) {
                    perCall.get(names[c]).add(ns);
                }
            }
        }
        NoOpNatives.clearSimulatorLog();
        steam.SteamAPI_ShutDown();

        System.out.printf("Bridge call cost, %s (Steam started: %b), median of %d rounds of %d calls%n",
                args[3], started, ROUNDS, CALLS);
        double baseline = median(perCall.get("no-op native"));
        for (Map.Entry<String, List<Double>> e : perCall.entrySet()) {
            double ns = median(e.getValue());
            System.out.printf("  %-44s %8.1f ns/call  %6.2fx the no-op%n", e.getKey(), ns, ns / baseline);
        }
    }

    /** Nanoseconds per call of case c, over one round. */
    private static double time(int c, Steam_api steam) {
        long start = System.nanoTime();
        int acc = switch (c) {
            case 0 -> noOp();
            case 1 -> noOpWithString();
            case 2 -> noOpReadingString();
            case 3 -> overlayNeedsPresent(steam);
            case 4 -> getStatInt(steam);
            default -> directOverlayNeedsPresent();
        };
        long elapsed = System.nanoTime() - start;
        sink = acc;
        return (double) elapsed / CALLS;
    }

    // One loop per case, each with its own call site, so no case pays for a dispatch
    // the others do not.
    private static int noOp() {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += NoOpNatives.nothing() ? 1 : 0;
        }
        return acc;
    }

    private static int noOpWithString() {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += NoOpNatives.nothingWithString(STAT);
        }
        return acc;
    }

    private static int noOpReadingString() {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += NoOpNatives.readString(STAT);
        }
        return acc;
    }

    private static int directOverlayNeedsPresent() {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += NoOpNatives.directOverlayNeedsPresent() ? 1 : 0;
        }
        return acc;
    }

    private static int overlayNeedsPresent(Steam_api steam) {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += steam.OverlayNeedsPresent() ? 1 : 0;
        }
        return acc;
    }

    private static int getStatInt(Steam_api steam) {
        int acc = 0;
        for (int i = 0; i < CALLS; i++) {
            acc += steam.GetStatInt(STAT);
        }
        return acc;
    }

    private static double median(List<Double> values) {
        double[] sorted = values.stream().mapToDouble(Double::doubleValue).toArray();
        Arrays.sort(sorted);
        int n = sorted.length;
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
}
