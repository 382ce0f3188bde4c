package quellink.harness;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Collections;
import java.util.LinkedHashSet;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * What a suite knows about the bridge under test, from the system properties that
 * its CTest entry sets:
 * <ul>
 * <li>{@code quellink.library} – the libQuellink.so to load, staged beside the Steam
 *     library the suite runs against;</li>
 * <li>{@code quellink.steam} – {@code sim} (the simulated Steam client, controllable
 *     through {@link SimControl}) or {@code valve} (Valve's library, no Steam client);</li>
 * <li>{@code quellink.generation} – the generation of that library ({@link SteamGeneration});</li>
 * <li>{@code quellink.exportsMap} – the version script that lists the 33 export names,
 *     which the build makes from bridge/exports.txt;</li>
 * <li>{@code quellink.landedExports} – bridge/exports.txt, the Java method names that
 *     Quellink exports.</li>
 * </ul>
 */
public final class Quellink {
    private static boolean loaded;

    private Quellink() {
    }

    /** Loads libQuellink.so once per JVM, by full path. */
    public static synchronized void load() {
        if (!loaded) {
            System.load(property("quellink.library"));
            loaded = true;
        }
    }

    /** True when the suite runs against the simulated Steam client. */
    public static boolean simulated() {
        return "sim".equals(property("quellink.steam"));
    }

    /** True when the suite runs against Valve's library with no Steam client. */
    public static boolean valve() {
        return "valve".equals(property("quellink.steam"));
    }

    /** The generation of the Steam library the suite runs against. */
    public static SteamGeneration generation() {
        return SteamGeneration.current();
    }

    /** The 33 Java method names that exports.map exports, in its order. */
    public static Set<String> allExports() {
        Pattern jniName = Pattern.compile("^\\s*Java_Pellux_Steam_1api_(\\w+)\\s*;");
        Set<String> names = new LinkedHashSet<>();
        for (String line : lines(property("quellink.exportsMap"))) {
            Matcher m = jniName.matcher(line);
            if (m.find()) {
                names.add(m.group(1).replace("_1", "_"));
            }
        }
        return Collections.unmodifiableSet(names);
    }

    /** The Java method names that bridge/exports.txt lists. */
    public static Set<String> landedExports() {
        Set<String> names = new LinkedHashSet<>();
        for (String line : lines(property("quellink.landedExports"))) {
            String name = line.strip();
            if (!name.isEmpty() && !name.startsWith("#")) {
                names.add(name);
            }
        }
        return Collections.unmodifiableSet(names);
    }

    /** The JNI short name of a Pellux.Steam_api method: "_" inside a name is "_1". */
    public static String jniName(String javaMethod) {
        return "Java_Pellux_Steam_1api_" + javaMethod.replace("_", "_1");
    }

    static String property(String name) {
        String value = System.getProperty(name);
        if (value == null || value.isEmpty()) {
            throw new IllegalStateException("system property " + name + " is not set;"
                    + " run the suite through CTest (add_bridge_java_suite)");
        }
        return value;
    }

    private static java.util.List<String> lines(String file) {
        try {
            return Files.readAllLines(Path.of(file));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
