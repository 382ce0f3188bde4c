package tinyquest;

import com.zarnhall.client.launcherfx.ZarnMain;

/** A game team's own main class, named in [Game]: it hands on to the test client. */
public final class Main {

    private Main() {
    }

    public static void main(String[] args) throws Exception {
        ZarnMain.main(args);
    }
}
