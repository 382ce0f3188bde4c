package com.zarnhall.testagent;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;

/**
 * A Java agent that appends one line to the file its option names each time a
 * VM starts with it: the tests count the VMs that ran the game's agent.
 */
public final class LineAgent {

    private LineAgent() {
    }

    public static void premain(String file) throws IOException {
        Files.write(Paths.get(file),
            ("premain " + ProcessHandle.current().pid() + "\n").getBytes(StandardCharsets.UTF_8),
            StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    }
}
