// The C# binding's behaviours over 127.0.0.1, one xunit case each: run by
// xunit on CoreCLR, and by host/Program.cs's runner on NativeAOT and Mono.
using System;
using System.Diagnostics;
using System.Net;
using System.Net.Sockets;
using System.Runtime.InteropServices;
using System.Threading;
using Tidelink;
using Xunit;

public sealed class BindingTests : IDisposable
{
    private const int EAGAIN = 11, EMSGSIZE = 90;
    private readonly UdpSocket a = new UdpSocket(), b = new UdpSocket();
    private readonly UdpEndPoint aEnd, bEnd;

    public BindingTests()
    {
        var loopback = new UdpEndPoint(UdpEndPoint.Loopback, 0);
        a.Bind(loopback);
        b.Bind(loopback);
        aEnd = a.LocalEndPoint;
        bEnd = b.LocalEndPoint;
    }

    public void Dispose()
    {
        a.Dispose();
        b.Dispose();
    }

    [Fact]
    public void PlatformNameErrorTextAndEightByteEndPoint()
    {
        Assert.Equal("android", Platform.Name);
        Assert.Equal("Resource temporarily unavailable", Platform.ErrorString(EAGAIN));
        Assert.Equal(8, Marshal.SizeOf<UdpEndPoint>());
    }

    [Theory]
    [InlineData("127.0.0.1", 65535, 0x7F000001u, "127.0.0.1:65535")]
    [InlineData("0.0.0.0", 0, 0u, "0.0.0.0:0")]
    public void EndPointsConvertInHostByteOrder(string address, int port, uint expected, string text)
    {
        var endPoint = UdpEndPoint.FromIPEndPoint(new IPEndPoint(IPAddress.Parse(address), port));
        Assert.Equal(new UdpEndPoint(expected, (ushort)port), endPoint);
        Assert.True(endPoint == new UdpEndPoint(expected, (ushort)port));
        Assert.Equal(text, endPoint.ToString());
        Assert.Equal(new IPEndPoint(IPAddress.Parse(address), port), endPoint.ToIPEndPoint());
    }

    [Fact]
    public void BindReportsLoopbackAndAPortOfTheSystemsChoice()
    {
        Assert.Equal(UdpEndPoint.Loopback, aEnd.Address);
        Assert.NotEqual(0, aEnd.Port);
        Assert.NotEqual(aEnd, bEnd);
    }

    [Fact]
    public void ADatagramArrivesAtTheOffsetWithItsSender()
    {
        byte[] payload = Payload();
        Assert.Equal(64, a.SendTo(payload, 0, payload.Length, bEnd));
        Assert.True(b.Poll(2000));
        var buffer = new byte[100];
        Assert.Equal(64, b.ReceiveFrom(buffer, 3, 80, out UdpEndPoint sender));
        Assert.Equal(aEnd, sender);
        var arrived = new byte[64];
        Array.Copy(buffer, 3, arrived, 0, 64);
        Assert.Equal(payload, arrived);
        Assert.Equal(0, buffer[0] | buffer[67]);
    }

#if NET
    // From the stack, into 16 bytes of a pooled array: the span's own length
    // bounds the datagram.
    [Fact]
    public void SpansFromTheStackAndIntoAPooledArrayTruncateToTheirLength()
    {
        Span<byte> stack = stackalloc byte[64];
        Payload().CopyTo(stack);
        Assert.Equal(64, a.SendTo(stack, bEnd));
        Assert.True(b.Poll(TimeSpan.FromSeconds(2)));
        byte[] pooled = System.Buffers.ArrayPool<byte>.Shared.Rent(100);
        Assert.Equal(16, b.ReceiveFrom(pooled.AsSpan(0, 16), out UdpEndPoint sender));
        Assert.True(pooled.AsSpan(0, 16).SequenceEqual(stack.Slice(0, 16)));
        Assert.Equal(aEnd, sender);
        System.Buffers.ArrayPool<byte>.Shared.Return(pooled);
    }
#endif

    [Fact]
    public void AnEmptyQueueThrowsWouldBlockAndTheWaitTimesOut()
    {
        Assert.False(b.Poll(0));
        Assert.False(b.Poll(TimeSpan.FromMilliseconds(0.5)));
        var e = Assert.Throws<UdpException>(() => b.ReceiveFrom(new byte[16], 0, 16, out UdpEndPoint sender));
        Assert.Equal(EAGAIN, e.ErrorNumber);
        Assert.Equal(SocketError.WouldBlock, e.SocketErrorCode);
        Assert.Equal(EAGAIN, b.LastError);
    }

    [Fact]
    public void NegativeTimeOutsAreRefused()
    {
        Assert.Throws<ArgumentOutOfRangeException>("millisecondsTimeout", () => b.Poll(-1));
        Assert.Throws<ArgumentOutOfRangeException>("timeout", () => b.Poll(TimeSpan.FromMilliseconds(-1)));
    }

    [Fact]
    public void TheClockCounts100Milliseconds()
    {
        uint before = Platform.Milliseconds;
        Thread.Sleep(100);
        uint elapsed = unchecked(Platform.Milliseconds - before);
        Assert.InRange(elapsed, 95u, 1999u);
    }

    // Each interruption ends the select with EINTR; the wait must go on for
    // the time left and answer the time-out.
    [Fact]
    public void AnInterruptedWaitGoesOnAndTimesOut()
    {
#if NET
        IInterrupter interrupter = new Signals();
#else
        IInterrupter interrupter = new Collections();
#endif
        var clock = Stopwatch.StartNew();
        interrupter.Start();
        bool readable;
        try { readable = b.Poll(1500); }
        finally { interrupter.Stop(); }
        Assert.False(readable);
        Assert.InRange(clock.ElapsedMilliseconds, 1490, 9999);
        Assert.True(interrupter.Enough, interrupter.Evidence + " during the wait");
    }

    [Fact]
    public void CloseAndDisposeAreOneCallThatNeverThrowsAndCallsAfterItThrow()
    {
        a.Close();
        a.Dispose();
        a.Close();
        Assert.Equal(0, a.CloseErrorNumber);
        Assert.Throws<ObjectDisposedException>(() => a.SendTo(Payload(), bEnd));
    }

    // 70000 bytes is more than a datagram holds (EMSGSIZE); the queue is
    // empty (EAGAIN). Each thread counts the failures that carried another error.
    [Fact]
    public void ASenderAndAReceiverThreadOnOneSocketEachGetTheirOwnError()
    {
        var wrong = new int[2];
        var tooLarge = new byte[70000];
        var into = new byte[16];
        var threads = new[] {
            new Thread(() => wrong[0] = OtherErrors(EMSGSIZE, () => b.SendTo(tooLarge, bEnd))),
            new Thread(() => wrong[1] = OtherErrors(EAGAIN, () => b.ReceiveFrom(into, 0, 16, out UdpEndPoint sender))),
        };
        foreach (Thread thread in threads) thread.Start();
        foreach (Thread thread in threads) thread.Join();
        Assert.Equal(new[] { 0, 0 }, wrong);
    }

    private static int OtherErrors(int expected, Func<int> call)
    {
        int other = 0;
        for (int i = 0; i < 20000; i++)
        {
            try { call(); other++; }
            catch (UdpException e) { if (e.ErrorNumber != expected) other++; }
        }
        return other;
    }

    private static byte[] Payload()
    {
        var payload = new byte[64];
        for (int i = 0; i < payload.Length; i++) payload[i] = (byte)(i * 7 + 1);
        return payload;
    }
}
