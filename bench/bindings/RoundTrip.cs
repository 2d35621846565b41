// roundtrip.c's round trip and clock through the C# binding, on CoreCLR,
// NativeAOT or Mono, or with `own` last, the round trip on .NET's own sockets.
using System;
using System.Diagnostics;
using System.Net;
using System.Net.Sockets;
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

    // The same leg as a host would write it on Socket: non-blocking, SendTo,
    // Poll, ReceiveFrom into a reused buffer (and on .NET, a span and a reused
    // SocketAddress, which allocate nothing).
#if NET
    static void OwnLeg(Socket from, Socket to, SocketAddress toEnd, SocketAddress sender, byte[] buffer)
    {
        if (from.SendTo(buffer.AsSpan(0, 64), SocketFlags.None, toEnd) != 64 || !to.Poll(1000000, SelectMode.SelectRead)
            || to.ReceiveFrom(buffer.AsSpan(), SocketFlags.None, sender) != 64)
            throw new Exception("round trip failed");
    }
#else
    static void OwnLeg(Socket from, Socket to, EndPoint toEnd, EndPoint sender, byte[] buffer)
    {
        if (from.SendTo(buffer, 0, 64, SocketFlags.None, toEnd) != 64 || !to.Poll(1000000, SelectMode.SelectRead)
            || to.ReceiveFrom(buffer, ref sender) != 64)
            throw new Exception("round trip failed");
    }
#endif

    static Socket OwnSocket()
    {
        var socket = new Socket(AddressFamily.InterNetwork, SocketType.Dgram, ProtocolType.Udp);
        socket.Bind(new IPEndPoint(IPAddress.Loopback, 0));
        socket.Blocking = false;
        return socket;
    }

    // The median ns per round trip over repetitions of count, after a warm-up.
    static double Median(Action trip, int count, int repetitions)
    {
        var results = new double[repetitions];
        for (int i = 0; i < count / 10; i++) trip();
        for (int r = 0; r < repetitions; r++)
        {
            var clock = Stopwatch.StartNew();
            for (int i = 0; i < count; i++) trip();
            results[r] = clock.Elapsed.TotalMilliseconds * 1e6 / count;
        }
        Array.Sort(results);
        return results[repetitions / 2];
    }

    static int Main(string[] args)
    {
        bool own = args.Length > 0 && args[args.Length - 1] == "own";
        int given = own ? args.Length - 1 : args.Length;
        int count = given > 0 ? int.Parse(args[0]) : 20000;
        int repetitions = given > 1 ? int.Parse(args[1]) : 5;
        var buffer = new byte[2048];
        var invariant = System.Globalization.CultureInfo.InvariantCulture;
        if (own)
        {
            using (Socket a = OwnSocket(), b = OwnSocket())
            {
#if NET
                SocketAddress aEnd = a.LocalEndPoint!.Serialize(), bEnd = b.LocalEndPoint!.Serialize();
                var sender = new SocketAddress(AddressFamily.InterNetwork);
#else
                EndPoint aEnd = a.LocalEndPoint, bEnd = b.LocalEndPoint;
                EndPoint sender = new IPEndPoint(IPAddress.Any, 0);
#endif
                double ownTrip = Median(() => { OwnLeg(a, b, bEnd, sender, buffer); OwnLeg(b, a, aEnd, sender, buffer); },
                                        count, repetitions);
                Console.WriteLine(ownTrip.ToString("F1", invariant));
            }
            return 0;
        }
        double roundTrip;
        using (var a = new UdpSocket())
        using (var b = new UdpSocket())
        {
            a.Bind(new UdpEndPoint(UdpEndPoint.Loopback, 0));
            b.Bind(new UdpEndPoint(UdpEndPoint.Loopback, 0));
            UdpEndPoint aEnd = a.LocalEndPoint, bEnd = b.LocalEndPoint;
            roundTrip = Median(() => { Leg(a, b, bEnd, buffer); Leg(b, a, aEnd, buffer); }, count, repetitions);
        }
        var results = new double[repetitions];
        uint sum = 0;
        for (int r = 0; r < repetitions; r++)
        {
            var clock = Stopwatch.StartNew();
            for (int i = 0; i < count * 50; i++) sum += Platform.Milliseconds;
            results[r] = clock.Elapsed.TotalMilliseconds * 1e6 / (count * 50.0);
        }
        Array.Sort(results);
        Console.WriteLine(roundTrip.ToString("F1", invariant) + " " + results[repetitions / 2].ToString("F1", invariant)
                          + (sum == 1 ? " " : ""));
        return 0;
    }
}
