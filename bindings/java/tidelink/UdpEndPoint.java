// The library's 8-byte endpoint record as JNA lays it out.
package tidelink;

import com.sun.jna.Structure;

/**
 * address (uint32) at 0, port (uint16) at 4, two reserved bytes at 6, in host
 * byte order. Java has no unsigned types: the port's 16 bits sit in a short
 * (a char would be a 4-byte wchar_t to JNA). Only the ByValue form may be
 * passed where the C call takes the record by value; the plain form is a
 * pointer.
 */
@Structure.FieldOrder({"address", "port", "reserved"})
public class UdpEndPoint extends Structure {
    public int address;
    public short port;
    public short reserved;

    public static class ByValue extends UdpEndPoint implements Structure.ByValue {
        public ByValue() {}

        /**
         * Written to native memory once, here; JNA's write before every call
         * costs more than the call itself, so it is turned off and the fields
         * must not change afterwards.
         */
        public ByValue(int address, int port) {
            this.address = address;
            this.port = (short) port;
            write();
            setAutoWrite(false);
        }
    }
}
