// The library's negative result codes; 0 or more is success or a byte count.
namespace Tidelink
{
    /// <summary>The library's result codes.</summary>
    public static class UdpResult
    {
        public const int SystemError = -1;
        public const int InvalidHandle = -2;
        public const int Timeout = -3;
    }
}
