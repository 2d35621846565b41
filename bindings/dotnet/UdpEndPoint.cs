// The library's 8-byte endpoint record, address and port in host byte order,
// and its conversions to and from System.Net's IPEndPoint.
using System;
using System.Net;
using System.Net.Sockets;
using System.Runtime.InteropServices;

namespace Tidelink
{
    /// <summary>An IPv4 endpoint as the library's 8-byte record holds it: address and port in host byte order.</summary>
    /// <remarks>Passed by value as a struct: a class or a ref would pass a pointer.</remarks>
    [StructLayout(LayoutKind.Sequential)]
    public readonly struct UdpEndPoint : IEquatable<UdpEndPoint>
    {
        private readonly uint address;
        private readonly ushort port;
        // The record's two filler bytes: they carry no value.
        private readonly ushort reserved;

        /// <summary>127.0.0.1.</summary>
        public const uint Loopback = 0x7F000001;
        /// <summary>0.0.0.0: bound, all local addresses.</summary>
        public const uint Any = 0;

        /// <summary>An endpoint from an address and a port in host byte order (port 0 binds to a port of the system's choice).</summary>
        public UdpEndPoint(uint address, ushort port)
        {
            this.address = address;
            this.port = port;
            reserved = 0;
        }

        /// <summary>The IPv4 address in host byte order: 127.0.0.1 is 0x7F000001.</summary>
        public uint Address { get { return address; } }

        /// <summary>The UDP port in host byte order.</summary>
        public ushort Port { get { return port; } }

        /// <summary>An IPv4 <see cref="IPEndPoint"/> as the library's endpoint; any other family is refused.</summary>
        public static UdpEndPoint FromIPEndPoint(IPEndPoint endPoint)
        {
            if (endPoint == null) throw new ArgumentNullException(nameof(endPoint));
            if (endPoint.AddressFamily != AddressFamily.InterNetwork)
                throw new ArgumentException("only IPv4 endpoints can be used", nameof(endPoint));
            byte[] b = endPoint.Address.GetAddressBytes();
            return new UdpEndPoint((uint)b[0] << 24 | (uint)b[1] << 16 | (uint)b[2] << 8 | b[3], checked((ushort)endPoint.Port));
        }

        /// <summary>This endpoint as an <see cref="IPEndPoint"/>.</summary>
        public IPEndPoint ToIPEndPoint()
        {
            byte[] b = { (byte)(address >> 24), (byte)(address >> 16), (byte)(address >> 8), (byte)address };
            return new IPEndPoint(new IPAddress(b), port);
        }

        /// <summary>Same address and port.</summary>
        public bool Equals(UdpEndPoint other) { return address == other.address && port == other.port; }
        /// <summary>Whether obj is a <see cref="UdpEndPoint"/> with the same address and port.</summary>
        public override bool Equals(object? obj) { return obj is UdpEndPoint other && Equals(other); }
        /// <summary>A hash of the address and port.</summary>
        public override int GetHashCode() { return (int)address ^ port << 16; }
        /// <summary>The dotted form and port, as 127.0.0.1:5000.</summary>
        public override string ToString() { return ToIPEndPoint().ToString(); }
        /// <summary>Same address and port.</summary>
        public static bool operator ==(UdpEndPoint left, UdpEndPoint right) { return left.Equals(right); }
        /// <summary>Another address or port.</summary>
        public static bool operator !=(UdpEndPoint left, UdpEndPoint right) { return !left.Equals(right); }
    }
}
