// The eleven exports of libtidelink_android, declared exactly, through JNA's
// direct mapping (the cheapest way JNA calls C).
package tidelink;

import com.sun.jna.Native;
import com.sun.jna.NativeLibrary;
import com.sun.jna.Pointer;
import java.io.File;
import java.io.IOException;
import java.net.URL;

/**
 * Raw declarations. Handles are opaque {@link Pointer}s: nothing here stops a
 * double close or a call on a closed handle, which {@link UdpSocket} does.
 * Results are signed 32-bit ints; the clock is unsigned, so read it with
 * {@link Integer#toUnsignedLong}. The out endpoints of udpGetEndPoint and
 * udpRecvFrom are pointers to 8 bytes laid out as {@link UdpEndPoint}.
 */
public final class TidelinkNative {
    /** The name a host loads: libtidelink_android.so, in jniLibs/&lt;abi&gt;/ on Android. */
    public static final String LIBRARY = "tidelink_android";
    /** The system property that names the library's file, to load it before anything else. */
    public static final String PATH_PROPERTY = "tidelink.library";

    static {
        Native.register(TidelinkNative.class, open());
    }

    private TidelinkNative() {}

    /**
     * The file the host names in {@link #PATH_PROPERTY}; else the copy this
     * binding's jar carries for the platform, under JNA's resource folder for
     * it (linux-x86-64/ and the like); else the system loader's, by name.
     * JNA's own search asks the system first, hence the explicit order.
     */
    private static NativeLibrary open() {
        String named = System.getProperty(PATH_PROPERTY);
        if (named != null) return NativeLibrary.getInstance(new File(named).getAbsolutePath());
        ClassLoader loader = TidelinkNative.class.getClassLoader();
        URL shipped = loader.getResource(com.sun.jna.Platform.RESOURCE_PREFIX + "/" + System.mapLibraryName(LIBRARY));
        if (shipped != null) {
            try {
                File file = Native.extractFromResourcePath(LIBRARY, loader);
                NativeLibrary library = NativeLibrary.getInstance(file.getAbsolutePath());
                // A copy unpacked from a jar is mapped now and needed no more on
                // disk, as JNA does with its own; a class folder's file stays.
                if (!"file".equals(shipped.getProtocol())) file.delete();
                return library;
            } catch (IOException e) {
                // Not unpacked: the system's copy, if any, is the last resort.
            }
        }
        return NativeLibrary.getInstance(LIBRARY);
    }

    public static native Pointer udpCreate();

    public static native int udpBind(Pointer handle, UdpEndPoint.ByValue endpoint);

    public static native int udpGetEndPoint(Pointer handle, Pointer out);

    public static native int udpLastError(Pointer handle);

    public static native int udpSendTo(Pointer handle, Pointer buffer, int length, UdpEndPoint.ByValue endpoint);

    public static native int udpRecvFrom(Pointer handle, Pointer buffer, int size, Pointer sender);

    /** After -1, {@link Native#getLastError()} holds errno: EINTR when a signal interrupted the wait. */
    public static native int udpRecvPoll(Pointer handle, int timeout);

    public static native int udpClose(Pointer handle);

    /** A static string; JNA copies it and frees nothing. */
    public static native String udpPlatform();

    /** The C library's text, copied by JNA before the next call can replace it. */
    public static native String udpPlatformErrorString(int error);

    /** Unsigned milliseconds in an int. */
    public static native int udpGetHighPrecisionTime();
}
