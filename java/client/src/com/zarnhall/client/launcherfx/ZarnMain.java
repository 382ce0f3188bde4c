package com.zarnhall.client.launcherfx;

import java.lang.management.ManagementFactory;
import java.util.List;

/**
 * The sample game client. It shows what the launcher handed over: the
 * command-line arguments, the VM options, and the class path, working
 * directory and native library path derived from the game's directory tree.
 */
public final class ZarnMain {

    private ZarnMain() {
    }

    public static void main(String[] args) {
        System.out.println("ZarnMain started with " + args.length + " argument(s):");
        for (int i = 0; i < args.length; i++) {
            System.out.println("  [" + i + "] \"" + args[i] + "\" " + codePoints(args[i]));
        }

        List<String> inputArguments = ManagementFactory.getRuntimeMXBean().getInputArguments();
        System.out.println("VM input arguments (" + inputArguments.size() + "):");
        for (String argument : inputArguments) {
            System.out.println("  " + argument);
        }

        printProperty("java.class.path");
        printProperty("workdir");
        printProperty("java.library.path");

        SteamTour.run();
    }

    /** The text's Unicode code points as U+XXXX, separated by blanks. */
    static String codePoints(String text) {
        StringBuilder out = new StringBuilder();
        text.codePoints().forEach(cp -> {
            if (out.length() > 0) {
                out.append(' ');
            }
            out.append(String.format("U+%04X", cp));
        });
        return out.toString();
    }

    private static void printProperty(String name) {
        System.out.println(name + " = " + System.getProperty(name));
    }
}
