/*
 * tidelink: a minimal IPv4 UDP socket layer for a host runtime.
 *
 * The host holds each socket as an opaque handle from udpCreate to udpClose,
 * binds it (after which it is non-blocking with 32768-byte send and receive
 * buffers), moves single datagrams, waits a bounded time for data, and reads
 * system error numbers, their texts and a monotonic millisecond clock.
 * Addresses and ports cross this interface in host byte order only.
 *
 * Every call that answers UDP_ERROR_SYSTEM leaves the reason in the calling
 * thread's errno; udpBind, udpSendTo and udpRecvFrom also store that same
 * number in the handle for udpLastError. Calls on one handle may overlap
 * from several threads (one sending, others receiving or waiting): each
 * takes its own failure's number from errno, as udpLastError answers only
 * the latest failure on the handle, whichever thread's it was. udpClose
 * alone must not overlap any other call on its handle, and ends its use.
 */
#ifndef TIDELINK_H
#define TIDELINK_H

/* The version of this interface; the build reads its own version from here. */
#define TIDELINK_VERSION_MAJOR 0
#define TIDELINK_VERSION_MINOR 1
#define TIDELINK_VERSION_PATCH 0

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Defining TIDELINK_DECLARATIONS_ONLY leaves plain C declarations: no export
 * attribute and no layout checks, for a foreign-function parser that is fed
 * the preprocessed header. A host may also define TIDELINK_API itself. */
#ifndef TIDELINK_API
#if (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32) && !defined(TIDELINK_DECLARATIONS_ONLY)
#define TIDELINK_API __attribute__((visibility("default")))
#else
#define TIDELINK_API
#endif
#endif

/* An IPv4 endpoint, 8 bytes. 127.0.0.1 is address 0x7F000001. */
typedef struct UdpEndPoint {
    uint32_t address;
    uint16_t port;
    uint16_t reserved; /* carries no value; zero when copied out by udpGetEndPoint */
} UdpEndPoint;

#ifndef TIDELINK_DECLARATIONS_ONLY
/* A compiler that disagrees with this layout stops here. C before C11 and
 * C++ before C++11 have no static assertion (MSVC has had static_assert
 * since 2010 whatever its __cplusplus says): a negative array size stops
 * the build instead. */
#if defined(__cplusplus) && (__cplusplus >= 201103L || (defined(_MSC_VER) && _MSC_VER >= 1600))
#define TIDELINK_STATIC_ASSERT(cond, name) static_assert(cond, #name)
#elif !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define TIDELINK_STATIC_ASSERT(cond, name) _Static_assert(cond, #name)
#else
#define TIDELINK_STATIC_ASSERT(cond, name) typedef char name[(cond) ? 1 : -1]
#endif

TIDELINK_STATIC_ASSERT(sizeof(UdpEndPoint) == 8, tidelink_endpoint_size_is_8);
TIDELINK_STATIC_ASSERT(offsetof(UdpEndPoint, address) == 0, tidelink_endpoint_address_at_0);
TIDELINK_STATIC_ASSERT(offsetof(UdpEndPoint, port) == 4, tidelink_endpoint_port_at_4);
TIDELINK_STATIC_ASSERT(offsetof(UdpEndPoint, reserved) == 6, tidelink_endpoint_reserved_at_6);
#endif

/* Socket calls answer 0 or more on success (a byte count for the datagram
 * calls), or one of these. */
typedef int32_t UdpResult;
enum {
    UDP_ERROR_SYSTEM = -1,         /* a system call failed; see udpLastError */
    UDP_ERROR_INVALID_HANDLE = -2, /* null handle, or one with no socket */
    UDP_ERROR_TIMEOUT = -3         /* udpRecvPoll: nothing became readable in time */
};

typedef struct UdpSocket UdpSocket;

/* Null when the system refuses a socket or memory for the handle. */
TIDELINK_API UdpSocket* udpCreate(void);

/* Binds (address 0: all local addresses; port 0: the system's choice), asks
 * for 32768-byte receive and send buffers and makes the socket non-blocking,
 * stopping at the first failure with its error number stored. */
TIDELINK_API UdpResult udpBind(UdpSocket* handle, UdpEndPoint endpoint);

/* The local endpoint as the system reported it at bind; zero before that.
 * out must point to a valid UdpEndPoint (it is not tested for null); its
 * address and port are zeroed even for a bad handle. */
TIDELINK_API UdpResult udpGetEndPoint(UdpSocket* handle, UdpEndPoint* out);

/* The error number of the last failed bind, send or receive (0 if none);
 * -1 for a null handle. Later successes do not clear it. With several
 * threads on the handle it may be another thread's: take errno instead. */
TIDELINK_API int32_t udpLastError(UdpSocket* handle);

/* Sends one datagram; answers the bytes accepted. A negative length is
 * refused with EINVAL. */
TIDELINK_API UdpResult udpSendTo(UdpSocket* handle, const void* buffer, int32_t length,
                                 UdpEndPoint endpoint);

/* Takes one datagram, truncated to size bytes, and its sender (port and
 * address only; the reserved bytes are left as they were). buffer must hold
 * size bytes and sender must point to a valid UdpEndPoint; neither is tested
 * for null. On a bound handle an empty queue answers -1 with EAGAIN at once.
 * A negative size is refused with EINVAL and the datagram stays queued. */
TIDELINK_API UdpResult udpRecvFrom(UdpSocket* handle, void* buffer, int32_t size,
                                   UdpEndPoint* sender);

/* Waits up to timeout milliseconds for the socket to become readable:
 * 0 readable, UDP_ERROR_TIMEOUT, or -1 (a negative timeout or a failed wait;
 * neither stores an error number in the handle). After -1 the calling
 * thread's errno holds the reason: EINTR when a signal handler interrupted
 * the wait (the host waits again for the time left), EINVAL for a negative
 * timeout, EBADF for a descriptor closed under the handle. */
TIDELINK_API UdpResult udpRecvPoll(UdpSocket* handle, int32_t timeout);

/* Closes the socket and frees the handle, even when the close fails: 0, or
 * the close's positive error number. The handle is gone either way. */
TIDELINK_API int32_t udpClose(UdpSocket* handle);

/* "android": the same static string on every call. */
TIDELINK_API const char* udpPlatform(void);

/* The system's text for an error number; owned by the C library, valid until
 * the next such call. */
TIDELINK_API const char* udpPlatformErrorString(int32_t error);

/* Monotonic milliseconds, wrapping modulo 2^32: only differences of two
 * readings, taken in unsigned 32-bit arithmetic, mean anything. */
TIDELINK_API uint32_t udpGetHighPrecisionTime(void);

#ifdef __cplusplus
}
#endif

#endif /* TIDELINK_H */
