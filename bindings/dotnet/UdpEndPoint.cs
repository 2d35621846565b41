// The library's 8-byte endpoint record, address and port in host byte order,
// and its conversions to and from System.Net's IPEndPoint.
using System;
using System.Net;
using System.Net.Sockets;
using System.Runtime.InteropServices;

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
            if (endPoint == null) throw new ArgumentNullException(nameof(endPoint));
            if (endPoint.AddressFamily != AddressFamily.InterNetwork)
                throw new ArgumentException("only IPv4 endpoints can be used", nameof(endPoint));
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
        public override bool Equals(object? obj) { return obj is UdpEndPoint other && Equals(other); }
        public override int GetHashCode() { return (int)Address ^ Port << 16; }
        public override string ToString() { return ToIPEndPoint().ToString(); }
    }
}
