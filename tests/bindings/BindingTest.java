// Drives all eleven calls through the Java binding over 127.0.0.1, and a wait
// that signals keep interrupting. Exit status 1 on any failure.
import com.sun.jna.Native;
import com.sun.jna.NativeLong;
import java.net.InetSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.ClosedChannelException;
import java.util.concurrent.atomic.AtomicInteger;
import sun.misc.Signal;
import tidelink.Endpoint;
import tidelink.Platform;
import tidelink.UdpException;
import tidelink.UdpSocket;

public class BindingTest {
    static int failures;

    static void check(boolean ok, String what) {
        System.out.println((ok ? "ok   " : "FAIL ") + what);
        if (!ok) failures++;
    }

    // The test's own way to signal one thread, the waiting one, through JNA
    // (the binding itself does not use JNA).
    static class LibC {
        static { Native.register("c"); }
        static native NativeLong pthread_self();
        static native int pthread_kill(NativeLong thread, int signal);
    }

    public static void main(String[] args) throws Exception {
        check(Platform.name().equals("android"), "udpPlatform: " + Platform.name());
        Endpoint high = Endpoint.of(new InetSocketAddress("127.0.0.1", 65535));
        check(high.address() == Endpoint.LOOPBACK && high.port() == 65535
              && high.toInetSocketAddress().equals(new InetSocketAddress("127.0.0.1", 65535)),
              "endpoint conversion, unsigned port: " + high);

        try (UdpSocket a = new UdpSocket(); UdpSocket b = new UdpSocket()) {
            a.bind(Endpoint.loopback(0));
            b.bind(Endpoint.loopback(0));
            Endpoint aEnd = a.localEndpoint(), bEnd = b.localEndpoint();
            check(aEnd.address() == Endpoint.LOOPBACK && aEnd.port() > 0 && bEnd.port() != aEnd.port(),
                  "udpCreate, udpBind, udpGetEndPoint: " + aEnd + " and " + bEnd);

            byte[] payload = new byte[64];
            for (int i = 0; i < payload.length; i++) payload[i] = (byte) (i * 7 + 1);
            ByteBuffer heap = ByteBuffer.wrap(payload);
            check(a.send(heap, bEnd) == 64 && !heap.hasRemaining(), "udpSendTo from a heap buffer answers 64");
            check(b.poll(2000), "udpRecvPoll sees the datagram");
            ByteBuffer direct = ByteBuffer.allocateDirect(100);
            direct.position(3).limit(90);
            Endpoint sender = b.receive(direct);
            boolean intact = direct.position() == 67 && direct.get(0) == 0 && direct.get(67) == 0;
            for (int i = 0; i < 64 && intact; i++) intact = direct.get(3 + i) == payload[i];
            check(intact, "udpRecvFrom puts the 64 bytes at a direct buffer's position");
            check(aEnd.equals(sender), "udpRecvFrom names the sender: " + sender);

            direct.clear();
            check(b.receive(direct) == null && direct.position() == 0, "an empty queue answers null");
            check(b.lastError() == 11, "udpLastError: " + b.lastError());
            check(Platform.errorString(11).equals("Resource temporarily unavailable"),
                  "udpPlatformErrorString(11): " + Platform.errorString(11));
            try {
                a.bind(Endpoint.loopback(0));
                check(false, "a second bind throws");
            } catch (UdpException e) {
                check(e.errorNumber() == 22, "a second bind throws EINVAL: " + e.getMessage());
            }

            long before = Platform.milliseconds();
            Thread.sleep(100);
            long elapsed = (Platform.milliseconds() - before) & 0xFFFFFFFFL;
            check(elapsed >= 95 && elapsed < 2000, "udpGetHighPrecisionTime counts 100 ms as " + elapsed);

            // SIGUSR1 with a handler, aimed at this thread every 20 ms: each
            // one ends the system's wait, and the binding's must carry on.
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
            boolean readable = true;
            try {
                readable = b.poll(1500);
            } catch (UdpException e) {
                check(false, "the wait under signals threw " + e.getMessage());
            }
            long waited = (System.nanoTime() - start) / 1_000_000;
            signaller.interrupt();
            signaller.join();
            check(!readable && waited >= 1490 && waited < 10000, "a 1500 ms wait under "
                  + delivered.get() + " signals times out after " + waited + " ms");
            check(delivered.get() >= 20, "signals arrived during the wait: " + delivered.get());

            // close() on this thread during another's long wait: the wait runs
            // to its time-out, and the port stays bound until then.
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
            start = System.nanoTime();
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
            check(closing < 100 && c.isClosed(), "close() during another thread's 1500 ms wait took " + closing + " ms");
            check(answer[0].equals("answered false") && binds[0] == 98 && binds[1] == 0,
                  "the wait " + answer[0] + "; binding its port during it, then after: errno " + binds[0] + ", " + binds[1]);

            a.close();
            a.close();
            try {
                a.send(ByteBuffer.wrap(payload), bEnd);
                check(false, "a closed socket refuses calls");
            } catch (ClosedChannelException e) {
                check(true, "udpClose, once; a closed socket refuses calls");
            }
        }
        System.out.println(failures == 0 ? "all passed" : failures + " failed");
        System.exit(failures == 0 ? 0 : 1);
    }
}
