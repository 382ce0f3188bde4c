package com.zarnhall.client.launcherfx;

/** A client that returns at once: what is measured is the start and end of the VM. */
public final class ZarnMain {
    private ZarnMain() {
    }

    public static void main(String[] args) {
    }
}
