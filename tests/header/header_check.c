/* Compiled, not run, in every dialect a host may include the header from,
 * with every warning an error: the header must stand alone and be clean. */
#include "tidelink.h"
#include "tidelink.h" /* a second inclusion is harmless */

#if TIDELINK_VERSION_MAJOR < 0 || TIDELINK_VERSION_MINOR < 0 || TIDELINK_VERSION_PATCH < 0
#error "the version macros must be plain integers the preprocessor can compare"
#endif

#ifdef TIDELINK_EXPECT_REFUSAL
/* The layout checks must stop a build that disagrees, in this dialect too. */
TIDELINK_STATIC_ASSERT(sizeof(UdpEndPoint) == 7, tidelink_must_not_compile);
#endif

/* Each export, with the exact type a host declares for it. */
UdpSocket* (*check_create)(void) = udpCreate;
UdpResult (*check_bind)(UdpSocket*, UdpEndPoint) = udpBind;
UdpResult (*check_get_end_point)(UdpSocket*, UdpEndPoint*) = udpGetEndPoint;
int32_t (*check_last_error)(UdpSocket*) = udpLastError;
UdpResult (*check_send_to)(UdpSocket*, const void*, int32_t, UdpEndPoint) = udpSendTo;
UdpResult (*check_recv_from)(UdpSocket*, void*, int32_t, UdpEndPoint*) = udpRecvFrom;
UdpResult (*check_recv_poll)(UdpSocket*, int32_t) = udpRecvPoll;
int32_t (*check_close)(UdpSocket*) = udpClose;
const char* (*check_platform)(void) = udpPlatform;
const char* (*check_error_string)(int32_t) = udpPlatformErrorString;
uint32_t (*check_time)(void) = udpGetHighPrecisionTime;

int check_codes[3] = {UDP_ERROR_SYSTEM, UDP_ERROR_INVALID_HANDLE, UDP_ERROR_TIMEOUT};
