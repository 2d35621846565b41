// The eleven exports of libtidelink_android, called through the JNI library
// libtidelink_jni, and the loading of both.
package io.github.tidelink;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.net.URL;
import java.nio.ByteBuffer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Properties;

/**
 * Raw calls. Handles are the record's address in a long (0 for none):
 * nothing here stops a double close or a call on a closed handle, which
 * {@link UdpSocket} does. Buffers are direct, with a byte offset; endpoints
 * go in as two ints and come out in an int[2], address then port. The calls
 * that can fail with a system error answer a long: the result in the low 32
 * bits and, after -1, the errno the call left in the high 32 bits (EINTR when
 * a signal interrupted the wait).
 */
final class TidelinkNative {
    static final String LIBRARY = "tidelink_android";
    static final String JNI_LIBRARY = "tidelink_jni";
    static final String PATH_PROPERTY = "tidelink.library";

    static {
        String folder = resourceFolder();
        String named = System.getProperty(PATH_PROPERTY);
        if (named != null) System.load(new File(named).getAbsolutePath());
        else if (!loadShipped(folder, LIBRARY)) System.loadLibrary(LIBRARY);
        // Its dependency on libtidelink_android.so is met by the copy loaded
        // above, whatever file that came from: the loader matches the SONAME.
        if (!loadShipped(folder, JNI_LIBRARY)) System.loadLibrary(JNI_LIBRARY);
    }

    private TidelinkNative() {}

    /**
     * The jar's folder for this JVM's platform, named as JNA names them, but
     * chosen by os.arch from the jar's folders.properties (written from the
     * project's architecture table): JNA itself names 32-bit hard-float ARM
     * linux-arm upstream and linux-armhf in Debian's build. Null without a
     * jar's table, and on Android, where the app's own jniLibs hold both
     * libraries.
     */
    private static String resourceFolder() {
        if ("dalvik".equalsIgnoreCase(System.getProperty("java.vm.name"))) return null;
        if (!"Linux".equals(System.getProperty("os.name"))) return null;
        Properties folders = new Properties();
        try (InputStream in = TidelinkNative.class.getResourceAsStream("folders.properties")) {
            if (in == null) return null;
            folders.load(in);
        } catch (IOException e) {
            return null;
        }
        return folders.getProperty(System.getProperty("os.arch"));
    }

    /**
     * Loads the jar's copy of a library, unpacked to a temporary file that is
     * deleted once mapped; false when the jar has none for this platform or
     * it could not be unpacked, leaving the system's copy as the last resort.
     */
    private static boolean loadShipped(String folder, String name) {
        if (folder == null) return false;
        URL shipped = TidelinkNative.class.getResource("/" + folder + "/" + System.mapLibraryName(name));
        if (shipped == null) return false;
        try {
            if ("file".equals(shipped.getProtocol())) {
                System.load(new File(shipped.toURI()).getAbsolutePath());
                return true;
            }
            Path copy = Files.createTempFile(name, ".so");
            try (InputStream in = shipped.openStream()) {
                Files.copy(in, copy, StandardCopyOption.REPLACE_EXISTING);
                System.load(copy.toAbsolutePath().toString());
            } finally {
                Files.delete(copy);
            }
            return true;
        } catch (IOException | URISyntaxException e) {
            return false;
        }
    }

    static native long udpCreate();

    static native long udpBind(long handle, int address, int port);

    static native int udpGetEndPoint(long handle, int[] out);

    static native int udpLastError(long handle);

    static native long udpSendTo(long handle, ByteBuffer buffer, int offset, int length, int address, int port);

    /** Writes the sender into sender only when a datagram came. */
    static native long udpRecvFrom(long handle, ByteBuffer buffer, int offset, int size, int[] sender);

    static native long udpRecvPoll(long handle, int timeout);

    static native int udpClose(long handle);

    static native String udpPlatform();

    static native String udpPlatformErrorString(int error);

    /** Unsigned milliseconds in an int. */
    static native int udpGetHighPrecisionTime();
}
