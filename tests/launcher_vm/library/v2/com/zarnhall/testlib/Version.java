package com.zarnhall.testlib;

/** A library of the test game, in two versions: a patch replaces one by the other. */
public final class Version {
    private Version() {
    }

    public static String text() {
        return "2";
    }
}
