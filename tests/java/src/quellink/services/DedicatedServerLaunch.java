package quellink.services;

import Pellux.Steam_api;

/**
 * A program of its own for {@link DedicatedServerTest}: loads the bridge, calls
 * StartZarnDedicatedServerProcess once, without starting Steam's API, and prints the
 * answer as its last line. The test runs it with the HOME and PATH it wants.
 */
public final class DedicatedServerLaunch {
    private DedicatedServerLaunch() {
    }

    public static void main(String[] args) {
        System.load(System.getProperty("quellink.library"));
        boolean started = new Steam_api().StartZarnDedicatedServerProcess();
        System.out.println("started=" + started);
    }
}
