package Pellux;

import com.zarnhall.client.steam.SteamAuthTicket;

/**
 * The Java side of the Quellink Steam bridge: 33 native methods, each bound by name to
 * one export of the native library ({@code Quellink.dll}, {@code libQuellink.so}), and
 * the five methods the bridge calls back for Steam events and server-list results.
 *
 * <h2>Using it</h2>
 * Load the library once ({@link #loadLibrary()}, or {@code System.load} with a full
 * path), make one object (or an object of a subclass that overrides the callback
 * methods it needs), call {@link #SteamAPI_Init()} and pump {@link #SteamAPI_RunCallbacks()}
 * regularly. Every native method is an instance method; only {@link #CreateCallback()}
 * looks at the object it is called on, which becomes the target of the callbacks.
 *
 * <h2>Failure values</h2>
 * While Steam is not started (before a successful {@code SteamAPI_Init}, after
 * {@code SteamAPI_ShutDown}) every method that needs a Steam interface does nothing and
 * returns its failure value: {@code false}, {@code 0}, {@code 0.0f}, {@code 0L} or
 * {@code null}. A {@code null} String argument gives the same failure value without
 * any Steam call.
 *
 * <h2>Integer widths</h2>
 * Steam's handles, addresses and times are unsigned 32-bit values, ports unsigned
 * 16-bit values. This class declares them in the widest Java type the bridge accepts:
 * <ul>
 * <li>ticket handles ({@link #CancelAuthTicket(long)}) and server addresses and
 *     last-played times ({@link #AddFavoriteServer}, {@link #AddHistoryServer},
 *     {@link #RemoveFavoriteServer}, {@link #RemoveHistoryServer}) are {@code long};
 *     the bridge uses their low 32 bits, so an address may be given as the positive
 *     long that {@link #ServerResponded} delivers or as the same 32 bits in an int;</li>
 * <li>ports given to the favourite and history methods are {@code int}; the bridge uses
 *     their low 16 bits, so a port held as a negative short (as {@code ServerResponded}
 *     delivers ports above 32767) may be passed as it is;</li>
 * <li>server-list requests return their handle as a {@code long}.</li>
 * </ul>
 * The restart check's application id is an {@code int} whose 32 bits Steam reads as
 * unsigned, so -1 names application 4294967295.
 *
 * <h2>Threads</h2>
 * Steam calls the callback methods only from inside {@link #SteamAPI_RunCallbacks()},
 * on the thread that pumps. {@code CreateCallback}, {@code DeleteCallback}, the
 * server-list methods and the pump must not run at the same time (a callback method
 * may call them: it runs inside the pump). {@code SteamAPI_ShutDown} may run while
 * another thread calls {@code CreateCallback}, {@code DeleteCallback} or a server-list
 * method (the bridge serialises them), but not beside the pump. Every other method
 * may run beside any call.
 */
public class Steam_api {

    /** Base name of the native library: {@code Quellink.dll} or {@code libQuellink.so}. */
    public static final String LIBRARY_NAME = "Quellink";

    /** Loads the bridge from {@code java.library.path}. */
    public static void loadLibrary() {
        System.loadLibrary(LIBRARY_NAME);
    }

    // --- Lifecycle ---------------------------------------------------------------

    /**
     * Asks Steam whether the game must quit because Steam is starting it anew.
     * The int's 32 bits are the unsigned application id.
     */
    public native boolean SteamAPI_RestartAppIfNecessary(int appId);

    /**
     * Starts the Steam API; false when Steam cannot be used, or when the Steam library
     * beside Quellink is of no generation it knows (one line on standard output then
     * names what the library lacks).
     */
    public native boolean SteamAPI_Init();

    /** Stops the Steam API. (The Steam function is {@code SteamAPI_Shutdown}.) */
    public native void SteamAPI_ShutDown();

    /** Delivers pending Steam events and server-list results, on this thread. */
    public native void SteamAPI_RunCallbacks();

    // --- Statistics and achievements --------------------------------------------

    /**
     * Asks Steam for the user's statistics; completion arrives as {@link #UserStatsReceived_t()}
     * inside a later {@link #SteamAPI_RunCallbacks()}. Steam libraries of SDK 1.61 and later
     * have the statistics before the game starts and no such request: there it returns
     * true while Steam runs, and the event arrives once, inside the next pump.
     */
    public native boolean RequestCurrentStats();

