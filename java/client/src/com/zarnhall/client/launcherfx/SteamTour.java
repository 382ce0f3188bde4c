package com.zarnhall.client.launcherfx;

import Pellux.Steam_api;
import com.zarnhall.client.steam.SteamAuthTicket;

/**
 * A walk through the Steam services of the Quellink bridge, one printed line a step:
 * start-up, the user's log-on state and Steam ID, a session ticket, a statistic read
 * and written, an achievement, the rich presence connect text, and shutdown.
 *
 * <p>Nothing here stops the client: without the bridge, or without a running Steam,
 * the tour says so and ends.
 */
final class SteamTour {
    /** The statistic and achievement the tour uses (the demo's simulated Steam knows them). */
    static final String STAT = "Kills";
    static final String ACHIEVEMENT = "ACH_WIN_ONE_GAME";

    /** The server the tour publishes as the user's: 192.168.1.1, ports 3724 and 27016. */
    static final int SERVER_ADDRESS = 0xC0A80101;
    static final short GAME_PORT = 3724;
    static final short QUERY_PORT = 27016;
    static final String GAME_VERSION = "1.0";

    private SteamTour() {
    }

    static void run() {
        System.out.println("Steam tour:");
        try {
            System.loadLibrary(Steam_api.LIBRARY_NAME);
        } catch (UnsatisfiedLinkError e) {
            step("Quellink could not be loaded (" + e.getMessage() + "); no Steam tour");
            return;
        }
        step("Quellink loaded");

        Steam_api steam = new Steam_api();
        if (!steam.SteamAPI_Init()) {
            step("SteamAPI_Init: false, Steam is not available; the tour ends here");
            return;
        }
        step("SteamAPI_Init: true");
        try {
            walk(steam);

            // --- Server browser ---------------------------------------------------
            // The server-list walk-through goes here, while Steam is still running.
            ServerBrowserTour.run();

        } catch (UnsatisfiedLinkError e) {
            step("the bridge lacks a method: " + e.getMessage());
        } finally {
            steam.SteamAPI_ShutDown();
            step("SteamAPI_ShutDown");
        }
    }

    private static void walk(Steam_api steam) {
        step("IsSteamUserLoggedOn: " + steam.IsSteamUserLoggedOn());
        step("GetCSteamIDString: " + steam.GetCSteamIDString());

        SteamAuthTicket ticket = steam.GetAuthSessionTicket();
        if (ticket == null) {
            step("GetAuthSessionTicket: no ticket");
        } else {
            step("GetAuthSessionTicket: handle " + ticket.handle + ", length " + ticket.length
                    + (ticket.isValid() ? "" : " (Steam made no ticket)"));
        }

        int kills = steam.GetStatInt(STAT);
        step("GetStatInt(\"" + STAT + "\"): " + kills);
        steam.SetStatInt(STAT, kills + 1);
        step("SetStatInt(\"" + STAT + "\", " + (kills + 1) + "), read back: "
                + steam.GetStatInt(STAT));
        step("StoreStats: " + steam.StoreStats());

        step("getAchievements(\"" + ACHIEVEMENT + "\"): " + steam.getAchievements(ACHIEVEMENT));
        steam.setAchievements(ACHIEVEMENT);
        step("setAchievements(\"" + ACHIEVEMENT + "\"), read back: "
                + steam.getAchievements(ACHIEVEMENT));

        steam.UpdateRichPresenceConnectionInfo(SERVER_ADDRESS, GAME_PORT, QUERY_PORT, true,
                GAME_VERSION);
        step("UpdateRichPresenceConnectionInfo: connect = \"+connect "
                + Integer.toUnsignedString(SERVER_ADDRESS) + ":" + Short.toUnsignedInt(GAME_PORT)
                + "?Q" + QUERY_PORT + "?P?V" + GAME_VERSION + "\"");

        if (ticket != null && ticket.isValid()) {
            steam.CancelAuthTicket(ticket.handle);
            step("CancelAuthTicket(" + ticket.handle + ")");
        }
    }

    private static void step(String text) {
        System.out.println("  " + text);
    }
}
