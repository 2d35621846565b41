// An IPv4 datagram socket over one library handle, closed exactly once.
package io.github.tidelink;

import java.net.SocketException;
import java.nio.ByteBuffer;
import java.nio.channels.ClosedChannelException;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * Calls may overlap from several threads, as a DatagramChannel's may: one
 * thread sending while others receive or poll. No call takes a lock: each
 * failure carries the errno its own call left, and each receive fills the
 * calling thread's own memory. {@link #close} returns at once from any thread: no call starts after it, and the library frees the
 * handle when the last call in flight returns; a wait in flight ends at its
 * own time-out, so the port stays bound until then. A closed socket throws
 * {@link ClosedChannelException}. Direct ByteBuffers go to the library as
 * they are; heap buffers pass through the socket's own direct scratch buffer
 * (only the bytes sent or received are copied).
 */
public final class UdpSocket implements AutoCloseable {
    private static final int EINTR = 4;
    private static final int EAGAIN = 11;
    // In state: the count of calls in flight, and this bit once close() is asked for.
    private static final int CLOSED = 1 << 30;

    // The sender's two ints and the direct buffer that heap buffers pass
    // through: per thread, as a thread makes one call at a time, whichever socket.
    private static final ThreadLocal<Scratch> SCRATCH = ThreadLocal.withInitial(Scratch::new);

    private final long handle;
    private final AtomicInteger state = new AtomicInteger();

    /**
     * An IPv4 datagram socket, not yet bound.
     *
     * @throws SocketException when the system refuses a socket or memory for it
     */
    public UdpSocket() throws SocketException {
        handle = TidelinkNative.udpCreate();
        if (handle == 0) throw new SocketException("udpCreate: the system refused a socket or memory for it");
    }

    /**
     * Binds (port 0: the system's choice); the socket is then non-blocking.
     *
     * @param local the address ({@link Endpoint#ANY} for all) and port to bind
     * @throws java.io.IOException {@link UdpException} when the system
     *     refuses, e.g. EADDRINUSE; {@link ClosedChannelException} after {@link #close}
     */
    public void bind(Endpoint local) throws java.io.IOException {
        long h = enter();
        try {
            long answer = TidelinkNative.udpBind(h, local.address(), local.port());
            if ((int) answer != 0) throw failure("udpBind", answer);
        } finally {
            leave();
        }
    }

    /**
     * The endpoint the socket is bound to.
     *
     * @return the bound endpoint; 0.0.0.0:0 before a bind
     * @throws ClosedChannelException after {@link #close}
     */
    public Endpoint localEndpoint() throws ClosedChannelException {
        int[] out = new int[2];
        long h = enter();
        try {
            TidelinkNative.udpGetEndPoint(h, out);
        } finally {
            leave();
        }
        return new Endpoint(out[0], out[1]);
    }

    /**
     * The socket's last stored error.
     *
     * @return the error number of the last failed bind, send or receive; 0 if
     *     none; with several threads on the socket, possibly another thread's
     * @throws ClosedChannelException after {@link #close}
     */
    public int lastError() throws ClosedChannelException {
        long h = enter();
        try {
            return TidelinkNative.udpLastError(h);
        } finally {
            leave();
        }
    }

