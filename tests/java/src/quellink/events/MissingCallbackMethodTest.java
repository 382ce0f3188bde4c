package quellink.events;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static quellink.events.SimulatedSteam.GAME_SERVER_KEYS;
import static quellink.events.SimulatedSteam.start;

import Pellux.Steam_api;
import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.InvocationTargetException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.SteamGeneration;

/**
 * A receiver whose class lacks one of the callback methods. Steam_api declares all
 * five, so the receiver's class here extends Steam_api's own class file with
 * UserStatsReceived_t renamed, defined by a class loader of its own and served by a
 * copy of the bridge loaded for that loader (the VM binds a native library to one
 * class loader only). Both copies of the bridge drive the same simulated Steam client.
 */
class MissingCallbackMethodTest extends SimulatedSteamTest {
    private static final String MISSING = "UserStatsReceived_t";

    /** Records the server-list calls. */
    public static class StatslessApi extends Steam_api {
        public final List<String> events = new ArrayList<>();

        @Override
        public void ServerResponded(String name, String address, long ip, short connectionPort,
                int players, int maxPlayers, boolean password, int ping, boolean secure,
                short queryPort, String tags) {
            events.add("server " + name);
        }

        @Override
        public void ServerFailedToRespond() {
            events.add("failed");
        }

        @Override
        public void RefreshComplete() {
            events.add("complete");
        }
    }

    /** Loads a library for the classes of the loader that defined it. */
    public static final class LibraryLoader {
        public static void load(String path) {
            System.load(path);
        }
    }

    /** Defines Steam_api without the method, and the two classes above, itself. */
    private static final class IsolatingLoader extends ClassLoader {
        IsolatingLoader() {
            super(MissingCallbackMethodTest.class.getClassLoader());
        }

        @Override
        protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
            boolean own = name.equals(Steam_api.class.getName()) || name.equals(StatslessApi.class.getName())
                    || name.equals(LibraryLoader.class.getName());
            if (!own) {
                return super.loadClass(name, resolve);
            }
            synchronized (getClassLoadingLock(name)) {
                Class<?> loaded = findLoadedClass(name);
                if (loaded == null) {
                    byte[] bytes = classFile(name);
                    if (name.equals(Steam_api.class.getName())) {
                        renameMethod(bytes, MISSING);
                    }
                    loaded = defineClass(name, bytes, 0, bytes.length);
                }
                return loaded;
            }
        }

        private byte[] classFile(String name) {
            try (InputStream in = getParent().getResourceAsStream(name.replace('.', '/') + ".class")) {
                return in.readAllBytes();
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
        }
    }

    /** Renames the method in the class file's constant pool, keeping the name's length. */
    private static void renameMethod(byte[] classFile, String method) {
        byte[] name = method.getBytes(StandardCharsets.US_ASCII);
        int found = 0;
        for (int i = 0; i + name.length <= classFile.length; i++) {
            if (Arrays.equals(classFile, i, i + name.length, name, 0, name.length)) {
                Arrays.fill(classFile, i, i + name.length, (byte) 'x');
                found++;
            }
        }
        assertEquals(1, found, "the method's name in Steam_api.class");
    }

    private static Object call(Object receiver, String method) throws Exception {
        return receiver.getClass().getMethod(method).invoke(receiver);
    }

    @Test
    @DisplayName("a receiver without UserStatsReceived_t: CreateCallback raises NoSuchMethodError, the server list still arrives")
    void receiverWithoutOneMethod() throws Exception {
        SteamGeneration.current().assumeWorking("RequestInternetServerList");
        start(api, "[servers.internet.1]\n" + GAME_SERVER_KEYS + "name = S1\nip = 10.0.0.1\nport = 27015\n"
                + "[servers.internet.2]\n" + GAME_SERVER_KEYS + "ip = 10.0.0.2\nport = 27015\nresponds = false\n");
        IsolatingLoader loader = new IsolatingLoader();
        Path library = Path.of(System.getProperty("quellink.library"));
        Path copy = Files.createTempDirectory("quellink-copy").resolve(library.getFileName());
        try {
            Files.copy(library, copy);
            loader.loadClass(LibraryLoader.class.getName()).getMethod("load", String.class)
                    .invoke(null, copy.toString());
        } finally {
            Files.deleteIfExists(copy);  // loaded by now
            Files.deleteIfExists(copy.getParent());
        }
        Object receiver = loader.loadClass(StatslessApi.class.getName()).getConstructor().newInstance();

        InvocationTargetException raised = assertThrows(InvocationTargetException.class,
                () -> call(receiver, "CreateCallback"));
        assertInstanceOf(NoSuchMethodError.class, raised.getCause());
        assertTrue(raised.getCause().getMessage().contains(MISSING), raised.getCause().getMessage());
        try {
            assertEquals(1L, call(receiver, "RequestInternetServerList"));
            // The receiver's own copy of the library asks: where Steam has no such
            // request, that copy posts the event itself.
            assertEquals(true, call(receiver, "RequestCurrentStats"),
                    "a statistics event for a receiver without its method");
            call(receiver, "SteamAPI_RunCallbacks");
            call(receiver, "SteamAPI_RunCallbacks");
            @SuppressWarnings("unchecked")
            List<String> events = (List<String>) receiver.getClass().getField("events").get(receiver);
            assertEquals(List.of("server S1", "failed", "complete"), events);
            if (SteamGeneration.current().requestCurrentStats) {
                assertTrue(SimulatedSteam.calls().stream().anyMatch(c -> c.startsWith("=> UserStatsReceived_t")),
                        "the statistics event was delivered: " + SimulatedSteam.calls());
            }
        } finally {
            call(receiver, "DeleteCallback");
        }
    }
}
