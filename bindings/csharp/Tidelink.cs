// C# binding of libtidelink_android for Mono and .NET: the exact P/Invoke
// declarations, then a socket type over them. Compile with unsafe code allowed.
using System;
using System.Diagnostics;
using System.Net;
using System.Net.Sockets;
using System.Runtime.InteropServices;
using System.Security;

namespace Tidelink
{
    /// <summary>The library's 8-byte endpoint, address and port in host byte order.</summary>
    /// <remarks>Passed by value as a struct: a class or a ref would pass a pointer.</remarks>
    [StructLayout(LayoutKind.Sequential)]
    public struct UdpEndPoint : IEquatable<UdpEndPoint>
    {
        public uint Address;     // 127.0.0.1 is 0x7F000001
        public ushort Port;
        public ushort Reserved;  // carries no value

        public const uint Loopback = 0x7F000001;
        public const uint Any = 0;

        public UdpEndPoint(uint address, ushort port)
        {
            Address = address;
            Port = port;
            Reserved = 0;
        }

        public static UdpEndPoint FromIPEndPoint(IPEndPoint endPoint)
        {
            if (endPoint == null) throw new ArgumentNullException("endPoint");
            if (endPoint.AddressFamily != AddressFamily.InterNetwork)
                throw new ArgumentException("only IPv4 endpoints can be used", "endPoint");
            byte[] b = endPoint.Address.GetAddressBytes();
            uint address = (uint)b[0] << 24 | (uint)b[1] << 16 | (uint)b[2] << 8 | b[3];
            return new UdpEndPoint(address, checked((ushort)endPoint.Port));
        }

        public IPEndPoint ToIPEndPoint()
        {
            byte[] b = { (byte)(Address >> 24), (byte)(Address >> 16), (byte)(Address >> 8), (byte)Address };
            return new IPEndPoint(new IPAddress(b), Port);
        }

        // The reserved bytes carry no value, so they take no part in equality.
        public bool Equals(UdpEndPoint other) { return Address == other.Address && Port == other.Port; }
        public override bool Equals(object obj) { return obj is UdpEndPoint && Equals((UdpEndPoint)obj); }
        public override int GetHashCode() { return (int)Address ^ Port << 16; }
        public override string ToString() { return ToIPEndPoint().ToString(); }
    }

    /// <summary>The library's result codes.</summary>
    public static class UdpResult
    {
        public const int SystemError = -1;
        public const int InvalidHandle = -2;
        public const int Timeout = -3;
    }

    /// <summary>
    /// The eleven exports, declared exactly. Handles are a SafeHandle, so a
    /// closed one is refused before the call and a call in progress keeps it
    /// open. Strings come back as IntPtr: a string return type would make the
    /// runtime free memory the C library owns.
    /// </summary>
    [SuppressUnmanagedCodeSecurity]
    public static unsafe class Native
    {
        public const string Library = "tidelink_android";

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern UdpSocketHandle udpCreate();

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpBind(UdpSocketHandle handle, UdpEndPoint endpoint);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpGetEndPoint(UdpSocketHandle handle, out UdpEndPoint endpoint);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpLastError(UdpSocketHandle handle);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpSendTo(UdpSocketHandle handle, byte* buffer, int length, UdpEndPoint endpoint);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpRecvFrom(UdpSocketHandle handle, byte* buffer, int size, out UdpEndPoint sender);

