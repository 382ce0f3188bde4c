package com.zarnhall.client.launcherfx;

import Pellux.Steam_api;

/**
 * The server browser step of the Steam tour: registers for Steam's events, asks for
 * the internet server list, pumps until the list is complete (or a few seconds have
 * passed) printing one line per server, adds the first server found to the user's
 * favourites, and unregisters.
 */
final class ServerBrowserTour {
    /** How long to wait for the end of the list. */
    static final long WAIT_MILLIS = 5000;
    static final long PUMP_INTERVAL_MILLIS = 20;

    private ServerBrowserTour() {
    }

    /** Receives the list's results; Steam calls it only inside SteamAPI_RunCallbacks. */
    static final class Browser extends Steam_api {
        int responded;
        int failed;
        boolean complete;
        long firstIp;
        short firstPort;
        short firstQueryPort;

        @Override
        public void ServerResponded(String name, String address, long ip, short connectionPort,
                int players, int maxPlayers, boolean password, int ping, boolean secure,
                short queryPort, String tags) {
            if (responded++ == 0) {
                firstIp = ip;
                firstPort = connectionPort;
                firstQueryPort = queryPort;
            }
            step("    " + line(name, address, players, maxPlayers, ping, secure, tags));
        }

        @Override
        public void ServerFailedToRespond() {
            failed++;
            step("    (a server did not respond)");
        }

        @Override
        public void RefreshComplete() {
            complete = true;
        }
    }

    /** One server as the tour prints it. */
    static String line(String name, String address, int players, int maxPlayers, int ping,
            boolean secure, String tags) {
        return "\"" + name + "\"  " + address + "  " + players + "/" + maxPlayers + "  "
                + ping + " ms  " + (secure ? "secure" : "not secure")
                + "  tags \"" + (tags == null ? "" : tags) + "\"";
    }

    /** Runs the step; Steam must be started. */
    static void run() {
        Browser browser = new Browser();
        browser.CreateCallback();
        step("CreateCallback");
        try {
            long request = browser.RequestInternetServerList();
            step("RequestInternetServerList: handle " + request);
            if (request == 0) {
                return;
            }
            long deadline = System.nanoTime() + WAIT_MILLIS * 1_000_000L;
            while (!browser.complete && System.nanoTime() < deadline) {
                browser.SteamAPI_RunCallbacks();
                if (!browser.complete) {
                    pause();
                }
            }
            step(browser.complete
                    ? "RefreshComplete: " + browser.responded + " responded, " + browser.failed
                            + " did not"
                    : "no RefreshComplete within " + WAIT_MILLIS + " ms");
            browser.CancelServerListRequest();

            if (browser.responded > 0) {
                int index = browser.AddFavoriteServer(browser.firstIp,
                        Short.toUnsignedInt(browser.firstPort),
                        Short.toUnsignedInt(browser.firstQueryPort),
                        System.currentTimeMillis() / 1000);
                step("AddFavoriteServer(first server): " + index);
            }
        } finally {
            browser.DeleteCallback();
            step("DeleteCallback");
        }
    }

    private static void pause() {
        try {
            Thread.sleep(PUMP_INTERVAL_MILLIS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static void step(String text) {
        System.out.println("  " + text);
    }
}
