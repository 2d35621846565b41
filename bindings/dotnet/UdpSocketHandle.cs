// The SafeHandle that owns one library handle: calls in flight keep it open,
// and the last of them (or Dispose, if none is in flight) closes it once.
using System;
using System.Runtime.InteropServices;

namespace Tidelink
{
    /// <summary>Owns one library handle and closes it exactly once.</summary>
    internal sealed class UdpSocketHandle : SafeHandle
    {
        private int closeError;

        // Public and parameterless: the marshalling stubs make the handle they return.
        /// <summary>An invalid handle, for udpCreate's marshalling to fill.</summary>
        public UdpSocketHandle() : base(IntPtr.Zero, true) { }

        /// <summary>Whether the handle is null: udpCreate was refused a socket or memory.</summary>
        public override bool IsInvalid { get { return handle == IntPtr.Zero; } }

        /// <summary>udpClose's answer once the handle is released: 0, or the close's error number.</summary>
        /// <remarks>Written by whichever thread releases the handle, read by any.</remarks>
        public int CloseError { get { return System.Threading.Volatile.Read(ref closeError); } }

        /// <summary>Calls udpClose once; the library frees the handle even when the close fails.</summary>
        protected override bool ReleaseHandle()
        {
            // The library frees the handle even when the close fails, so it is
            // released either way; the error number is kept for UdpSocket.CloseErrorNumber.
            System.Threading.Volatile.Write(ref closeError, Native.udpClose(handle));
            return true;
        }
    }
}
