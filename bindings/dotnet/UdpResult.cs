// The library's result codes; 0 or more is success or a byte count.
namespace Tidelink
{
    /// <summary>
    /// The library's result codes: socket calls answer 0 or more on success (a
    /// byte count for the datagram calls), or one of the negative codes.
    /// </summary>
    public enum UdpResult
    {
        /// <summary>Success; the datagram calls answer a byte count instead.</summary>
        Success = 0,
        /// <summary>A system call failed; the thread's errno says why.</summary>
        SystemError = -1,
        /// <summary>A null handle, or one with no socket.</summary>
        InvalidHandle = -2,
        /// <summary>udpRecvPoll: nothing became readable in time.</summary>
        Timeout = -3,
    }
}
