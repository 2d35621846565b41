// A failed call, with the system's error number and its text.
package io.github.tidelink;

import java.net.SocketException;

/** A library call that failed, with the system's error number. */
public class UdpException extends SocketException {
    /** The serial form's version. */
    private static final long serialVersionUID = 1L;
    /** The system's error number. */
    private final int errorNumber;

    /**
     * A failed library call.
     *
     * @param call the library call that failed
     * @param errorNumber the system's error number
     */
    public UdpException(String call, int errorNumber) {
        super(call + ": " + Platform.errorString(errorNumber) + " (errno " + errorNumber + ")");
        this.errorNumber = errorNumber;
    }

    /**
     * The error number of the failed call.
     *
     * @return errno as udpLastError reports it: 11 (EAGAIN) for an empty queue on Linux
     */
    public int errorNumber() {
        return errorNumber;
    }
}
