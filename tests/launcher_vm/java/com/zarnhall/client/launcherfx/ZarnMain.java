package com.zarnhall.client.launcherfx;

import java.io.File;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.lang.management.ManagementFactory;
import java.lang.reflect.Field;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ThreadLocalRandom;

/**
 * Stands in for the game client in the launcher's end-to-end tests. It writes
 * what it received to the file named by TESSVIK_TEST_REPORT (UTF-8, one item
 * a line), then behaves as TESSVIK_TEST_MODE asks:
 * return (default), throw, handler (installs an uncaught-exception handler,
 * then throws), exit3, thread (leaves a non-daemon thread running), or
 * steps joined by '+' (see step).
 * A path in TESSVIK_TEST_BLOCK (or, for "@Name", the file the VM option
 * -XX:Name= names) becomes a directory that is not empty before main ends,
 * so nothing can be written there.
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
        if (block != null && block.startsWith("@")) {
            String option = "-XX:" + block.substring(1) + "=";
            for (String input : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
                if (input.startsWith(option)) block = input.substring(option.length());
            }
        }
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
            case "thread":
                worker(() -> {
                    sleep(700);
                    System.out.println("worker done");
                });
                System.out.println("main returns");
                break;
            default:
                for (String step : mode.split("\\+")) {
                    step(step);
                }
                break;
        }
    }

    /**
     * One step of a run: hook (a shutdown hook that prints), exit4, halt5,
     * workerExit6 (another thread calls System.exit a little later), workerThrow, workerCrash
     * (another thread crashes the VM a little later), oom, overflow, depth
     * (prints how deep main's recursion got, up to a million), sigterm (another process sends
     * SIGTERM), native and nativeExit7 (a thread of the native library
     * attaches to the VM and calls back), blockedCrash (the allocator of the
     * preloaded native library blocks, then the VM crashes), crash (the VM
     * dies of a segmentation fault), sleep (a minute), nap (two seconds), chain
     * (see chain), library (prints "library " and the text of the class
     * com.zarnhall.testlib.Version, from whichever jar of the class path holds
     * it), options (sun.java.command, whether java.lang is open to the client
     * and a splash screen shown, the module options the VM took); anything
     * else prints "main returns".
     */
    private static void step(String step) throws Exception {
        switch (step) {
            case "hook":
                Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook runs")));
                break;
            case "exit4":
                System.exit(4);
                break;
            case "halt5":
                Runtime.getRuntime().halt(5);
                break;
            case "workerExit6":
                worker(() -> {
                    sleep(300);
                    System.exit(6);
                });
                break;
            case "workerThrow":
                worker(() -> {
                    throw new IllegalStateException("thrown by worker");
                }).join();
                break;
            case "workerCrash":
                worker(() -> {
                    sleep(300);
                    crash();
                });
                break;
            case "oom":
                List<long[]> hoard = new ArrayList<>();
                while (true) {
                    hoard.add(new long[1 << 20]);
                }
            case "overflow":
                recurse(0, Integer.MAX_VALUE);
                break;
            case "depth":
                try {
                    recurse(0, 1_000_000);
                } catch (StackOverflowError e) {
                    // reached the end of the stack
                }
                System.out.println("depth " + depth);
                break;
            case "sigterm":
                new ProcessBuilder("kill", "-TERM", Long.toString(ProcessHandle.current().pid()))
                    .start().waitFor();
                sleep(60_000);
                break;
            case "native":
            case "nativeExit7":
                System.load(System.getenv("TESSVIK_TEST_NATIVE"));
                startAttachedThread(step.equals("nativeExit7"));
                break;
            case "blockedCrash":
                System.load(System.getenv("TESSVIK_TEST_NATIVE"));
                crashWithAllocatorBlocked();
                break;
            case "crash":
                crash();
                break;
            case "sleep":
                sleep(60_000);
                break;
            case "nap":
                sleep(2_000);
                break;
            case "chain":
                chain();
                break;
            case "library":
                Object text = Class.forName("com.zarnhall.testlib.Version").getMethod("text").invoke(null);
                System.out.println("library " + text);
                break;
            case "options":
                System.out.println("command " + System.getProperty("sun.java.command") + ", java.lang open "
                    + Object.class.getModule().isOpen("java.lang", ZarnMain.class.getModule()) + ", splash " + splash());
                ManagementFactory.getRuntimeMXBean().getInputArguments().stream()
                    .filter(input -> input.startsWith("--")).forEach(System.out::println);
                break;
            default:
                System.out.println("main returns");
                break;
        }
    }

    private static int depth;

    // No caught type is java.awt's: a runtime without java.desktop runs the other modes.
    private static String splash() {
        try {
            return java.awt.SplashScreen.getSplashScreen() != null ? "shown" : "none";
        } catch (UnsupportedOperationException headless) {
            return "headless";
        }
    }

    /**
     * One launch of a restart loop. It appends "n status" to the file
     * TESSVIK_TEST_CHAIN names (n counting the launches so far), starts the
     * program TESSVIK_TEST_NEXT names, detached, from a shutdown hook and
     * after a random pause of up to 300 ms, unless n reached
     * TESSVIK_TEST_CHAIN_LENGTH, and ends with status 3 (System.exit) every
     * third launch and 0 (main returns) otherwise. Launch n+1 writes its
     * output to "<chain file>-<n+1>.out" and its status to that name plus
     * ".status".
     */
    private static void chain() throws IOException {
        Path chain = Paths.get(System.getenv("TESSVIK_TEST_CHAIN"));
        int length = Integer.parseInt(System.getenv("TESSVIK_TEST_CHAIN_LENGTH"));
        int launch;
        int status;
        try (FileChannel file = FileChannel.open(chain, StandardOpenOption.CREATE,
                 StandardOpenOption.READ, StandardOpenOption.WRITE);
             FileLock lock = file.lock()) {
            launch = Files.readAllLines(chain).size() + 1;
            status = launch % 3 == 0 ? 3 : 0;
            file.position(file.size());
            file.write(StandardCharsets.UTF_8.encode(launch + " " + status + "\n"));
        }
        if (launch < length) {
            String pause = String.format("%.3f", ThreadLocalRandom.current().nextInt(301) / 1000.0);
            String out = chain + "-" + (launch + 1) + ".out";
            ProcessBuilder next = new ProcessBuilder("sh", "-c",
                "sleep \"$1\"; \"$2\" >\"$3\" 2>&1; echo $? >\"$3.status\"", "sh", pause,
                System.getenv("TESSVIK_TEST_NEXT"), out)
                .redirectInput(ProcessBuilder.Redirect.from(new File("/dev/null")))
                .redirectOutput(ProcessBuilder.Redirect.DISCARD)
                .redirectError(ProcessBuilder.Redirect.DISCARD);
            Runtime.getRuntime().addShutdownHook(new Thread(() -> {
                try {
                    next.start();
                } catch (IOException e) {
                    throw new UncheckedIOException(e);
                }
            }));
        }
        if (status != 0) {
            System.exit(status);
        }
    }

    // One line, so that every frame of a stack overflow's trace is alike.
    private static void recurse(int reached, int limit) { depth = reached; if (reached < limit) recurse(reached + 1, limit); }

    /** Called by the native library's attached thread. */
    static void fromNative(boolean exit) {
        sleep(300);
        System.out.println("native thread done");
        if (exit) {
            System.exit(7);
        }
    }

    private static native void startAttachedThread(boolean exit);

    private static native void crashWithAllocatorBlocked();

    private static Thread worker(Runnable body) {
        Thread worker = new Thread(body, "worker");
        worker.setDaemon(false);
        worker.start();
        return worker;
    }

    private static void sleep(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static Object theUnsafe() throws ReflectiveOperationException {
        Field field = Class.forName("sun.misc.Unsafe").getDeclaredField("theUnsafe");
        field.setAccessible(true);
        return field.get(null);
    }

    private static void crash() {
        try {
            ((sun.misc.Unsafe) theUnsafe()).putAddress(0L, 0L);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException(e);
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
        String[] properties = {"java.class.path", "workdir", "java.library.path", "user.dir",
            "sun.java.command"};
        for (String name : properties) {
            lines.add("property " + name + "=" + System.getProperty(name));
        }
        lines.add("console " + (System.console() != null));
        return lines;
    }
}
