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
    /// copies or converts anything on its way.
    /// </summary>
    /// <remarks>
    /// One signature per export: only the attribute and the modifier that goes
    /// with it differ between the two targets.
    /// </remarks>
    [SuppressUnmanagedCodeSecurity]
    public static unsafe partial class Native
    {
        public const string Library = "tidelink_android";

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        UdpSocketHandle udpCreate();

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpBind(UdpSocketHandle handle, UdpEndPoint endpoint);

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpGetEndPoint(UdpSocketHandle handle, out UdpEndPoint endpoint);

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpLastError(UdpSocketHandle handle);

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpSendTo(UdpSocketHandle handle, byte* buffer, int length, UdpEndPoint endpoint);

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpRecvFrom(UdpSocketHandle handle, byte* buffer, int size, out UdpEndPoint sender);

        // After -1 the reason is in errno (EINTR when interrupted), which
        // SetLastError keeps for UdpSocket.Poll to read.
#if NET
        [LibraryImport(Library, SetLastError = true)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl, SetLastError = true)] public static extern
#endif
        int udpRecvPoll(UdpSocketHandle handle, int timeout);

        // Raw pointer: only UdpSocketHandle.ReleaseHandle calls it, exactly once.
#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        int udpClose(IntPtr handle);

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        IntPtr udpPlatform();

#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        IntPtr udpPlatformErrorString(int error);

        // No SuppressGCTransition, though the clock never blocks: measured
        // here, it saved nothing beside clock_gettime's own 30 ns.
#if NET
        [LibraryImport(Library)] public static partial
#else
        [DllImport(Library, ExactSpelling = true, CallingConvention = CallingConvention.Cdecl)] public static extern
#endif
        uint udpGetHighPrecisionTime();
    }
}
