// An IPv4 datagram socket over one library handle: failures as exceptions,
// buffers checked before the library writes, waits that outlast signals.
using System;
using System.Diagnostics;
using System.Runtime.InteropServices;

namespace Tidelink
{
    /// <summary>
    /// An IPv4 datagram socket. Its calls may overlap from several threads
    /// (one sending while others receive or poll): each failure carries its
    /// own call's error number, and each datagram its own sender. Close and
    /// Dispose are the same call: the first closes, later ones do nothing,
    /// neither throws, and every other call then throws
    /// ObjectDisposedException. From another thread it returns at once; the
    /// handle is closed when the last call in flight ends. A failed close's
    /// error number is in <see cref="CloseErrorNumber"/>.
    /// </summary>
    public sealed unsafe class UdpSocket : IDisposable
    {
        private const int EINTR = 4;
        private readonly UdpSocketHandle handle;

        /// <summary>A new IPv4 datagram socket, blocking and unbound; throws <see cref="UdpException"/> when the system refuses a socket or memory for it.</summary>
        public UdpSocket()
        {
            handle = Native.udpCreate();
            if (handle.IsInvalid)
            {
                handle.Dispose();
                throw new UdpException("udpCreate: the system refused a socket or memory for it");
            }
        }

        /// <summary>Binds (port 0: the system's choice); the socket is then non-blocking.</summary>
        public void Bind(UdpEndPoint local)
        {
            if (Native.udpBind(handle, local) != 0) throw Failure("udpBind");
        }

        /// <summary>The bound endpoint, 0.0.0.0:0 before a bind.</summary>
        public UdpEndPoint LocalEndPoint
        {
            get
            {
                Native.udpGetEndPoint(handle, out UdpEndPoint endpoint);
                return endpoint;
            }
        }

        /// <summary>
        /// The error number of the last failed bind, send or receive; 0 if none.
        /// With several threads on the socket it may be another thread's: each
        /// <see cref="UdpException"/> carries its own call's.
        /// </summary>
        public int LastError { get { return Native.udpLastError(handle); } }

        /// <summary>Sends the whole of buffer as one datagram; answers the bytes sent.</summary>
        public int SendTo(byte[] buffer, UdpEndPoint to)
        {
            return SendTo(buffer, 0, buffer == null ? 0 : buffer.Length, to);
        }

        /// <summary>Sends buffer[offset .. offset+count) as one datagram; answers the bytes sent.</summary>
        public int SendTo(byte[] buffer, int offset, int count, UdpEndPoint to)
        {
            CheckRange(buffer, offset, count);
            fixed (byte* start = buffer) return Send(start + offset, count, to);
        }

        /// <summary>
        /// Takes one datagram into buffer[offset ..], at most count bytes (the
        /// rest of a longer one is lost); answers its length. An empty queue on
        /// a bound socket throws with SocketError.WouldBlock.
        /// </summary>
        public int ReceiveFrom(byte[] buffer, int offset, int count, out UdpEndPoint sender)
        {
            CheckRange(buffer, offset, count);
            fixed (byte* start = buffer) return Receive(start + offset, count, out sender);
        }

#if NET
        /// <summary>Sends buffer as one datagram; answers the bytes sent.</summary>
        public int SendTo(ReadOnlySpan<byte> buffer, UdpEndPoint to)
        {
            fixed (byte* start = buffer) return Send(start, buffer.Length, to);
        }

        /// <summary>
        /// Takes one datagram into buffer (the rest of a longer one is lost);
        /// answers its length. An empty queue on a bound socket throws with
        /// SocketError.WouldBlock.
        /// </summary>
        public int ReceiveFrom(Span<byte> buffer, out UdpEndPoint sender)
        {
            fixed (byte* start = buffer) return Receive(start, buffer.Length, out sender);
        }
#endif

        /// <summary>
        /// Waits up to millisecondsTimeout (0 or more) for a datagram: true when
        /// one is there, false when the time ran out. A signal that interrupts
        /// the wait (on Mono, every garbage collection) does not end it early.
        /// </summary>
        public bool Poll(int millisecondsTimeout)
        {
            if (millisecondsTimeout < 0) throw new ArgumentOutOfRangeException(nameof(millisecondsTimeout));
            long start = Stopwatch.GetTimestamp();
            int left = millisecondsTimeout;
            while (true)
            {
                var result = (UdpResult)Native.udpRecvPoll(handle, left);
                if (result == UdpResult.Success) return true;
                if (result == UdpResult.Timeout) return false;
                int errorNumber = LastCallError();
                if (result != UdpResult.SystemError || errorNumber != EINTR) throw new UdpException("udpRecvPoll", errorNumber);
                // Rounded down, so the wait never ends early. After an
                // interrupted zero wait the time is up.
                if (left == 0) return false;
                long elapsed = (Stopwatch.GetTimestamp() - start) * 1000 / Stopwatch.Frequency;
                left = (int)Math.Max(0, millisecondsTimeout - elapsed);
            }
        }

        /// <summary>
        /// Waits up to timeout, rounded up to whole milliseconds, for a
        /// datagram: as <see cref="Poll(int)"/>.
        /// </summary>
        public bool Poll(TimeSpan timeout)
        {
            double milliseconds = Math.Ceiling(timeout.TotalMilliseconds);
            if (milliseconds < 0 || milliseconds > int.MaxValue) throw new ArgumentOutOfRangeException(nameof(timeout));
            return Poll((int)milliseconds);
        }

        /// <summary>
        /// 0 while the socket is open or after its close succeeded; after a
        /// failed close, the system's error number for it (the socket is gone
        /// either way). While calls begun before the close are still in flight
        /// on other threads, the close waits for the last of them, and this is 0.
        /// </summary>
        public int CloseErrorNumber { get { return handle.CloseError; } }

        /// <summary>The same as <see cref="Dispose"/>.</summary>
        public void Close()
        {
            Dispose();
        }

        /// <summary>Closes the socket once and never throws; see <see cref="CloseErrorNumber"/>.</summary>
        public void Dispose()
        {
            handle.Dispose();
        }

        private int Send(byte* start, int count, UdpEndPoint to)
        {
            int sent = Native.udpSendTo(handle, start, count, to);
            if (sent < 0) throw Failure("udpSendTo");
            return sent;
        }

        private int Receive(byte* start, int count, out UdpEndPoint sender)
        {
            int received = Native.udpRecvFrom(handle, start, count, out sender);
            if (received < 0) throw Failure("udpRecvFrom");
            return received;
        }

        // Nothing may run between the failed call and this: the runtime kept
        // the thread's errno for it.
        private static UdpException Failure(string call)
        {
            return new UdpException(call, LastCallError());
        }

        private static int LastCallError()
        {
#if NET
            return Marshal.GetLastPInvokeError();
#else
            return Marshal.GetLastWin32Error();
#endif
        }

        // The library writes count bytes from the start it is given: past the
        // array they would land on the managed heap.
        private static void CheckRange(byte[] buffer, int offset, int count)
        {
            if (buffer == null) throw new ArgumentNullException(nameof(buffer));
            if ((uint)offset > (uint)buffer.Length) throw new ArgumentOutOfRangeException(nameof(offset));
            if ((uint)count > (uint)(buffer.Length - offset)) throw new ArgumentOutOfRangeException(nameof(count));
        }
    }
}
