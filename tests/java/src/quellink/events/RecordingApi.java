package quellink.events;

import Pellux.Steam_api;
import java.util.ArrayList;
import java.util.List;

/** A Steam_api whose five callback methods record what the bridge delivered. */
class RecordingApi extends Steam_api {

    /** The eleven values of one ServerResponded call. */
    record Server(String name, String address, long ip, short connectionPort, int players,
            int maxPlayers, boolean password, int ping, boolean secure, short queryPort,
            String tags) {
    }

    /** Every callback in order: "UserStatsReceived_t", "join <text>", "server <name>", "failed", "complete". */
    final List<String> events = new ArrayList<>();
    final List<Server> servers = new ArrayList<>();
    final List<String> joins = new ArrayList<>();

    @Override
    public void UserStatsReceived_t() {
        events.add("UserStatsReceived_t");
    }

    @Override
    public void GameRichPresenceJoinRequested_t(String connect) {
        events.add("join " + connect);
        joins.add(connect);
    }

    @Override
    public void ServerResponded(String name, String address, long ip, short connectionPort,
            int players, int maxPlayers, boolean password, int ping, boolean secure,
            short queryPort, String tags) {
        events.add("server " + name);
        servers.add(new Server(name, address, ip, connectionPort, players, maxPlayers, password,
                ping, secure, queryPort, tags));
    }

    @Override
    public void ServerFailedToRespond() {
        events.add("failed");
    }

    @Override
    public void RefreshComplete() {
        events.add("complete");
    }

    long count(String event) {
        return events.stream().filter(event::equals).count();
    }
}
