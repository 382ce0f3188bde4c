package quellink.services;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.zarnhall.client.steam.SteamAuthTicket;
import java.util.List;
import org.junit.jupiter.api.DisplayName;
import org.junit.jupiter.api.Test;
import quellink.harness.Quellink;
import quellink.harness.SimControl;

/** Log-on state, Steam ID and session tickets against the simulated Steam client. */
class IdentityTest extends RunningSteam {
    @Test
    @DisplayName("IsSteamUserLoggedOn gives Steam's answer")
    void loggedOn() {
        RunningSteam.start(api, "[steam]\nlogged_on = true\n");
        assertTrue(api.IsSteamUserLoggedOn());
        api.SteamAPI_ShutDown();
        RunningSteam.start(api, "[steam]\nlogged_on = false\n");
        assertFalse(api.IsSteamUserLoggedOn());
        assertEquals(List.of("SteamAPI_ISteamUser_BLoggedOn"), RunningSteam.functions());
    }

    @Test
    @DisplayName("a 234-byte ticket comes in a 1024-byte array, zero after its length")
    void ticketBuffer() {
        RunningSteam.start(api, "[ticket]\nfirst_handle = 5\nlength = 234\n");
        SteamAuthTicket ticket = api.GetAuthSessionTicket();
        assertNotNull(ticket);
        assertEquals(5L, ticket.handle);
        assertEquals(234L, ticket.length);
        assertEquals(1024, ticket.buffer.length);
        for (int i = 0; i < 1024; i++) {
            // The simulator's ticket without data is the bytes 1, 2, 3, ...
            byte expected = i < 234 ? (byte) (i + 1) : 0;
            assertEquals(expected, ticket.buffer[i], "byte " + i);
        }
        // Without an identity: none where the library's function has no such parameter
        // (SDK 1.57 and older), a null one elsewhere.
        String identity = Quellink.generation().ticketIdentity ? " identity=null" : "";
        assertEquals(List.of("SteamAPI_ISteamUser_GetAuthSessionTicket ticket=set capacity=1024"
                + " length=set" + identity), RunningSteam.calls());
    }

    @Test
    @DisplayName("the ticket bytes arrive as Steam wrote them")
    void ticketBytes() {
        RunningSteam.start(api, "[ticket]\ndata = 14 00 00 00 a1 ff\nlength = 6\n");
        SteamAuthTicket ticket = api.GetAuthSessionTicket();
        assertEquals(6L, ticket.length);
        assertEquals(List.of((byte) 0x14, (byte) 0, (byte) 0, (byte) 0, (byte) 0xa1, (byte) 0xff),
                toList(ticket.ticketBytes()));
    }

    @Test
    @DisplayName("handles of 2147483648 and more arrive as positive longs")
    void wideHandles() {
        RunningSteam.start(api, "[ticket]\nfirst_handle = 4294967294\nlength = 4\n");
        assertEquals(4294967294L, api.GetAuthSessionTicket().handle);
        assertEquals(4294967295L, api.GetAuthSessionTicket().handle);
        api.SteamAPI_ShutDown();
        RunningSteam.start(api, "[ticket]\nfirst_handle = 2147483648\nlength = 4\n");
        assertEquals(2147483648L, api.GetAuthSessionTicket().handle);
    }

    @Test
    @DisplayName("a refused ticket still gives an object: handle 0, length 0, all zero")
    void refusedTicket() {
        RunningSteam.start(api, "[ticket]\nrefuse = true\n");
        SteamAuthTicket ticket = api.GetAuthSessionTicket();
        assertNotNull(ticket);
        assertEquals(SteamAuthTicket.INVALID_HANDLE, ticket.handle);
        assertEquals(0L, ticket.length);
        assertEquals(1024, ticket.buffer.length);
        for (byte b : ticket.buffer) {
            assertEquals(0, b);
        }
    }

    @Test
    @DisplayName("CancelAuthTicket passes the low 32 bits of the handle")
    void cancelLow32Bits() {
        RunningSteam.start(api, "[ticket]\nfirst_handle = 3000000000\nlength = 4\n");
        long handle = api.GetAuthSessionTicket().handle;
        SimControl.clearLog();
        api.CancelAuthTicket(handle);
        api.CancelAuthTicket(0x7_0000_0009L);
        // An int handle, as a caller holding the 32 bits in an int passes it.
        int asInt = (int) handle;
        api.CancelAuthTicket(asInt);
        assertEquals(List.of(
                "SteamAPI_ISteamUser_CancelAuthTicket ticket=3000000000",
                "SteamAPI_ISteamUser_CancelAuthTicket ticket=9",
                "SteamAPI_ISteamUser_CancelAuthTicket ticket=3000000000"),
                RunningSteam.calls());
    }

    @Test
    @DisplayName("the Steam ID prints unsigned, also with its top bit set")
    void steamIdText() {
        for (String id : List.of("76561197960287930", "9223372036854775808",
                "18446744073709551615", "0")) {
            RunningSteam.start(api, "[steam]\nsteam_id = " + id + "\n");
            assertEquals(id, api.GetCSteamIDString());
            assertEquals(List.of("SteamAPI_ISteamUser_GetSteamID"), RunningSteam.functions());
            api.SteamAPI_ShutDown();
        }
    }

    private static List<Byte> toList(byte[] bytes) {
        Byte[] boxed = new Byte[bytes.length];
        for (int i = 0; i < bytes.length; i++) {
            boxed[i] = bytes[i];
        }
        return List.of(boxed);
    }
}
