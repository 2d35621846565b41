// The 64-byte round trip of roundtrip.c through the Java binding's UdpSocket,
// or, with a last argument "own", through the JDK's own DatagramChannel.
// Prints the median nanoseconds per round trip.
import java.net.InetSocketAddress;
import java.net.SocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.DatagramChannel;
import java.nio.channels.SelectionKey;
import java.nio.channels.Selector;
import java.util.Arrays;
import io.github.tidelink.Endpoint;
import io.github.tidelink.UdpSocket;

public class RoundTrip {
    interface Legs {
        void run() throws Exception;
    }

    static void leg(UdpSocket from, UdpSocket to, Endpoint toEnd, ByteBuffer buffer) throws Exception {
        buffer.clear().limit(64);
        if (from.send(buffer, toEnd) != 64 || !to.poll(1000)) throw new Exception("round trip failed");
        buffer.clear();
        if (to.receive(buffer) == null || buffer.position() != 64) throw new Exception("round trip failed");
    }

    // Non-blocking channels, each with a selector of its own, as a host
    // waiting on one socket writes it.
    static void leg(DatagramChannel from, DatagramChannel to, Selector toSelector, SocketAddress toEnd,
                    ByteBuffer buffer) throws Exception {
        buffer.clear().limit(64);
        if (from.send(buffer, toEnd) != 64 || toSelector.select(1000) != 1) throw new Exception("round trip failed");
        toSelector.selectedKeys().clear();
        buffer.clear();
        if (to.receive(buffer) == null || buffer.position() != 64) throw new Exception("round trip failed");
    }

    static DatagramChannel open(Selector selector) throws Exception {
        DatagramChannel channel = DatagramChannel.open();
        channel.bind(new InetSocketAddress("127.0.0.1", 0)).configureBlocking(false);
        channel.register(selector, SelectionKey.OP_READ);
        return channel;
    }

    static double[] time(int count, int repetitions, Legs legs) throws Exception {
        double[] results = new double[repetitions];
        for (int i = 0; i < count / 10; i++) legs.run();
        for (int r = 0; r < repetitions; r++) {
            long start = System.nanoTime();
            for (int i = 0; i < count; i++) legs.run();
            results[r] = (double) (System.nanoTime() - start) / count;
        }
        return results;
    }

    public static void main(String[] args) throws Exception {
        int count = args.length > 0 ? Integer.parseInt(args[0]) : 20000;
        int repetitions = args.length > 1 && !args[1].equals("own") ? Integer.parseInt(args[1]) : 5;
        boolean own = args.length > 0 && args[args.length - 1].equals("own");
        ByteBuffer buffer = ByteBuffer.allocateDirect(2048);
        double[] results;
        if (own) {
            try (Selector aSelector = Selector.open(); Selector bSelector = Selector.open();
                 DatagramChannel a = open(aSelector); DatagramChannel b = open(bSelector)) {
                SocketAddress aEnd = a.getLocalAddress(), bEnd = b.getLocalAddress();
                results = time(count, repetitions,
                               () -> { leg(a, b, bSelector, bEnd, buffer); leg(b, a, aSelector, aEnd, buffer); });
            }
        } else {
            try (UdpSocket a = new UdpSocket(); UdpSocket b = new UdpSocket()) {
                a.bind(Endpoint.loopback(0));
                b.bind(Endpoint.loopback(0));
                Endpoint aEnd = a.localEndpoint(), bEnd = b.localEndpoint();
                results = time(count, repetitions, () -> { leg(a, b, bEnd, buffer); leg(b, a, aEnd, buffer); });
            }
        }
        Arrays.sort(results);
        System.out.printf(java.util.Locale.ROOT, "%.1f%n", results[repetitions / 2]);
    }
}
