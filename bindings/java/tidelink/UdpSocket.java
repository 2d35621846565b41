// An IPv4 datagram socket over one library handle, closed exactly once.
package tidelink;

import com.sun.jna.Memory;
import com.sun.jna.Native;
import com.sun.jna.Pointer;
import java.net.SocketException;
import java.nio.ByteBuffer;
import java.nio.channels.ClosedChannelException;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * The library leaves calls on one handle to the host to serialise: every
 * method but {@link #poll} holds the socket's lock, as they share the
 * handle's last error and the socket's scratch memory; the wait stores no
 * error, so it holds none and may run beside them. {@link #close} returns at
 * once from any thread: no call starts after it, and the library frees the
 * handle when the last call in flight returns; a wait in flight ends at its
 * own time-out, so the port stays bound until then. A closed socket throws
 * {@link ClosedChannelException}. Direct ByteBuffers go to the library as
 * they are; heap buffers pass through the socket's own native scratch memory
 * (only the bytes sent or received are copied).
 */
public final class UdpSocket implements AutoCloseable {
    private static final int EINTR = 4;
    private static final int EAGAIN = 11;
    // In state: the count of calls in flight, and this bit once close() is asked for.
    private static final int CLOSED = 1 << 30;

    private final Pointer handle;
    private final AtomicInteger state = new AtomicInteger();
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
        Pointer h = enter();
        try {
            if (TidelinkNative.udpBind(h, local.record()) != 0) throw failure("udpBind", h);
        } finally {
            leave();
        }
    }

    /** The bound endpoint; 0.0.0.0:0 before a bind. */
    public synchronized Endpoint localEndpoint() throws ClosedChannelException {
        Pointer h = enter();
        try {
            TidelinkNative.udpGetEndPoint(h, endpointOut);
        } finally {
            leave();
        }
        return readEndpoint();
    }

    /** The error number of the last failed bind, send or receive; 0 if none. */
    public synchronized int lastError() throws ClosedChannelException {
        Pointer h = enter();
        try {
            return TidelinkNative.udpLastError(h);
        } finally {
            leave();
        }
    }

    /** Sends the buffer's remaining bytes as one datagram and advances its position by the count sent. */
    public synchronized int send(ByteBuffer src, Endpoint target) throws java.io.IOException {
        int length = src.remaining();
        Pointer data;
        if (src.isDirect()) {
            data = directAt(src);
        } else {
            data = scratch(length);
            if (src.hasArray()) data.write(0, src.array(), src.arrayOffset() + src.position(), length);
            else for (int i = 0; i < length; i++) data.setByte(i, src.get(src.position() + i));
        }
        int sent;
        Pointer h = enter();
        try {
            sent = TidelinkNative.udpSendTo(h, data, length, target.record());
            if (sent < 0) throw failure("udpSendTo", h);
        } finally {
            leave();
        }
        src.position(src.position() + sent);
        return sent;
    }

    /**
     * Takes one datagram into the buffer's remaining space (the rest of a
     * longer one is lost), advances its position and answers the sender; null
     * when the queue is empty, as a non-blocking DatagramChannel answers.
     */
    public synchronized Endpoint receive(ByteBuffer dst) throws java.io.IOException {
        if (dst.isReadOnly()) throw new java.nio.ReadOnlyBufferException();
        int size = dst.remaining();
        Pointer target = dst.isDirect() ? directAt(dst) : scratch(size);
        int count, errorNumber = 0;
        Pointer h = enter();
        try {
            count = TidelinkNative.udpRecvFrom(h, target, size, endpointOut);
            if (count < 0) errorNumber = TidelinkNative.udpLastError(h);
        } finally {
            leave();
        }
        if (count < 0) {
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
     * the time ran out. A signal that interrupts the wait does not end it
     * early, except after a close() on another thread: then it throws
     * {@link ClosedChannelException} rather than wait again.
     */
    public boolean poll(int timeoutMs) throws java.io.IOException {
        if (timeoutMs < 0) throw new IllegalArgumentException("timeoutMs " + timeoutMs);
        Pointer h = enter();
        try {
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
                if (isClosed()) throw new ClosedChannelException();
                long elapsed = TimeUnit.NANOSECONDS.toMillis(System.nanoTime() - start);
                left = (int) Math.max(0, timeoutMs - elapsed);
            }
        } finally {
            leave();
        }
    }

    /**
     * Returns at once, from any thread; later calls do nothing. With calls in
     * flight, the library closes the handle when the last of them returns, and
     * a failure of that close goes unreported; otherwise it closes here, and
     * this throws if the system's close failed (the handle is gone either way).
     */
    @Override
    public void close() throws UdpException {
        int before = state.getAndUpdate(s -> s | CLOSED);
        if (before != 0) return;  // closed already, or the last call in flight closes it
        int result = TidelinkNative.udpClose(handle);
        if (result != 0) throw new UdpException("udpClose", result);
    }

    public boolean isClosed() {
        return (state.get() & CLOSED) != 0;
    }

    // After close() the handle is freed, or will be by the last call in
    // flight: no new call may reach the library with it.
    private Pointer enter() throws ClosedChannelException {
        while (true) {
            int s = state.get();
            if ((s & CLOSED) != 0) throw new ClosedChannelException();
            if (state.compareAndSet(s, s + 1)) return handle;
        }
    }

    private void leave() {
        // close() has returned already: nobody is left to tell of a failure.
        if (state.decrementAndGet() == CLOSED) TidelinkNative.udpClose(handle);
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
