// All eleven calls through the Java binding over 127.0.0.1, a wait that
// signals keep interrupting, a close during another thread's wait, and two
// threads failing on one socket: one JUnit 5 case each.
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.sun.jna.Native;
import com.sun.jna.NativeLong;
import io.github.tidelink.Endpoint;
import io.github.tidelink.Platform;
import io.github.tidelink.UdpException;
import io.github.tidelink.UdpSocket;
import java.net.InetSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.ClosedChannelException;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import sun.misc.Signal;

class BindingTest {
    private UdpSocket a, b;
    private Endpoint aEnd, bEnd;

    // The test's own way to signal one thread, the waiting one, through JNA
    // (the binding itself does not use JNA).
    static class LibC {
        static { Native.register("c"); }
        static native NativeLong pthread_self();
        static native int pthread_kill(NativeLong thread, int signal);
    }

    @BeforeEach
    void bindTwo() throws Exception {
        a = new UdpSocket();
        b = new UdpSocket();
        a.bind(Endpoint.loopback(0));
        b.bind(Endpoint.loopback(0));
        aEnd = a.localEndpoint();
        bEnd = b.localEndpoint();
    }

    @AfterEach
    void closeTwo() throws Exception {
        a.close();
        b.close();
    }

    @Test
    void platformNameAndErrorText() {
        assertEquals("android", Platform.name());
        assertEquals("Resource temporarily unavailable", Platform.errorString(11));
    }

    @Test
    void endpointConvertsAnUnsignedPort() {
        InetSocketAddress address = new InetSocketAddress("127.0.0.1", 65535);
        Endpoint high = Endpoint.of(address);
        assertEquals(Endpoint.LOOPBACK, high.address());
        assertEquals(65535, high.port());
        assertEquals(address, high.toInetSocketAddress());
    }

    @Test
    void bindReportsLoopbackAndAPortOfTheSystemsChoice() {
        assertEquals(Endpoint.LOOPBACK, aEnd.address());
        assertTrue(aEnd.port() > 0 && bEnd.port() != aEnd.port(), aEnd + " and " + bEnd);
    }

    @Test
    void aHeapBufferArrivesAtADirectBuffersPositionWithItsSender() throws Exception {
        byte[] payload = new byte[64];
        for (int i = 0; i < payload.length; i++) payload[i] = (byte) (i * 7 + 1);
        ByteBuffer heap = ByteBuffer.wrap(payload);
        assertEquals(64, a.send(heap, bEnd));
        assertFalse(heap.hasRemaining());
        assertTrue(b.poll(2000));
        ByteBuffer direct = ByteBuffer.allocateDirect(100);
        direct.position(3).limit(90);
        assertEquals(aEnd, b.receive(direct));
        assertEquals(67, direct.position());
        byte[] arrived = new byte[64];
        direct.position(3);
        direct.get(arrived);
        assertArrayEquals(payload, arrived);
        assertEquals(0, direct.get(0) | direct.get(67), "the bytes around the datagram");
    }

    @Test
    void anEmptyQueueAnswersNullAndStoresEagain() throws Exception {
        ByteBuffer direct = ByteBuffer.allocateDirect(100);
        assertNull(b.receive(direct));
        assertEquals(0, direct.position());
        assertEquals(11, b.lastError());
    }

    @Test
    void aSecondBindThrowsEinval() {
        assertEquals(22, assertThrows(UdpException.class, () -> a.bind(Endpoint.loopback(0))).errorNumber());
    }

    @Test
    void theClockCounts100Milliseconds() throws Exception {
        long before = Platform.milliseconds();
        Thread.sleep(100);
        long elapsed = (Platform.milliseconds() - before) & 0xFFFFFFFFL;
        assertTrue(elapsed >= 95 && elapsed < 2000, "100 ms counted as " + elapsed);
    }

