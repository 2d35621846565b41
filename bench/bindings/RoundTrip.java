// The 64-byte round trip of roundtrip.c through the Java binding's UdpSocket.
// Prints the median nanoseconds per round trip.
import java.nio.ByteBuffer;
import java.util.Arrays;
import tidelink.Endpoint;
import tidelink.UdpSocket;

public class RoundTrip {
    static void leg(UdpSocket from, UdpSocket to, Endpoint toEnd, ByteBuffer buffer) throws Exception {
        buffer.clear().limit(64);
        if (from.send(buffer, toEnd) != 64 || !to.poll(1000)) throw new Exception("round trip failed");
        buffer.clear();
        if (to.receive(buffer) == null || buffer.position() != 64) throw new Exception("round trip failed");
    }

    public static void main(String[] args) throws Exception {
        int count = args.length > 0 ? Integer.parseInt(args[0]) : 20000;
        int repetitions = args.length > 1 ? Integer.parseInt(args[1]) : 5;
        ByteBuffer buffer = ByteBuffer.allocateDirect(2048);
        double[] results = new double[repetitions];
        try (UdpSocket a = new UdpSocket(); UdpSocket b = new UdpSocket()) {
            a.bind(Endpoint.loopback(0));
            b.bind(Endpoint.loopback(0));
            Endpoint aEnd = a.localEndpoint(), bEnd = b.localEndpoint();
            for (int i = 0; i < count / 10; i++) { leg(a, b, bEnd, buffer); leg(b, a, aEnd, buffer); }
            for (int r = 0; r < repetitions; r++) {
                long start = System.nanoTime();
                for (int i = 0; i < count; i++) { leg(a, b, bEnd, buffer); leg(b, a, aEnd, buffer); }
                results[r] = (double) (System.nanoTime() - start) / count;
            }
        }
        Arrays.sort(results);
        System.out.printf(java.util.Locale.ROOT, "%.1f%n", results[repetitions / 2]);
    }
}
