// roundtrip.c's round trip and clock through the C# binding, on CoreCLR,
// NativeAOT or Mono; prints the median ns per round trip and per clock call.
using System;
using System.Diagnostics;
using Tidelink;

static class RoundTrip
{
    static void Leg(UdpSocket from, UdpSocket to, UdpEndPoint toEnd, byte[] buffer)
    {
        UdpEndPoint sender;
        if (from.SendTo(buffer, 0, 64, toEnd) != 64 || !to.Poll(1000)
            || to.ReceiveFrom(buffer, 0, buffer.Length, out sender) != 64)
            throw new Exception("round trip failed");
    }

    static int Main(string[] args)
    {
        int count = args.Length > 0 ? int.Parse(args[0]) : 20000;
        int repetitions = args.Length > 1 ? int.Parse(args[1]) : 5;
        var buffer = new byte[2048];
        var results = new double[repetitions];
        using (var a = new UdpSocket())
        using (var b = new UdpSocket())
        {
            a.Bind(new UdpEndPoint(UdpEndPoint.Loopback, 0));
            b.Bind(new UdpEndPoint(UdpEndPoint.Loopback, 0));
            UdpEndPoint aEnd = a.LocalEndPoint, bEnd = b.LocalEndPoint;
            for (int i = 0; i < count / 10; i++) { Leg(a, b, bEnd, buffer); Leg(b, a, aEnd, buffer); }
            for (int r = 0; r < repetitions; r++)
            {
                var clock = Stopwatch.StartNew();
                for (int i = 0; i < count; i++) { Leg(a, b, bEnd, buffer); Leg(b, a, aEnd, buffer); }
                results[r] = clock.Elapsed.TotalMilliseconds * 1e6 / count;
            }
        }
        Array.Sort(results);
        double roundTrip = results[repetitions / 2];
        uint sum = 0;
        for (int r = 0; r < repetitions; r++)
        {
            var clock = Stopwatch.StartNew();
            for (int i = 0; i < count * 50; i++) sum += Platform.Milliseconds;
            results[r] = clock.Elapsed.TotalMilliseconds * 1e6 / (count * 50.0);
        }
        Array.Sort(results);
        var invariant = System.Globalization.CultureInfo.InvariantCulture;
        Console.WriteLine(roundTrip.ToString("F1", invariant) + " " + results[repetitions / 2].ToString("F1", invariant)
                          + (sum == 1 ? " " : ""));
        return 0;
    }
}
