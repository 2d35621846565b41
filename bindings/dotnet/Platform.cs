// The calls that need no handle, and Load, which names the library's file
// before the first call.
using System;
using System.Runtime.InteropServices;

namespace Tidelink
{
    /// <summary>The calls that need no handle.</summary>
    public static class Platform
    {
        /// <summary>
        /// Loads the library from path, to be used instead of the copy beside
        /// the binding (a package's runtimes/&lt;rid&gt;/native/) or the
        /// system's. Call it before the first socket or platform call.
        /// </summary>
        public static void Load(string path)
        {
            if (path == null) throw new ArgumentNullException(nameof(path));
            NativeLoader.Load(path);
        }

        /// <summary>"android".</summary>
        public static string Name { get { return Marshal.PtrToStringAnsi(Native.udpPlatform())!; } }

        /// <summary>The system's text for an error number, copied before the next call can replace it.</summary>
        public static string ErrorString(int errorNumber)
        {
            return Marshal.PtrToStringAnsi(Native.udpPlatformErrorString(errorNumber))!;
        }

        /// <summary>Monotonic milliseconds, wrapping modulo 2^32: subtract two readings as uint.</summary>
        public static uint Milliseconds { get { return Native.udpGetHighPrecisionTime(); } }
    }
}
