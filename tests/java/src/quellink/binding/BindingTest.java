package quellink.binding;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import Pellux.Steam_api;
import com.zarnhall.client.steam.SteamAuthTicket;
import java.lang.reflect.Constructor;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.Function;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Nested;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;
import quellink.harness.ExportTable;
import quellink.harness.ExportTable.Kind;
import quellink.harness.ExportTable.Row;
import quellink.harness.Quellink;
import quellink.harness.SimControl;
import quellink.harness.SteamGeneration;

/**
 * Pellux.Steam_api against libQuellink.so: the Java declarations match the export
 * table, every landed native binds by name, the interface exports give their failure
 * values while Steam is down, and the lifecycle exports reach Steam. Runs against the
 * simulator (with its call log) and against Valve's library with no Steam client, of
 * each generation.
 */
class BindingTest {
    static final SteamGeneration GENERATION = Quellink.generation();

    static Steam_api api;

    @BeforeAll
    static void loadBridge() {
        Quellink.load();
        api = new Steam_api();
    }

    @BeforeEach
    void steamStopped() {
        if (Quellink.simulated()) {
            SimControl.reset();
        }
    }

    @AfterEach
    void stopSteam() {
        api.SteamAPI_ShutDown();
    }

    @Nested
    @DisplayName("Java declarations")
    class Declarations {
        @Test
        @DisplayName("the natives of Steam_api are the 33 names of exports.map, one method each")
        void nativesMatchTheExportTable() {
            List<Method> natives = Arrays.stream(Steam_api.class.getDeclaredMethods())
                    .filter(m -> Modifier.isNative(m.getModifiers())).toList();
            Set<String> names = natives.stream().map(Method::getName)
                    .collect(Collectors.toCollection(TreeSet::new));
            assertEquals(natives.size(), names.size(), "a native method is overloaded");
            assertEquals(33, names.size());
            assertEquals(new TreeSet<>(Quellink.allExports()), names, "exports.map");
            assertEquals(names, ExportTable.rows().stream().map(r -> r.name)
                    .collect(Collectors.toCollection(TreeSet::new)), "ExportTable");
            for (Method m : natives) {
                assertTrue(Modifier.isPublic(m.getModifiers()), m.getName() + " is not public");
                assertFalse(Modifier.isStatic(m.getModifiers()), m.getName() + " is static");
            }
            assertTrue(Quellink.allExports().containsAll(Quellink.landedExports()),
                    "exports.txt names a method that is not exported");
            assertEquals(Quellink.allExports(), Quellink.landedExports(),
                    "every one of the 33 natives has landed");
        }

        @Test
        @DisplayName("the shutdown native is spelled ShutDown, so it binds to ..._SteamAPI_1ShutDown")
        void shutdownSpelling() {
            assertEquals("Java_Pellux_Steam_1api_SteamAPI_1ShutDown",
                    Quellink.jniName("SteamAPI_ShutDown"));
            assertTrue(Quellink.allExports().contains("SteamAPI_ShutDown"));
            assertFalse(Quellink.allExports().contains("SteamAPI_Shutdown"));
        }

        @Test
        @DisplayName("the five callback methods have the JNI signatures the bridge looks up")
        void callbackSignatures() throws Exception {
            Map<String, String> expected = Map.of(
                    "UserStatsReceived_t", "()V",
                    "GameRichPresenceJoinRequested_t", "(Ljava/lang/String;)V",
                    "ServerResponded", "(Ljava/lang/String;Ljava/lang/String;JSIIZIZSLjava/lang/String;)V",
                    "ServerFailedToRespond", "()V",
                    "RefreshComplete", "()V");
            for (Map.Entry<String, String> e : expected.entrySet()) {
                List<Method> found = Arrays.stream(Steam_api.class.getDeclaredMethods())
                        .filter(m -> m.getName().equals(e.getKey())).toList();
                assertEquals(1, found.size(), e.getKey());
                Method m = found.get(0);
                assertEquals(e.getValue(), descriptor(m.getParameterTypes(), m.getReturnType()), e.getKey());
                int mods = m.getModifiers();
                assertTrue(Modifier.isPublic(mods) && !Modifier.isStatic(mods)
                        && !Modifier.isFinal(mods) && !Modifier.isNative(mods),
                        e.getKey() + " must be a public, overridable instance method");
            }
            // Doing nothing by default: a plain Steam_api accepts every callback.
            api.UserStatsReceived_t();
            api.GameRichPresenceJoinRequested_t("+connect 1:2?Q3?V4");
            api.ServerResponded("n", "1.2.3.4:5", 16909060L, (short) 5, 1, 2, false, 3, true,
                    (short) 6, "");
            api.ServerFailedToRespond();
            api.RefreshComplete();
        }

