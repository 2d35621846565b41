/* Compiled, not run, in every dialect a host may include the header from,
 * with every warning an error. */
#include "tidelink.h"

#if TIDELINK_VERSION_MAJOR < 0 || TIDELINK_VERSION_MINOR < 0 || TIDELINK_VERSION_PATCH < 0
#error "the version macros must be plain integers the preprocessor can compare"
#endif

#ifdef TIDELINK_EXPECT_REFUSAL
/* The layout checks must stop a build that disagrees, in this dialect too. */
TIDELINK_STATIC_ASSERT(sizeof(UdpEndPoint) == 7, tidelink_must_not_compile);
#endif

int tidelink_dialect_check(UdpEndPoint endpoint, UdpSocket* handle) {
    UdpResult (*send)(UdpSocket*, const void*, int32_t, UdpEndPoint) = udpSendTo;
    return send(handle, "", 0, endpoint) == UDP_ERROR_TIMEOUT;
}