        // After -1 the reason is in errno (EINTR when interrupted), which
        // SetLastError keeps for Marshal.GetLastWin32Error.
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)]
        public static extern int udpRecvPoll(UdpSocketHandle handle, int timeout);

        // Raw pointer: only UdpSocketHandle.ReleaseHandle calls it, exactly once.
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern int udpClose(IntPtr handle);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr udpPlatform();

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr udpPlatformErrorString(int error);

        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint udpGetHighPrecisionTime();
    }

    /// <summary>Owns one library handle and closes it exactly once.</summary>
    public sealed class UdpSocketHandle : SafeHandle
    {
        private int closeError;

        public UdpSocketHandle() : base(IntPtr.Zero, true) { }

        public override bool IsInvalid { get { return handle == IntPtr.Zero; } }

        /// <summary>udpClose's answer once the handle is released: 0, or the close's error number.</summary>
        public int CloseError { get { return closeError; } }

        protected override bool ReleaseHandle()
        {
            // The library frees the handle even when the close fails, so it is
            // released either way; the error number is kept for Close to report.
            closeError = Native.udpClose(handle);
            return true;
        }
    }

    /// <summary>A failed call: the system's error number (errno) and its text.</summary>
    public class UdpException : SocketException
    {
        private readonly string message;

        public UdpException(string call, int errorNumber)
            : base((int)ToSocketError(errorNumber))
        {
            ErrorNumber = errorNumber;
            message = call + ": " + Platform.ErrorString(errorNumber) + " (errno " + errorNumber + ")";
        }

        /// <summary>A failure the library gives no error number for; ErrorNumber is 0.</summary>
        public UdpException(string message)
            : base((int)SocketError.SocketError)
        {
            this.message = message;
        }

        /// <summary>The system's own error number, as udpLastError reports it.</summary>
        public int ErrorNumber { get; private set; }

        public override string Message { get { return message; } }

        // Linux's numbers, the same on every architecture Android runs on.
        private static SocketError ToSocketError(int errorNumber)
        {
            switch (errorNumber)
            {
                case 4: return SocketError.Interrupted;
                case 11: return SocketError.WouldBlock;
                case 13: return SocketError.AccessDenied;
                case 14: return SocketError.Fault;
                case 22: return SocketError.InvalidArgument;
                case 24: return SocketError.TooManyOpenSockets;
                case 90: return SocketError.MessageSize;
                case 98: return SocketError.AddressAlreadyInUse;
                case 99: return SocketError.AddressNotAvailable;
                case 101: return SocketError.NetworkUnreachable;
                case 105: return SocketError.NoBufferSpaceAvailable;
                case 111: return SocketError.ConnectionRefused;
                case 113: return SocketError.HostUnreachable;
                default: return SocketError.SocketError;
            }
        }
    }

    /// <summary>The calls that need no handle.</summary>
    public static class Platform
    {
        /// <summary>"android".</summary>
        public static string Name { get { return Marshal.PtrToStringAnsi(Native.udpPlatform()); } }

        /// <summary>The system's text for an error number, copied before the next call can replace it.</summary>
        public static string ErrorString(int errorNumber)
        {
            return Marshal.PtrToStringAnsi(Native.udpPlatformErrorString(errorNumber));
        }

        /// <summary>Monotonic milliseconds, wrapping modulo 2^32: subtract two readings as uint.</summary>
        public static uint Milliseconds { get { return Native.udpGetHighPrecisionTime(); } }
    }

    /// <summary>
    /// An IPv4 datagram socket. Calls on one socket must not overlap; Dispose
    /// or Close it once, after which every call throws ObjectDisposedException.
    /// </summary>
    public sealed unsafe class UdpSocket : IDisposable
    {
        private const int EINTR = 4;
        private readonly UdpSocketHandle handle;

        public UdpSocket()
        {
            handle = Native.udpCreate();
            if (handle.IsInvalid)
            {
                handle.Dispose();
                throw new UdpException("udpCreate: the system refused a socket or memory for it");
            }
        }

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
                UdpEndPoint endpoint;
                Native.udpGetEndPoint(handle, out endpoint);
                return endpoint;
            }
        }

        /// <summary>The error number of the last failed bind, send or receive; 0 if none.</summary>
        public int LastError { get { return Native.udpLastError(handle); } }

        public int SendTo(byte[] buffer, UdpEndPoint to)
        {
            return SendTo(buffer, 0, buffer == null ? 0 : buffer.Length, to);
        }

        /// <summary>Sends buffer[offset .. offset+count) as one datagram; answers the bytes sent.</summary>
        public int SendTo(byte[] buffer, int offset, int count, UdpEndPoint to)
        {
            CheckRange(buffer, offset, count);
            int sent;
            fixed (byte* start = buffer) sent = Native.udpSendTo(handle, start + offset, count, to);
            if (sent < 0) throw Failure("udpSendTo");
            return sent;
        }

        /// <summary>
        /// Takes one datagram into buffer[offset ..], at most count bytes (the
        /// rest of a longer one is lost); answers its length. An empty queue on
        /// a bound socket throws with SocketError.WouldBlock.
        /// </summary>
        public int ReceiveFrom(byte[] buffer, int offset, int count, out UdpEndPoint sender)
        {
            CheckRange(buffer, offset, count);
            int received;
            fixed (byte* start = buffer) received = Native.udpRecvFrom(handle, start + offset, count, out sender);
            if (received < 0) throw Failure("udpRecvFrom");
            return received;
        }

        /// <summary>
        /// Waits up to timeoutMs for a datagram: true when one is there, false
        /// when the time ran out. A signal that interrupts the wait (on Mono,
        /// every garbage collection) does not end it early.
        /// </summary>
        public bool Poll(int timeoutMs)
        {
            if (timeoutMs < 0) throw new ArgumentOutOfRangeException("timeoutMs");
            long start = Stopwatch.GetTimestamp();
            int left = timeoutMs;
            while (true)
            {
                int result = Native.udpRecvPoll(handle, left);
                if (result == 0) return true;
                if (result == UdpResult.Timeout) return false;
                int errorNumber = Marshal.GetLastWin32Error();
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

        public void Dispose()
        {
            handle.Dispose();
        }

        private UdpException Failure(string call)
        {
            return new UdpException(call, Native.udpLastError(handle));
        }

        // The library writes count bytes from the start it is given: past the
        // array they would land on the managed heap.
        private static void CheckRange(byte[] buffer, int offset, int count)
        {
            if (buffer == null) throw new ArgumentNullException("buffer");
            if ((uint)offset > (uint)buffer.Length) throw new ArgumentOutOfRangeException("offset");
            if ((uint)count > (uint)(buffer.Length - offset)) throw new ArgumentOutOfRangeException("count");
        }
    }
}
