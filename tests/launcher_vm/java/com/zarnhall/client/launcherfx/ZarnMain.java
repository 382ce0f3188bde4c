package com.zarnhall.client.launcherfx;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.lang.reflect.Field;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

/**
 * Stands in for the game client in the launcher's end-to-end tests. It writes
 * what it received to the file named by TESSVIK_TEST_REPORT (UTF-8, one item
 * a line), then behaves as TESSVIK_TEST_MODE asks:
 * return (default), throw, handler (installs an uncaught-exception handler,
 * then throws), exit3, thread (leaves a non-daemon thread running), crash
 * (the VM dies of a segmentation fault). A path in TESSVIK_TEST_BLOCK becomes
 * a directory that is not empty before main ends, so nothing can be written
 * there.
 */
public final class ZarnMain {

    private ZarnMain() {
    }

    public static void main(String[] args) throws Exception {
        String reportPath = System.getenv("TESSVIK_TEST_REPORT");
        if (reportPath != null && !reportPath.isEmpty()) {
            Files.write(Paths.get(reportPath), report(args), StandardCharsets.UTF_8);
        }
        String block = System.getenv("TESSVIK_TEST_BLOCK");
        if (block != null && !block.isEmpty()) {
            Files.createDirectories(Paths.get(block));
            Files.write(Paths.get(block, "blocker"), new byte[1]);
        }
        String mode = System.getenv("TESSVIK_TEST_MODE");
        if (mode == null) {
            mode = "return";
        }
        switch (mode) {
            case "throw":
                throw new IllegalStateException("thrown by main");
            case "handler":
                Thread.setDefaultUncaughtExceptionHandler(
                    (thread, error) -> System.out.println("handled in " + thread.getName() + ": " + error));
                throw new IllegalStateException("thrown by main");
            case "exit3":
                System.exit(3);
                break;
            case "crash":
                Field field = Class.forName("sun.misc.Unsafe").getDeclaredField("theUnsafe");
                field.setAccessible(true);
                ((sun.misc.Unsafe) field.get(null)).putAddress(0L, 0L);
                break;
            case "thread":
                Thread worker = new Thread(() -> {
                    try {
                        Thread.sleep(700);
                    } catch (InterruptedException e) {
                        Thread.currentThread().interrupt();
                    }
                    System.out.println("worker done");
                });
                worker.setDaemon(false);
                worker.start();
                System.out.println("main returns");
                break;
            default:
                System.out.println("main returns");
                break;
        }
    }

    private static List<String> report(String[] args) throws IOException {
        List<String> lines = new ArrayList<>();
        for (String arg : args) {
            StringBuilder line = new StringBuilder("arg");
            arg.codePoints().forEach(cp -> line.append(' ').append(Integer.toHexString(cp)));
            lines.add(line.toString());
        }
        for (String input : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            lines.add("input " + input);
        }
        String[] properties = {"java.class.path", "workdir", "java.library.path", "user.dir"};
        for (String name : properties) {
            lines.add("property " + name + "=" + System.getProperty(name));
        }
        lines.add("console " + (System.console() != null));
        return lines;
    }
}
