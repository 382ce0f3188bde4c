package quellink.bench;

/** Natives of the benchmark's own library (libbridge_call_bench.so). */
final class NoOpNatives {
    private NoOpNatives() {
    }

    /** Finds the Steam library that Quellink loaded, given its path. */
    static native boolean bindSteamLibrary(String path);

    static native boolean nothing();

    static native int nothingWithString(String text);

    static native int readString(String text);

    static native boolean directOverlayNeedsPresent();

    static native void clearSimulatorLog();
}
