/* Compiled, not run, as C99 and as C++ with every warning an error: the
 * public header must stand alone and be clean in both languages. */
#include "tidelink.h"
#include "tidelink.h" /* a second inclusion is harmless */

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