    // SIGUSR1 with a handler, aimed at this thread every 20 ms: each one ends
    // the system's wait, and the binding's must carry on.
    @Test
    void aWaitGoesOnThroughSignalsAndTimesOut() throws Exception {
        AtomicInteger delivered = new AtomicInteger();
        Signal.handle(new Signal("USR1"), s -> delivered.incrementAndGet());
        NativeLong waiter = LibC.pthread_self();
        Thread signaller = new Thread(() -> {
            while (!Thread.currentThread().isInterrupted()) {
                LibC.pthread_kill(waiter, 10);
                try { Thread.sleep(20); } catch (InterruptedException e) { return; }
            }
        });
        signaller.start();
        long start = System.nanoTime();
        boolean readable;
        try {
            readable = b.poll(1500);
        } finally {
            signaller.interrupt();
            signaller.join();
        }
        long waited = (System.nanoTime() - start) / 1_000_000;
        assertFalse(readable);
        assertTrue(waited >= 1490 && waited < 10000, "waited " + waited + " ms");
        assertTrue(delivered.get() >= 20, delivered.get() + " signals arrived during the wait");
    }

    // The wait runs to its time-out, and the port stays bound until then.
    @Test
    void closeDuringAnotherThreadsWaitReturnsAtOnceAndThePortIsFreedAfter() throws Exception {
        UdpSocket c = new UdpSocket();
        c.bind(Endpoint.loopback(0));
        Endpoint cEnd = c.localEndpoint();
        String[] answer = {"no answer"};
        Thread poller = new Thread(() -> {
            try {
                answer[0] = "answered " + c.poll(1500);
            } catch (Exception e) {
                answer[0] = e.toString();
            }
        });
        poller.start();
        Thread.sleep(100);
        long start = System.nanoTime();
        c.close();
        long closing = (System.nanoTime() - start) / 1_000_000;
        int[] binds = new int[2];
        for (int i = 0; i < 2; i++) {
            try (UdpSocket d = new UdpSocket()) {
                d.bind(cEnd);
            } catch (UdpException e) {
                binds[i] = e.errorNumber();
            }
            if (i == 0) poller.join(10000);
        }
        assertTrue(closing < 100 && c.isClosed(), "close() took " + closing + " ms");
        assertEquals("answered false", answer[0]);
        assertArrayEquals(new int[] {98, 0}, binds, "binding its port during the wait, then after");
    }

    @Test
    void aClosedSocketClosesOnceAndRefusesCalls() throws Exception {
        a.close();
        a.close();
        assertThrows(ClosedChannelException.class, () -> a.send(ByteBuffer.allocate(1), bEnd));
    }

    // 70000 bytes is more than a datagram holds (EMSGSIZE); the queue is
    // empty (EAGAIN, which receive answers as null, throwing nothing).
    @Test
    void aSenderAndAReceiverThreadOnOneSocketEachGetTheirOwnError() throws Exception {
        ByteBuffer tooLarge = ByteBuffer.allocateDirect(70000), into = ByteBuffer.allocateDirect(16);
        int[] wrong = new int[2];
        Thread sender = new Thread(() -> wrong[0] = otherErrors(90, () -> b.send(tooLarge.duplicate(), bEnd)));
        Thread receiver = new Thread(() -> wrong[1] = otherErrors(0, () -> assertNull(b.receive(into))));
        sender.start();
        receiver.start();
        sender.join();
        receiver.join();
        assertArrayEquals(new int[] {0, 0}, wrong, "sends and receives that failed otherwise");
    }

    interface Call { void run() throws Exception; }

    // How many of 20000 calls did not fail with expected (0: did not fail at all).
    private static int otherErrors(int expected, Call call) {
        int other = 0;
        for (int i = 0; i < 20000; i++) {
            try {
                call.run();
                if (expected != 0) other++;
            } catch (UdpException e) {
                if (e.errorNumber() != expected) other++;
            } catch (Throwable e) {
                other++;
            }
        }
        return other;
    }
}
