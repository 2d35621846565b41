// An IPv4 endpoint as Java code holds it: immutable, port 0 to 65535.
package tidelink;

import java.net.Inet4Address;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.UnknownHostException;

public final class Endpoint {
    public static final int LOOPBACK = 0x7F000001;
    public static final int ANY = 0;

    private final int address;
    private final int port;
    private volatile UdpEndPoint.ByValue record;

    /** address in host byte order (127.0.0.1 is 0x7F000001); port 0 to 65535. */
    public Endpoint(int address, int port) {
        if (port < 0 || port > 0xFFFF) throw new IllegalArgumentException("port " + port);
        this.address = address;
        this.port = port;
    }

    public static Endpoint loopback(int port) {
        return new Endpoint(LOOPBACK, port);
    }

    public static Endpoint of(InetSocketAddress socketAddress) {
        InetAddress ip = socketAddress.getAddress();
        if (!(ip instanceof Inet4Address)) throw new IllegalArgumentException("not IPv4: " + socketAddress);
        byte[] b = ip.getAddress();
        return new Endpoint((b[0] & 0xFF) << 24 | (b[1] & 0xFF) << 16 | (b[2] & 0xFF) << 8 | (b[3] & 0xFF),
                            socketAddress.getPort());
    }

    /** The address's 32 bits, host byte order. */
    public int address() {
        return address;
    }

    public int port() {
        return port;
    }

    public InetSocketAddress toInetSocketAddress() {
        byte[] b = {(byte) (address >>> 24), (byte) (address >>> 16), (byte) (address >>> 8), (byte) address};
        try {
            return new InetSocketAddress(InetAddress.getByAddress(b), port);
        } catch (UnknownHostException e) {
            throw new AssertionError(e);  // four bytes are always an address
        }
    }

    /** The record to pass by value, made and written once per endpoint. */
    UdpEndPoint.ByValue record() {
        UdpEndPoint.ByValue r = record;
        if (r == null) record = r = new UdpEndPoint.ByValue(address, port);
        return r;
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
