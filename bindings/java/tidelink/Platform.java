// The calls that need no handle.
package tidelink;

public final class Platform {
    private Platform() {}

    /** "android". */
    public static String name() {
        return TidelinkNative.udpPlatform();
    }

    public static String errorString(int errorNumber) {
        return TidelinkNative.udpPlatformErrorString(errorNumber);
    }

    /** Monotonic milliseconds, 0 to 2^32-1, wrapping: elapsed is (later - earlier) &amp; 0xFFFFFFFFL. */
    public static long milliseconds() {
        return Integer.toUnsignedLong(TidelinkNative.udpGetHighPrecisionTime());
    }
}
