package quellink.services;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * StartZarnDedicatedServerProcess on POSIX, in a JVM of its own whose HOME and PATH
 * point into a temporary directory. Scripts stand in for the machine's Steam
 * ($PATH/steam) and the user's ($HOME/.steam/root/steam.sh) and record the arguments
 * they were started with.
 */
class DedicatedServerTest {
    static final String MACHINE_LINE =
            "Failed to fetch steam exe path from : HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve\\Steam";
    static final String USER_LINE =
            "Failed to fetch steam exe path from : HKEY_CURRENT_USER\\SOFTWARE\\Valve\\Steam";

    @TempDir
    Path root;
    Path home;
    Path bin;
    String address;

    @BeforeEach
    void layout() throws IOException {
        home = Files.createDirectories(root.resolve("home"));
        bin = Files.createDirectories(root.resolve("bin"));
        address = "steam://rungameid/" + System.getProperty("quellink.dedicatedServerAppId");
    }

    @Test
    @DisplayName("with both Steams, the machine's is started with the address alone, without a word")
    void bothFound() throws Exception {
        Path machine = recorder(bin.resolve("steam"));
        Path user = recorder(home.resolve(".steam/root/steam.sh"));
        assertEquals(List.of("started=true"), launch());
        assertEquals(List.of("1", address), recorded(machine));
        assertFalse(Files.exists(recordOf(user)));
    }

    @Test
    @DisplayName("with only the user's Steam, one line names HKEY_LOCAL_MACHINE and the launch goes ahead")
    void onlyUsers() throws Exception {
        Path user = recorder(home.resolve(".steam/root/steam.sh"));
        assertEquals(List.of(MACHINE_LINE, "started=true"), launch());
        assertEquals(List.of("1", address), recorded(user));
    }

    @Test
    @DisplayName("with neither, two lines and false")
    void neither() throws Exception {
        assertEquals(List.of(MACHINE_LINE, USER_LINE, "started=false"), launch());
    }

    /** Runs DedicatedServerLaunch under -Xcheck:jni; its standard output, line by line. */
    private List<String> launch() throws Exception {
        Path java = Path.of(System.getProperty("java.home"), "bin", "java");
        ProcessBuilder builder = new ProcessBuilder(java.toString(), "-Xcheck:jni",
                "-Dquellink.library=" + System.getProperty("quellink.library"),
                "-cp", System.getProperty("java.class.path"),
                DedicatedServerLaunch.class.getName());
        Map<String, String> env = builder.environment();
        env.clear();
        env.put("HOME", home.toString());
        env.put("PATH", bin.toString());
        Path err = root.resolve("launch.err");
        builder.redirectError(err.toFile());
        Process process = builder.start();
        String out = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(process.waitFor(60, TimeUnit.SECONDS), "the launch did not end");
        String errors = Files.readString(err);
        assertEquals(0, process.exitValue(), "exit status; standard error:\n" + errors);
        assertFalse(errors.contains("WARNING") || errors.contains("FATAL"), errors);
        return out.lines().toList();
    }

    /** A script that records its argument count and arguments, one a line. */
    private Path recorder(Path at) throws IOException {
        Files.createDirectories(at.getParent());
        Path record = recordOf(at);
        Files.writeString(at, "#!/bin/sh\nPATH=/usr/bin:/bin\n"
                + "printf '%s\\n' \"$#\" \"$@\" > '" + record + ".part'\n"
                + "mv '" + record + ".part' '" + record + "'\n");
        Files.setPosixFilePermissions(at, PosixFilePermissions.fromString("rwxr-xr-x"));
        return at;
    }

    private static Path recordOf(Path script) {
        return Path.of(script + ".record");
    }

    /** What the script recorded; it runs detached, so wait for it a little. */
    private static List<String> recorded(Path script) throws Exception {
        Path record = recordOf(script);
        for (int i = 0; i < 500 && !Files.exists(record); i++) {
            Thread.sleep(10);
        }
        assertTrue(Files.exists(record), script + " was not started");
        return Files.readAllLines(record);
    }
}
