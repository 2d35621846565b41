// The calls that need no handle.
package io.github.tidelink;

/** The platform's name, its error texts and its millisecond clock. */
public final class Platform {
    private Platform() {}

    /**
     * The platform the library was written for.
     *
     * @return "android"
     */
    public static String name() {
        return TidelinkNative.udpPlatform();
    }

    /**
     * The system's text for an error number.
     *
     * @param errorNumber a system error number, as {@link UdpException#errorNumber} gives it
     * @return the system's text for it
     */
    public static String errorString(int errorNumber) {
        return TidelinkNative.udpPlatformErrorString(errorNumber);
    }

    /**
     * The library's clock.
     *
     * @return monotonic milliseconds, 0 to 2^32-1, wrapping: elapsed time is
     *     (later - earlier) &amp; 0xFFFFFFFFL
     */
    public static long milliseconds() {
        return Integer.toUnsignedLong(TidelinkNative.udpGetHighPrecisionTime());
    }
}