    /** The integer statistic of that API name; 0 when Steam does not give it. */
    public native int GetStatInt(String name);

    public native void SetStatInt(String name, int value);

    /** The float statistic of that API name; 0.0 when Steam does not give it. */
    public native float GetStatFloat(String name);

    public native void SetStatFloat(String name, float value);

    /** Whether the one achievement of that API name is achieved. */
    public native boolean getAchievements(String name);

    /** Sets the one achievement of that API name. */
    public native void setAchievements(String name);

    public native void setClearAchievement(String name);

    /** Commits the statistics and achievements written so far. */
    public native boolean StoreStats();

    // --- User identity and authentication tickets -------------------------------

    public native boolean IsSteamUserLoggedOn();

    /** A new session ticket; Steam's refusal still gives a ticket, with handle 0. */
    public native SteamAuthTicket GetAuthSessionTicket();

    /** Cancels the ticket of that handle (its low 32 bits). */
    public native void CancelAuthTicket(long handle);

    /** The user's 64-bit Steam ID as unsigned decimal text. */
    public native String GetCSteamIDString();

    // --- Overlay and rich presence ----------------------------------------------

    /** 0 top left, 1 top right, 2 bottom left, 3 bottom right; anything else bottom left. */
    public native void SetOverlayNotificationPosition(int position);

    public native boolean OverlayNeedsPresent();

    /**
     * Publishes the rich presence "connect" text
     * {@code +connect <address>:<gamePort>?Q<queryPort>[?P]?V<version>}.
     */
    public native void UpdateRichPresenceConnectionInfo(
            int address, short gamePort, short queryPort, boolean passwordFlag, String version);

    // --- Dedicated server --------------------------------------------------------

    /** Asks the Steam client to start the dedicated-server product; true when started. */
    public native boolean StartZarnDedicatedServerProcess();

    // --- Event callbacks ---------------------------------------------------------

    /**
     * Makes this object a target of the five callback methods below. Every object that
     * called it receives each event once; calling it again on the same object (after a
     * reconnect) replaces that object's earlier registration.
     */
    public native void CreateCallback();

    /** Stops the callbacks set up by the last {@link #CreateCallback()}. */
    public native void DeleteCallback();

    // --- Server lists ------------------------------------------------------------

    /** Starts a LAN server list; returns its handle, 0 when none was started. */
    public native long RequestLANServerList();

    public native long RequestInternetServerList();

    public native long RequestFavoriteServerList();

    public native long RequestHistoryServerList();

    public native long RequestFriendsServerList();

    /** Releases the last server-list request, if any. */
    public native void CancelServerListRequest();

    // --- Favourite and history servers ------------------------------------------

    /** Adds a favourite; returns Steam's result. */
    public native int AddFavoriteServer(long ip, int connectionPort, int queryPort, long lastPlayed);

    public native boolean RemoveFavoriteServer(long ip, int connectionPort, int queryPort);

    /** Adds a history entry; returns the number of entries afterwards. */
    public native int AddHistoryServer(long ip, int connectionPort, int queryPort, long lastPlayed);

    /** Removes a history entry; returns the number of entries afterwards. */
    public native int RemoveHistoryServer(long ip, int connectionPort, int queryPort);

    // --- Called by the bridge; override what you need ---------------------------

    /** The user's statistics have arrived (or their request failed). */
    public void UserStatsReceived_t() {
    }

    /** A friend asks to join; {@code connect} is the rich presence connect text. */
    public void GameRichPresenceJoinRequested_t(String connect) {
    }

    /**
     * A server of the current list answered. {@code address} is "a.b.c.d:port";
     * {@code name} is the address when the server has none; {@code ip} is 0 to
     * 4294967295; ports above 32767 arrive as negative shorts.
     */
    public void ServerResponded(String name, String address, long ip, short connectionPort,
            int players, int maxPlayers, boolean password, int ping, boolean secure,
            short queryPort, String tags) {
    }

    /** A server of the current list did not answer. */
    public void ServerFailedToRespond() {
    }

    /** The current server list is complete. */
    public void RefreshComplete() {
    }
}
