// An IPv4 datagram socket over one library handle, closed exactly once.
package tidelink;

import com.sun.jna.Memory;
import com.sun.jna.Native;
import com.sun.jna.Pointer;
import java.net.SocketException;
import java.nio.ByteBuffer;
import java.nio.channels.ClosedChannelException;
import java.util.concurrent.TimeUnit;

/**
 * The library lets no two calls on one handle overlap, so every method holds
 * the socket's lock; a closed socket throws {@link ClosedChannelException}
 * instead of handing the library a freed handle. Direct ByteBuffers go to the
 * library as they are; heap buffers pass through the socket's own native
 * scratch memory (only the bytes sent or received are copied).
 */
public final class UdpSocket implements AutoCloseable {
    private static final int EINTR = 4;
    private static final int EAGAIN = 11;

    private Pointer handle;
    private final Memory endpointOut = new Memory(8);
    private Memory scratch = new Memory(2048);
    private ByteBuffer lastDirect;
    private Pointer lastDirectBase;

    public UdpSocket() throws SocketException {
        handle = TidelinkNative.udpCreate();
        if (handle == null) throw new SocketException("udpCreate: the system refused a socket or memory for it");
    }

    /** Binds (port 0: the system's choice); the socket is then non-blocking. */
    public synchronized void bind(Endpoint local) throws java.io.IOException {
        Pointer h = live();
        if (TidelinkNative.udpBind(h, local.record()) != 0) throw failure("udpBind", h);
    }

    /** The bound endpoint; 0.0.0.0:0 before a bind. */
    public synchronized Endpoint localEndpoint() throws ClosedChannelException {
        TidelinkNative.udpGetEndPoint(live(), endpointOut);
        return readEndpoint();
    }

    /** The error number of the last failed bind, send or receive; 0 if none. */
    public synchronized int lastError() throws ClosedChannelException {
        return TidelinkNative.udpLastError(live());
    }

    /** Sends the buffer's remaining bytes as one datagram and advances its position by the count sent. */
    public synchronized int send(ByteBuffer src, Endpoint target) throws java.io.IOException {
        Pointer h = live();
        int length = src.remaining();
        Pointer data;
        if (src.isDirect()) {
            data = directAt(src);
        } else {
            data = scratch(length);
            if (src.hasArray()) data.write(0, src.array(), src.arrayOffset() + src.position(), length);
            else for (int i = 0; i < length; i++) data.setByte(i, src.get(src.position() + i));
        }
        int sent = TidelinkNative.udpSendTo(h, data, length, target.record());
        if (sent < 0) throw failure("udpSendTo", h);
        src.position(src.position() + sent);
        return sent;
    }

    /**
     * Takes one datagram into the buffer's remaining space (the rest of a
     * longer one is lost), advances its position and answers the sender; null
     * when the queue is empty, as a non-blocking DatagramChannel answers.
     */
    public synchronized Endpoint receive(ByteBuffer dst) throws java.io.IOException {
        Pointer h = live();
        if (dst.isReadOnly()) throw new java.nio.ReadOnlyBufferException();
        int size = dst.remaining();
        Pointer target = dst.isDirect() ? directAt(dst) : scratch(size);
        int count = TidelinkNative.udpRecvFrom(h, target, size, endpointOut);
        if (count < 0) {
            int errorNumber = TidelinkNative.udpLastError(h);
            if (errorNumber == EAGAIN) return null;
            throw new UdpException("udpRecvFrom", errorNumber);
        }
        if (!dst.isDirect()) {
            if (dst.hasArray()) target.read(0, dst.array(), dst.arrayOffset() + dst.position(), count);
            else for (int i = 0; i < count; i++) dst.put(dst.position() + i, target.getByte(i));
        }
        dst.position(dst.position() + count);
        return readEndpoint();
    }

    /**
     * Waits up to timeoutMs for a datagram: true when one is there, false when
     * the time ran out. A signal that interrupts the wait does not end it early.
     */
    public synchronized boolean poll(int timeoutMs) throws java.io.IOException {
        if (timeoutMs < 0) throw new IllegalArgumentException("timeoutMs " + timeoutMs);
        Pointer h = live();
        long start = System.nanoTime();
        int left = timeoutMs;
        while (true) {
            int result = TidelinkNative.udpRecvPoll(h, left);
            if (result == 0) return true;
            if (result == -3) return false;
            int errorNumber = Native.getLastError();
            if (errorNumber != EINTR) throw new UdpException("udpRecvPoll", errorNumber);
            // Rounded down, so the wait never ends early. After an interrupted
            // zero wait the time is up.
            if (left == 0) return false;
            long elapsed = TimeUnit.NANOSECONDS.toMillis(System.nanoTime() - start);
            left = (int) Math.max(0, timeoutMs - elapsed);
        }
    }

    /** Closes once; later calls do nothing. Throws if the system's close failed (the handle is gone either way). */
    @Override
    public synchronized void close() throws UdpException {
        Pointer h = handle;
        if (h == null) return;
        handle = null;
        int result = TidelinkNative.udpClose(h);
        if (result != 0) throw new UdpException("udpClose", result);
    }

    public synchronized boolean isClosed() {
        return handle == null;
    }

    private Pointer live() throws ClosedChannelException {
        if (handle == null) throw new ClosedChannelException();
        return handle;
    }

    private UdpException failure(String call, Pointer h) {
        return new UdpException(call, TidelinkNative.udpLastError(h));
    }

    private Endpoint readEndpoint() {
        return new Endpoint(endpointOut.getInt(0), Short.toUnsignedInt(endpointOut.getShort(4)));
    }

    private Pointer scratch(int size) {
        if (scratch.size() < size) scratch = new Memory(Math.max(size, 1));
        return scratch;
    }

    // JNA's pointer is the buffer's start, not its position.
    private Pointer directAt(ByteBuffer buffer) {
        if (buffer != lastDirect) {
            lastDirectBase = Native.getDirectBufferPointer(buffer);
            lastDirect = buffer;
        }
        return buffer.position() == 0 ? lastDirectBase : lastDirectBase.share(buffer.position());
    }
}
