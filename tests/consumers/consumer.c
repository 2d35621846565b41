/* A consumer's host program: one datagram to itself on 127.0.0.1. */
#include <tidelink.h>

#include "check.h"

/* How the consumer found the library: set by the consumer projects' builds. */
#ifndef FOUND_THROUGH
#define FOUND_THROUGH "installed"
#endif

int main(void) {
    UdpSocket* socket = udpCreate();
    CHECK_EQ(socket != NULL, 1);
    if (socket == NULL) return 1;
    const UdpEndPoint loopback = {TEST_LOOPBACK, 0, 0};
    UdpEndPoint self = {0, 0, 0};
    CHECK_EQ(udpBind(socket, loopback), 0);
    CHECK_EQ(udpGetEndPoint(socket, &self), 0);

    char buffer[16];
    UdpEndPoint from = {0, 0, 0};
    CHECK_EQ(udpSendTo(socket, "hello", 5, self), 5);
    CHECK_EQ(udpRecvPoll(socket, 2000), 0);
    CHECK_EQ(udpRecvFrom(socket, buffer, (int32_t)sizeof buffer, &from), 5);
    CHECK_EQ(memcmp(buffer, "hello", 5), 0);
    CHECK_EQ(from.port, self.port);
    CHECK_EQ(udpClose(socket), 0);
    printf("%s consumer on %s, port %u\n", FOUND_THROUGH, udpPlatform(), self.port);
    return checkSummary("consumer");
}