        @Test
        @DisplayName("SteamAuthTicket has the (J[BJ)V constructor the bridge calls")
        void ticketConstructor() throws Exception {
            Constructor<SteamAuthTicket> c =
                    SteamAuthTicket.class.getConstructor(long.class, byte[].class, long.class);
            assertEquals("(J[BJ)V", descriptor(c.getParameterTypes(), void.class));
            byte[] buffer = new byte[SteamAuthTicket.BUFFER_SIZE];
            buffer[0] = 7;
            buffer[233] = 9;
            buffer[234] = 1;
            SteamAuthTicket t = c.newInstance(4294967295L, buffer, 234L);
            assertEquals(4294967295L, t.handle);
            assertEquals(234L, t.length);
            assertEquals(1024, t.buffer.length);
            byte[] bytes = t.ticketBytes();
            assertEquals(234, bytes.length);
            assertEquals(9, bytes[233]);
            assertTrue(t.isValid());
            assertFalse(new SteamAuthTicket(0L, buffer, 0L).isValid());
        }
    }

    @TestFactory
    @DisplayName("landed natives bind by name; the others are not exported yet")
    Stream<DynamicTest> binding() {
        Set<String> landed = Quellink.landedExports();
        return ExportTable.rows().stream().map(r ->
                DynamicTest.dynamicTest(r.name, () -> {
                    if (landed.contains(r.name)) {
                        Object result = r.probe.apply(api);  // UnsatisfiedLinkError fails
                        if (r.kind != Kind.LIFECYCLE) {
                            assertEquals(r.failureValue, result, r.name);
                        }
                    } else {
                        assertThrows(UnsatisfiedLinkError.class, () -> r.probe.apply(api),
                                r.name + " is exported but not listed in exports.txt");
                    }
                }));
    }

    @TestFactory
    @DisplayName("before SteamAPI_Init, interface exports give their failure value and call no Steam function")
    Stream<DynamicTest> failureValuesBeforeInit() {
        return interfaceRows().map(r -> DynamicTest.dynamicTest(r.name, () -> {
            assertFailsWithoutSteamCall(r, r.probe);
        }));
    }

    @TestFactory
    @DisplayName("after SteamAPI_ShutDown (or a failed start), interface exports give their failure value again")
    Stream<DynamicTest> failureValuesAfterShutDown() {
        return interfaceRows().map(r -> DynamicTest.dynamicTest(r.name, () -> {
            boolean started = api.SteamAPI_Init();
            assertEquals(Quellink.simulated(), started);
            api.SteamAPI_ShutDown();
            assertFailsWithoutSteamCall(r, r.probe);
        }));
    }

    @TestFactory
    @DisplayName("with Steam running, a null String gives the failure value and calls no Steam function")
    Stream<DynamicTest> nullStrings() {
        return interfaceRows().filter(r -> r.nullStrings != null).map(r ->
                DynamicTest.dynamicTest(r.name, () -> {
                    assumeTrue(Quellink.simulated(), "needs a running Steam");
                    assertTrue(api.SteamAPI_Init());
                    assertFailsWithoutSteamCall(r, r.nullStrings);
                }));
    }

    @TestFactory
    @DisplayName("with Steam running on a library that lacks their interface in any known version,"
            + " natives give their failure value and call no Steam function")
    Stream<DynamicTest> withoutInterface() {
        return GENERATION.withoutSteam.stream().map(ExportTable::row)
                .map(r -> DynamicTest.dynamicTest(r.name, () -> {
                    assumeTrue(Quellink.simulated(), "needs a running Steam");
                    assertTrue(api.SteamAPI_Init());
                    api.CreateCallback();  // else the server lists would start nothing anyway
                    try {
                        assertFailsWithoutSteamCall(r, r.probe);
                    } finally {
                        api.DeleteCallback();
                    }
                }));
    }

    @Nested
    @DisplayName("lifecycle against the simulator")
    class SimulatedLifecycle {
        @BeforeEach
        void simulatorOnly() {
            assumeTrue(Quellink.simulated(), "needs the simulator");
        }

