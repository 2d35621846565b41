// A failed call, with the system's error number and its text.
package tidelink;

import java.net.SocketException;

public class UdpException extends SocketException {
    private static final long serialVersionUID = 1L;
    private final int errorNumber;

    public UdpException(String call, int errorNumber) {
        super(call + ": " + Platform.errorString(errorNumber) + " (errno " + errorNumber + ")");
        this.errorNumber = errorNumber;
    }

    /** errno as udpLastError reports it: 11 (EAGAIN) for an empty queue on Linux. */
    public int errorNumber() {
        return errorNumber;
    }
}