    /**
     * Sends the buffer's remaining bytes as one datagram and advances its position by the count sent.
     *
     * @param src the datagram, from its position to its limit
     * @param target where to send it
     * @return the bytes sent
     * @throws java.io.IOException {@link UdpException} when the system
     *     refuses, e.g. EAGAIN with a full send buffer; {@link ClosedChannelException} after {@link #close}
     */
    public int send(ByteBuffer src, Endpoint target) throws java.io.IOException {
        int length = src.remaining();
        ByteBuffer data = src;
        int offset = src.position();
        if (!src.isDirect()) {
            data = SCRATCH.get().buffer(length);
            data.put(src.duplicate());
            offset = 0;
        }
        int sent;
        long h = enter();
        try {
            long answer = TidelinkNative.udpSendTo(h, data, offset, length, target.address(), target.port());
            sent = (int) answer;
            if (sent < 0) throw failure("udpSendTo", answer);
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
     *
     * @param dst where the datagram goes, from its position to its limit
     * @return the sender, or null when no datagram was waiting
     * @throws java.io.IOException {@link UdpException} when the system refuses;
     *     {@link ClosedChannelException} after {@link #close}
     * @throws java.nio.ReadOnlyBufferException for a read-only buffer
     */
    public Endpoint receive(ByteBuffer dst) throws java.io.IOException {
        if (dst.isReadOnly()) throw new java.nio.ReadOnlyBufferException();
        int size = dst.remaining();
        Scratch own = SCRATCH.get();
        ByteBuffer target = dst.isDirect() ? dst : own.buffer(size);
        long answer;
        long h = enter();
        try {
            answer = TidelinkNative.udpRecvFrom(h, target, dst.isDirect() ? dst.position() : 0, size, own.endpoint);
        } finally {
            leave();
        }
        int count = (int) answer;
        if (count < 0) {
            if (errorNumber(answer) == EAGAIN) return null;
            throw failure("udpRecvFrom", answer);
        }
        if (dst.isDirect()) {
            dst.position(dst.position() + count);
        } else {
            target.limit(count);
            dst.put(target);
        }
        return new Endpoint(own.endpoint[0], own.endpoint[1]);
    }

    /**
     * Waits up to timeoutMs for a datagram: true when one is there, false when
     * the time ran out. A signal that interrupts the wait does not end it
     * early, except after a close() on another thread: then it throws
     * {@link ClosedChannelException} rather than wait again.
     *
     * @param timeoutMs 0 or more milliseconds; 0 answers at once
     * @return whether a datagram is waiting
     * @throws java.io.IOException {@link UdpException} when the system's wait
     *     fails; {@link ClosedChannelException} after {@link #close}
     * @throws IllegalArgumentException for a negative time-out
     */
    public boolean poll(int timeoutMs) throws java.io.IOException {
        if (timeoutMs < 0) throw new IllegalArgumentException("timeoutMs " + timeoutMs);
        long h = enter();
        try {
            long start = System.nanoTime();
            int left = timeoutMs;
            while (true) {
                long answer = TidelinkNative.udpRecvPoll(h, left);
                int result = (int) answer;
                if (result == 0) return true;
                if (result == -3) return false;
                if (errorNumber(answer) != EINTR) throw failure("udpRecvPoll", answer);
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
     *
     * @throws UdpException when the system's close failed
     */
    @Override
    public void close() throws UdpException {
        int before = state.getAndUpdate(s -> s | CLOSED);
        if (before != 0) return;  // closed already, or the last call in flight closes it
        int result = TidelinkNative.udpClose(handle);
        if (result != 0) throw new UdpException("udpClose", result);
    }

    /**
     * Whether the socket is closed.
     *
     * @return whether {@link #close} has been called
     */
    public boolean isClosed() {
        return (state.get() & CLOSED) != 0;
    }

    // After close() the handle is freed, or will be by the last call in
    // flight: no new call may reach the library with it.
    private long enter() throws ClosedChannelException {
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

    // The errno a failed call left, as TidelinkNative answers it.
    private static int errorNumber(long answer) {
        return (int) (answer >>> 32);
    }

    private static UdpException failure(String call, long answer) {
        return new UdpException(call, errorNumber(answer));
    }

    private static final class Scratch {
        final int[] endpoint = new int[2];
        private ByteBuffer buffer = ByteBuffer.allocateDirect(2048);

        // Cleared, with room for size bytes.
        ByteBuffer buffer(int size) {
            if (buffer.capacity() < size) buffer = ByteBuffer.allocateDirect(size);
            buffer.clear();
            return buffer;
        }
    }
}
