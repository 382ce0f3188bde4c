package tinyquest;

/** A game team's own main class, named in [Game]: it hands on to the test client. */
public final class Main {
    public static void main(String[] args) throws Exception {
        com.zarnhall.client.launcherfx.ZarnMain.main(args);
    }
}
