package com.zarnhall.client.steam;

/**
 * A Steam session authentication ticket, as {@code Pellux.Steam_api.GetAuthSessionTicket}
 * hands it out.
 *
 * <p>The bridge builds it through the constructor of JNI signature {@code (J[BJ)V}:
 * the ticket handle, the whole 1024-byte ticket buffer and the number of bytes Steam
 * wrote into it. Steam's unsigned 32-bit handle and length arrive with zero upper
 * bits, so both are 0 to 4294967295 and never negative. A request that Steam refused
 * still yields a ticket: its handle is {@link #INVALID_HANDLE} and its length 0.
 */
public class SteamAuthTicket {
    /** Steam's handle for "no ticket". */
    public static final long INVALID_HANDLE = 0L;

    /** Size of the buffer the bridge hands over, whatever the ticket's length. */
    public static final int BUFFER_SIZE = 1024;

    /** The ticket's handle, to be given back to {@code CancelAuthTicket}. */
    public final long handle;

    /** The buffer Steam filled; the ticket is its first {@link #length} bytes. */
    public final byte[] buffer;

    /** The number of ticket bytes at the start of {@link #buffer}. */
    public final long length;

    public SteamAuthTicket(long handle, byte[] buffer, long length) {
        this.handle = handle;
        this.buffer = buffer;
        this.length = length;
    }

    /** True when Steam made a ticket: a valid handle and at least one byte. */
    public boolean isValid() {
        return handle != INVALID_HANDLE && length > 0;
    }

    /** The ticket bytes alone, a copy of the first {@link #length} bytes of the buffer. */
    public byte[] ticketBytes() {
        int n = (int) Math.max(0, Math.min(length, buffer == null ? 0 : buffer.length));
        byte[] out = new byte[n];
        if (n > 0) {
            System.arraycopy(buffer, 0, out, 0, n);
        }
        return out;
    }

    @Override
    public String toString() {
        return "SteamAuthTicket[handle=" + handle + ", length=" + length + "]";
    }
}
