// A failed call as a SocketException: the system's error number and its text.
using System.Net.Sockets;

namespace Tidelink
{
    /// <summary>A failed call: the system's error number (errno) and its text.</summary>
    public class UdpException : SocketException
    {
        private readonly string message;

        /// <summary>call failed with the system's error number errorNumber; the message holds the system's text for it.</summary>
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

        /// <summary>The call, the system's text for the error number, and the number.</summary>
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
}
