// The eleven exports, declared exactly: [LibraryImport] on .NET, whose
// generated stubs survive trimming and NativeAOT, and [DllImport] elsewhere.
using System;
using System.Runtime.InteropServices;
using System.Security;

namespace Tidelink
{
    /// <summary>
    /// The library's calls. Handles are a SafeHandle, so a closed one is
    /// refused before the call and a call in progress keeps it open. Strings
    /// come back as IntPtr: a string return type would make the runtime free
    /// memory the C library owns. Every argument is blittable, so no call
    /// copies or converts anything on its way. The calls that can fail with a
    /// system error keep the thread's errno (SetLastError): another thread's
    /// failure on the same handle may replace udpLastError's number before
    /// this thread could read it, but never its errno.
    /// </summary>
    /// <remarks>
    /// One signature per export: only the attribute and the modifier that goes
    /// with it differ between the two targets.
    /// </remarks>
    [SuppressUnmanagedCodeSecurity]
    internal static unsafe partial class Native
    {
        /// <summary>The library's name as the runtime looks it up: libtidelink_android.so on Linux and Android.</summary>
        internal const string Library = "tidelink_android";

        /// <summary>A new handle with an IPv4 datagram socket; an invalid handle when the system refuses a socket or memory for the handle.</summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        UdpSocketHandle udpCreate();

        /// <summary>
        /// Binds (address 0: all local addresses; port 0: the system's choice), asks
        /// for 32768-byte receive and send buffers and makes the socket non-blocking,
        /// stopping at the first failure with its error number stored: 0,
        /// <see cref="UdpResult.SystemError"/> or <see cref="UdpResult.InvalidHandle"/>.
        /// </summary>
#if NET
        [LibraryImport(Library, SetLastError = true)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)] internal static extern
#endif
        int udpBind(UdpSocketHandle handle, UdpEndPoint endpoint);

        /// <summary>
        /// The local endpoint as the system reported it at bind; zero before that.
        /// Its address and port are zeroed even for a bad handle. Answers 0 or
        /// <see cref="UdpResult.InvalidHandle"/>.
        /// </summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        int udpGetEndPoint(UdpSocketHandle handle, out UdpEndPoint endpoint);

        /// <summary>The error number of the last failed bind, send or receive (0 if none); -1 for a null handle. Later successes do not clear it.</summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        int udpLastError(UdpSocketHandle handle);

        /// <summary>
        /// Sends one datagram of length bytes from buffer; answers the bytes
        /// accepted, <see cref="UdpResult.SystemError"/> or
        /// <see cref="UdpResult.InvalidHandle"/>. A negative length is refused with EINVAL.
        /// </summary>
#if NET
        [LibraryImport(Library, SetLastError = true)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)] internal static extern
#endif
        int udpSendTo(UdpSocketHandle handle, byte* buffer, int length, UdpEndPoint endpoint);

        /// <summary>
        /// Takes one datagram, truncated to size bytes, and its sender (port and
        /// address only; the reserved bytes are left as they were). buffer must
        /// hold size bytes. On a bound handle an empty queue answers -1 with EAGAIN
        /// at once. A negative size is refused with EINVAL and the datagram stays queued.
        /// </summary>
#if NET
        [LibraryImport(Library, SetLastError = true)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)] internal static extern
#endif
        int udpRecvFrom(UdpSocketHandle handle, byte* buffer, int size, out UdpEndPoint sender);

        /// <summary>
        /// Waits up to timeout milliseconds for the socket to become readable:
        /// 0 readable, <see cref="UdpResult.Timeout"/>, or -1 (a negative timeout
        /// or a failed wait; neither stores an error number in the handle). After
        /// -1 the thread's errno holds the reason: EINTR when a signal handler
        /// interrupted the wait (wait again for the time left), EINVAL for a
        /// negative timeout, EBADF for a descriptor closed under the handle.
        /// </summary>
#if NET
        [LibraryImport(Library, SetLastError = true)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)] internal static extern
#endif
        int udpRecvPoll(UdpSocketHandle handle, int timeout);

        // Raw pointer: only UdpSocketHandle.ReleaseHandle calls it, exactly once.
        /// <summary>
        /// Closes the socket and frees the handle, even when the close fails: 0,
        /// or the close's positive error number. The handle is gone either way.
        /// </summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        int udpClose(IntPtr handle);

        /// <summary>"android": the same static string on every call.</summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        IntPtr udpPlatform();

        /// <summary>The system's text for an error number; owned by the C library, valid until the next such call.</summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        IntPtr udpPlatformErrorString(int error);

        // No SuppressGCTransition, though the clock never blocks: measured
        // here, it saved nothing beside clock_gettime's own 30 ns.
        /// <summary>Monotonic milliseconds, wrapping modulo 2^32: only differences of two readings, taken in unsigned 32-bit arithmetic, mean anything.</summary>
#if NET
        [LibraryImport(Library)] internal static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] internal static extern
#endif
        uint udpGetHighPrecisionTime();
    }
}
