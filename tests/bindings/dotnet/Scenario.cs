// All eleven calls through the C# binding over 127.0.0.1, then a 1500 ms wait
// that keeps being interrupted; shared by the xunit, NativeAOT and Mono hosts.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Net;
using System.Runtime.InteropServices;
using System.Threading;
using Tidelink;

// What interrupts the wait: started just before it on the waiting thread,
// stopped after it; Evidence says whether it really did interrupt.
public interface IInterrupter
{
    void Start();
    void Stop();
    string Evidence(out bool enough);
}

public static class Scenario
{
    // Each line starts with "ok   " or "FAIL ".
    public static List<string> Run(IInterrupter interrupter)
    {
        var lines = new List<string>();
        Action<bool, string> check = (ok, what) => lines.Add((ok ? "ok   " : "FAIL ") + what);

        check(Marshal.SizeOf<UdpEndPoint>() == 8, "UdpEndPoint is 8 bytes");
        check(Platform.Name == "android", "udpPlatform: " + Platform.Name);
        var high = UdpEndPoint.FromIPEndPoint(new IPEndPoint(IPAddress.Parse("127.0.0.1"), 65535));
        check(high.Address == 0x7F000001 && high.Port == 65535 && high.ToString() == "127.0.0.1:65535",
              "endpoint conversion in host byte order: " + high);

        using (var a = new UdpSocket())
        using (var b = new UdpSocket())
        {
            var loopback = new UdpEndPoint(UdpEndPoint.Loopback, 0);
            a.Bind(loopback);
            b.Bind(loopback);
            UdpEndPoint aEnd = a.LocalEndPoint, bEnd = b.LocalEndPoint;
            check(aEnd.Address == UdpEndPoint.Loopback && aEnd.Port != 0 && bEnd.Port != aEnd.Port,
                  "udpCreate, udpBind, udpGetEndPoint: " + aEnd + " and " + bEnd);

            var payload = new byte[64];
            for (int i = 0; i < payload.Length; i++) payload[i] = (byte)(i * 7 + 1);
            check(a.SendTo(payload, 0, payload.Length, bEnd) == 64, "udpSendTo answers 64");
            check(b.Poll(2000), "udpRecvPoll sees the datagram");
            var buffer = new byte[100];
            UdpEndPoint sender;
            int count = b.ReceiveFrom(buffer, 3, 80, out sender);
            bool intact = count == 64 && buffer[0] == 0 && buffer[67] == 0;
            for (int i = 0; i < count && intact; i++) intact = buffer[3 + i] == payload[i];
            check(intact, "udpRecvFrom puts the 64 bytes at the offset: " + count);
            check(sender.Equals(aEnd), "udpRecvFrom names the sender: " + sender);
#if NET
            // From the stack, into 16 bytes of a pooled array: the span's own
            // length bounds the datagram.
            Span<byte> stack = stackalloc byte[64];
            payload.CopyTo(stack);
            check(a.SendTo(stack, bEnd) == 64 && b.Poll(2000), "udpSendTo from a stackalloc span");
            byte[] pooled = System.Buffers.ArrayPool<byte>.Shared.Rent(100);
            count = b.ReceiveFrom(pooled.AsSpan(0, 16), out sender);
            check(count == 16 && pooled.AsSpan(0, 16).SequenceEqual(payload.AsSpan(0, 16)) && sender.Equals(aEnd),
                  "udpRecvFrom into a pooled array's span truncates to it: " + count);
            System.Buffers.ArrayPool<byte>.Shared.Return(pooled);
#endif

            try
            {
                b.ReceiveFrom(buffer, 0, buffer.Length, out sender);
                check(false, "an empty queue throws");
            }
            catch (UdpException e)
            {
                check(e.ErrorNumber == 11 && e.SocketErrorCode == System.Net.Sockets.SocketError.WouldBlock,
                      "an empty queue throws EAGAIN: " + e.Message);
                check(b.LastError == 11, "udpLastError: " + b.LastError);
                check(Platform.ErrorString(11) == "Resource temporarily unavailable",
                      "udpPlatformErrorString(11): " + Platform.ErrorString(11));
            }

            uint before = Platform.Milliseconds;
            Thread.Sleep(100);
            uint elapsed = unchecked(Platform.Milliseconds - before);
            check(elapsed >= 95 && elapsed < 2000, "udpGetHighPrecisionTime counts 100 ms as " + elapsed);

            // Each interruption ends the select with EINTR; the wait must go
            // on for the time left and answer the time-out.
            bool readable = true;
            var clock = Stopwatch.StartNew();
            interrupter.Start();
            try { readable = b.Poll(1500); }
            catch (Exception e) { check(false, "the interrupted wait threw " + e.Message); }
            long waited = clock.ElapsedMilliseconds;
            interrupter.Stop();
            bool enough;
            string evidence = interrupter.Evidence(out enough);
            check(!readable && waited >= 1490 && waited < 10000,
                  "a 1500 ms wait under " + evidence + " times out after " + waited + " ms");
            check(enough, "the interruptions arrived during the wait: " + evidence);

            // A sender and a receiver on one socket: 70000 bytes is more than a
            // datagram holds (EMSGSIZE), the queue is empty (EAGAIN).
            var wrong = new int[2];
            var big = new byte[70000];
            var threads = new[] {
                new Thread(() => { for (int i = 0; i < 20000; i++) try { b.SendTo(big, bEnd); } catch (UdpException e) { if (e.ErrorNumber != 90) wrong[0]++; } }),
                new Thread(() => { var into = new byte[16]; UdpEndPoint from; for (int i = 0; i < 20000; i++) try { b.ReceiveFrom(into, 0, 16, out from); } catch (UdpException e) { if (e.ErrorNumber != 11) wrong[1]++; } }),
            };
            foreach (var t in threads) t.Start();
            foreach (var t in threads) t.Join();
            check(wrong[0] == 0 && wrong[1] == 0, "two threads, each its own error: wrong " + wrong[0] + " sends, " + wrong[1] + " receives");

            a.Close();
            a.Close();
            try
            {
                a.SendTo(payload, bEnd);
                check(false, "a closed socket refuses calls");
            }
            catch (ObjectDisposedException)
            {
                check(true, "udpClose, once; a closed socket refuses calls");
            }
        }
        return lines;
    }
}

