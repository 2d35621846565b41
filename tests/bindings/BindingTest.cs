// Drives all eleven calls through the C# binding over 127.0.0.1, and a wait
// that garbage collections keep interrupting. Exit status 1 on any failure.
using System;
using System.Diagnostics;
using System.Net;
using System.Runtime.InteropServices;
using System.Threading;
using Tidelink;

static class BindingTest
{
    static int failures;

    static void Check(bool ok, string what)
    {
        Console.WriteLine((ok ? "ok   " : "FAIL ") + what);
        if (!ok) failures++;
    }

    static int Main()
    {
        Check(Marshal.SizeOf(typeof(UdpEndPoint)) == 8, "UdpEndPoint is 8 bytes");
        Check(Platform.Name == "android", "udpPlatform: " + Platform.Name);
        var high = UdpEndPoint.FromIPEndPoint(new IPEndPoint(IPAddress.Parse("127.0.0.1"), 65535));
        Check(high.Address == 0x7F000001 && high.Port == 65535 && high.ToString() == "127.0.0.1:65535",
              "endpoint conversion in host byte order: " + high);

        using (var a = new UdpSocket())
        using (var b = new UdpSocket())
        {
            var loopback = new UdpEndPoint(UdpEndPoint.Loopback, 0);
            a.Bind(loopback);
            b.Bind(loopback);
            UdpEndPoint aEnd = a.LocalEndPoint, bEnd = b.LocalEndPoint;
            Check(aEnd.Address == UdpEndPoint.Loopback && aEnd.Port != 0 && bEnd.Port != aEnd.Port,
                  "udpCreate, udpBind, udpGetEndPoint: " + aEnd + " and " + bEnd);

            var payload = new byte[64];
            for (int i = 0; i < payload.Length; i++) payload[i] = (byte)(i * 7 + 1);
            Check(a.SendTo(payload, 0, payload.Length, bEnd) == 64, "udpSendTo answers 64");
            Check(b.Poll(2000), "udpRecvPoll sees the datagram");
            var buffer = new byte[100];
            UdpEndPoint sender;
            int count = b.ReceiveFrom(buffer, 3, 80, out sender);
            bool intact = count == 64 && buffer[0] == 0 && buffer[67] == 0;
            for (int i = 0; i < count && intact; i++) intact = buffer[3 + i] == payload[i];
            Check(intact, "udpRecvFrom puts the 64 bytes at the offset: " + count);
            Check(sender.Equals(aEnd), "udpRecvFrom names the sender: " + sender);

            try
            {
                b.ReceiveFrom(buffer, 0, buffer.Length, out sender);
                Check(false, "an empty queue throws");
            }
            catch (UdpException e)
            {
                Check(e.ErrorNumber == 11 && e.SocketErrorCode == System.Net.Sockets.SocketError.WouldBlock,
                      "an empty queue throws EAGAIN: " + e.Message);
                Check(b.LastError == 11, "udpLastError: " + b.LastError);
                Check(Platform.ErrorString(11) == "Resource temporarily unavailable",
                      "udpPlatformErrorString(11): " + Platform.ErrorString(11));
            }

            uint before = Platform.Milliseconds;
            Thread.Sleep(100);
            uint elapsed = unchecked(Platform.Milliseconds - before);
            Check(elapsed >= 95 && elapsed < 2000, "udpGetHighPrecisionTime counts 100 ms as " + elapsed);

            // Mono stops every thread with a signal for each collection; the
            // wait must carry on through them and answer the time-out.
            bool waiting = true;
            int collections = 0;
            var collector = new Thread(() => {
                while (Volatile.Read(ref waiting)) { GC.Collect(); collections++; Thread.Sleep(2); }
            });
            collector.Start();
            var clock = Stopwatch.StartNew();
            bool readable = true;
            try { readable = b.Poll(1500); }
            catch (Exception e) { Check(false, "the wait under collections threw " + e.Message); }
            long waited = clock.ElapsedMilliseconds;
            Volatile.Write(ref waiting, false);
            collector.Join();
            Check(!readable && waited >= 1490 && waited < 10000,
                  "a 1500 ms wait under " + collections + " collections times out after " + waited + " ms");
            Check(collections >= 20, "collections ran during the wait: " + collections);

            a.Close();
            a.Close();
            try
            {
                a.SendTo(payload, bEnd);
                Check(false, "a closed socket refuses calls");
            }
            catch (ObjectDisposedException)
            {
                Check(true, "udpClose, once; a closed socket refuses calls");
            }
        }
        Console.WriteLine(failures == 0 ? "all passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}