        @Test
        @DisplayName("SteamAPI_Init reaches the library's start-up, asking for the interface versions bound,"
                + " and returns its answer")
        void init() {
            SimControl.clearLog();
            assertTrue(api.SteamAPI_Init());
            assertEquals(List.of(GENERATION.startUp), SimControl.steamCalls().stream()
                    .map(SimControl::functionOf).toList(), "the one start-up call");
            String call = SimControl.callsTo(GENERATION.startUp).get(0);
            if (GENERATION.versionCheck) {
                assertEquals("\"" + String.join(",", GENERATION.interfaceVersions) + "\"",
                        SimControl.argument(call, "versions"), call);
            }
            api.SteamAPI_ShutDown();

            SimControl.loadScenario("[steam]\ninit = no_client\n");
            assertFalse(api.SteamAPI_Init());
        }

        @Test
        @DisplayName("SteamAPI_Init fails when Steam lacks one of the interface versions")
        void initVersionMismatch() {
            assumeTrue(GENERATION.versionCheck, "the library of this generation checks no versions");
            for (String missing : GENERATION.interfaceVersions) {
                List<String> offered = new java.util.ArrayList<>(GENERATION.interfaceVersions);
                offered.remove(missing);
                SimControl.loadScenario("[steam]\ninterfaces = " + String.join(",", offered) + "\n");
                assertFalse(api.SteamAPI_Init(), "started without " + missing);
            }
        }

        @Test
        @DisplayName("SteamAPI_RestartAppIfNecessary passes the int's 32 bits and returns Steam's answer")
        void restart() {
            SimControl.clearLog();
            assertFalse(api.SteamAPI_RestartAppIfNecessary(-1));
            assertFalse(api.SteamAPI_RestartAppIfNecessary(480));
            List<String> calls = SimControl.callsTo("SteamAPI_RestartAppIfNecessary");
            assertEquals(2, calls.size(), SimControl.callLog().toString());
            assertEquals("4294967295", SimControl.argument(calls.get(0), "app"), calls.get(0));
            assertEquals("480", SimControl.argument(calls.get(1), "app"), calls.get(1));

            SimControl.loadScenario("[steam]\nrestart = true\n");
            assertTrue(api.SteamAPI_RestartAppIfNecessary(480));
        }

        @Test
        @DisplayName("SteamAPI_RunCallbacks and SteamAPI_ShutDown reach Steam once each")
        void pumpAndShutDown() {
            assertTrue(api.SteamAPI_Init());
            SimControl.clearLog();
            api.SteamAPI_RunCallbacks();
            api.SteamAPI_ShutDown();
            assertEquals(List.of("SteamAPI_RunCallbacks", "SteamAPI_Shutdown"),
                    SimControl.callLog().stream().map(SimControl::functionOf).toList());
        }
    }

    @Nested
    @DisplayName("lifecycle against Valve's library with no Steam client")
    class ValveLifecycle {
        @BeforeEach
        void valveOnly() {
            assumeTrue(Quellink.valve(), "needs Valve's library");
        }

        @Test
        @DisplayName("SteamAPI_Init returns false; the pump and shutdown are harmless")
        void initFails() {
            assertFalse(api.SteamAPI_Init());
            api.SteamAPI_RunCallbacks();
            api.SteamAPI_ShutDown();
            api.SteamAPI_ShutDown();
        }

        @Test
        @DisplayName("SteamAPI_RestartAppIfNecessary(0) returns false")
        void restartForNoApp() {
            assertFalse(api.SteamAPI_RestartAppIfNecessary(0));
        }
    }

    private static Stream<Row> interfaceRows() {
        return ExportTable.landed().stream().filter(r -> r.kind == Kind.INTERFACE);
    }

    private static void assertFailsWithoutSteamCall(Row r, Function<Steam_api, Object> call) {
        if (Quellink.simulated()) {
            SimControl.clearLog();
        }
        assertEquals(r.failureValue, call.apply(api), r.name);
        if (Quellink.simulated()) {
            assertEquals(List.of(), SimControl.steamCalls(), r.name + " called Steam");
        }
    }

    private static String descriptor(Class<?>[] params, Class<?> result) {
        StringBuilder sb = new StringBuilder("(");
        for (Class<?> p : params) {
            sb.append(descriptor(p));
        }
        return sb.append(')').append(descriptor(result)).toString();
    }

    private static String descriptor(Class<?> c) {
        if (c.isArray()) {
            return c.getName().replace('.', '/');
        }
        if (!c.isPrimitive()) {
            return "L" + c.getName().replace('.', '/') + ";";
        }
        return switch (c.getName()) {
            case "void" -> "V";
            case "boolean" -> "Z";
            case "byte" -> "B";
            case "char" -> "C";
            case "short" -> "S";
            case "int" -> "I";
            case "long" -> "J";
            case "float" -> "F";
            case "double" -> "D";
            default -> throw new IllegalArgumentException(c.getName());
        };
    }
}