// Mono stops every thread with a signal for each collection.
public sealed class Collections : IInterrupter
{
    private volatile bool running;
    private int count;
    private Thread thread;

    public void Start()
    {
        running = true;
        thread = new Thread(() => { while (running) { GC.Collect(); count++; Thread.Sleep(2); } });
        thread.Start();
    }

    public void Stop() { running = false; thread.Join(); }

    public string Evidence(out bool enough) { enough = count >= 20; return count + " collections"; }
}

#if NET
// CoreCLR's collector never signals a thread that is in native code, so a
// real signal with a handler is sent to the waiting thread itself.
public sealed class Signals : IInterrupter
{
    private const int SIGUSR1 = 10;
    private volatile bool running;
    private int sent, arrived;
    private Thread thread;
    private PosixSignalRegistration registration;

    [DllImport("libc.so.6")] private static extern IntPtr pthread_self();
    [DllImport("libc.so.6")] private static extern int pthread_kill(IntPtr thread, int signal);

    public void Start()
    {
        registration = PosixSignalRegistration.Create((PosixSignal)SIGUSR1, context => {
            Interlocked.Increment(ref arrived);
            context.Cancel = true;
        });
        IntPtr waiter = pthread_self();
        running = true;
        thread = new Thread(() => {
            while (running && sent < 10)
            {
                Thread.Sleep(100);
                if (running && pthread_kill(waiter, SIGUSR1) == 0) sent++;
            }
        });
        thread.Start();
    }

    public void Stop()
    {
        running = false;
        thread.Join();
        // The handler runs on the runtime's own thread, a little later.
        for (int i = 0; i < 100 && Volatile.Read(ref arrived) < sent; i++) Thread.Sleep(10);
        registration.Dispose();
    }

    public string Evidence(out bool enough)
    {
        enough = sent >= 5 && arrived >= 1;
        return sent + " signals sent, " + arrived + " handled";
    }
}
#endif
