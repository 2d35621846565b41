// The library's negative result codes; 0 or more is success or a byte count.
namespace Tidelink
{
    /// <summary>
    /// The library's result codes: socket calls answer 0 or more on success (a
    /// byte count for the datagram calls), or one of these.
    /// </summary>
    public static class UdpResult
    {
        /// <summary>A system call failed; see udpLastError.</summary>
        public const int SystemError = -1;
        /// <summary>A null handle, or one with no socket.</summary>
        public const int InvalidHandle = -2;
        /// <summary>udpRecvPoll: nothing became readable in time.</summary>
        public const int Timeout = -3;
    }
}
