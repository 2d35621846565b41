// An IPv4 endpoint as Java code holds it: immutable, port 0 to 65535.
package io.github.tidelink;

import java.net.Inet4Address;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.UnknownHostException;

/** An IPv4 address and port, as the library's calls take and answer them. */
public final class Endpoint {
    /** 127.0.0.1 in host byte order. */
    public static final int LOOPBACK = 0x7F000001;
    /** 0.0.0.0: binding to it takes every local address. */
    public static final int ANY = 0;

    private final int address;
    private final int port;

    /**
     * An endpoint of an IPv4 address and a port.
     *
     * @param address the 32 bits in host byte order (127.0.0.1 is 0x7F000001)
     * @param port 0 to 65535
     * @throws IllegalArgumentException for a port outside that range
     */
    public Endpoint(int address, int port) {
        if (port < 0 || port > 0xFFFF) throw new IllegalArgumentException("port " + port);
        this.address = address;
        this.port = port;
    }

    /**
     * An endpoint on the loopback address.
     *
     * @param port 0 to 65535
     * @return 127.0.0.1 with that port
     */
    public static Endpoint loopback(int port) {
        return new Endpoint(LOOPBACK, port);
    }

    /**
     * The endpoint of one of the JDK's socket addresses.
     *
     * @param socketAddress a resolved IPv4 address and port
     * @return the same endpoint
     * @throws IllegalArgumentException when the address is not IPv4 or not resolved
     */
    public static Endpoint of(InetSocketAddress socketAddress) {
        InetAddress ip = socketAddress.getAddress();
        if (!(ip instanceof Inet4Address)) throw new IllegalArgumentException("not IPv4: " + socketAddress);
        byte[] b = ip.getAddress();
        return new Endpoint((b[0] & 0xFF) << 24 | (b[1] & 0xFF) << 16 | (b[2] & 0xFF) << 8 | (b[3] & 0xFF),
                            socketAddress.getPort());
    }

    /**
     * The address.
     *
     * @return its 32 bits, host byte order
     */
    public int address() {
        return address;
    }

    /**
     * The port.
     *
     * @return 0 to 65535
     */
    public int port() {
        return port;
    }

    /**
     * The same endpoint as the JDK's sockets take it.
     *
     * @return an InetSocketAddress of its address and port
     */
    public InetSocketAddress toInetSocketAddress() {
        byte[] b = {(byte) (address >>> 24), (byte) (address >>> 16), (byte) (address >>> 8), (byte) address};
        try {
            return new InetSocketAddress(InetAddress.getByAddress(b), port);
        } catch (UnknownHostException e) {
            throw new AssertionError(e);  // four bytes are always an address
        }
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof Endpoint && ((Endpoint) other).address == address && ((Endpoint) other).port == port;
    }

    @Override
    public int hashCode() {
        return address * 31 + port;
    }

    @Override
    public String toString() {
        return (address >>> 24) + "." + (address >>> 16 & 0xFF) + "." + (address >>> 8 & 0xFF) + "."
            + (address & 0xFF) + ":" + port;
    }
}
