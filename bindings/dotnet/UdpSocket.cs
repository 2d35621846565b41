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
    /// own call's error number, and each datagram its own sender. Dispose or
    /// Close it once, after which every call throws ObjectDisposedException.
    /// A Dispose from another thread returns at once; the handle is freed when
    /// the last call in flight ends.
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

        /// <summary>The library handle, for calls made through <see cref="Native"/> directly.</summary>
        public UdpSocketHandle Handle { get { return handle; } }

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

        /// <summary>The error number of the last failed bind, send or receive; 0 if none.</summary>
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
        /// Waits up to timeoutMs for a datagram: true when one is there, false
        /// when the time ran out. A signal that interrupts the wait (on Mono,
        /// every garbage collection) does not end it early.
        /// </summary>
        public bool Poll(int timeoutMs)
        {
            if (timeoutMs < 0) throw new ArgumentOutOfRangeException(nameof(timeoutMs));
            long start = Stopwatch.GetTimestamp();
            int left = timeoutMs;
            while (true)
            {
                int result = Native.udpRecvPoll(handle, left);
                if (result == 0) return true;
                if (result == UdpResult.Timeout) return false;
                int errorNumber = LastCallError();
                if (result != UdpResult.SystemError || errorNumber != EINTR) throw new UdpException("udpRecvPoll", errorNumber);
                // Rounded down, so the wait never ends early. After an
                // interrupted zero wait the time is up.
                if (left == 0) return false;
                long elapsed = (Stopwatch.GetTimestamp() - start) * 1000 / Stopwatch.Frequency;
                left = (int)Math.Max(0, timeoutMs - elapsed);
            }
        }

        /// <summary>Closes the socket; throws if the system's close failed (the socket is gone either way).</summary>
        public void Close()
        {
            if (handle.IsClosed) return;
            handle.Dispose();
            if (handle.CloseError != 0) throw new UdpException("udpClose", handle.CloseError);
        }

        /// <summary>Closes the socket, reporting no failure; a call in flight on another thread keeps the handle until it ends.</summary>
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
