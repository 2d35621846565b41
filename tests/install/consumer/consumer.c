/* A consumer of the installed library: one datagram to itself on 127.0.0.1. */
#include <stdio.h>
#include <string.h>
#include <tidelink.h>

int main(void) {
    UdpSocket* socket = udpCreate();
    UdpEndPoint loopback = {0x7F000001, 0, 0};
    UdpEndPoint self;
    if (socket == NULL || udpBind(socket, loopback) != 0 || udpGetEndPoint(socket, &self) != 0) {
        fprintf(stderr, "set-up failed: %s\n", udpPlatformErrorString(udpLastError(socket)));
        return 1;
    }
    char buffer[16];
    UdpEndPoint from;
    int32_t received = -1;
    if (udpSendTo(socket, "hello", 5, self) == 5 && udpRecvPoll(socket, 2000) == 0) {
        received = udpRecvFrom(socket, buffer, (int32_t)sizeof buffer, &from);
    }
    udpClose(socket);
    if (received != 5 || memcmp(buffer, "hello", 5) != 0 || from.port != self.port) {
        fprintf(stderr, "no datagram came back (%d)\n", received);
        return 1;
    }
    printf("%s consumer on %s: 5 bytes from 127.0.0.1:%u\n", FOUND_THROUGH, udpPlatform(), from.port);
    return 0;
}
