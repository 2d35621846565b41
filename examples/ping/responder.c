/* The echo responder: every datagram goes back to its sender unchanged. */
#include <errno.h>
#include <stdio.h>

#include "roles.h"

#define MAX_DATAGRAM 65536

void reportFailure(const char* what, int32_t error) {
    fprintf(stderr, "tidelink-ping: %s: %s\n", what, udpPlatformErrorString(error));
}

UdpSocket* openBound(UdpEndPoint local) {
    UdpSocket* handle = udpCreate();
    if (handle == NULL) {
        reportFailure("no socket", errno);
        return NULL;
    }
    if (udpBind(handle, local) != 0) {
        reportFailure("bind", udpLastError(handle));
        udpClose(handle);
        return NULL;
    }
    return handle;
}

int echoOne(UdpSocket* handle) {
    static unsigned char buffer[MAX_DATAGRAM];
    UdpEndPoint from;
    const int32_t length = udpRecvFrom(handle, buffer, MAX_DATAGRAM, &from);
    if (length < 0) {
        reportFailure("echo receive", udpLastError(handle));
        return -1;
    }
    if (udpSendTo(handle, buffer, length, from) != length) {
        reportFailure("echo send", udpLastError(handle));
        return -1;
    }
    return 0;
}

int runResponder(const PingOptions* options) {
    const UdpEndPoint any = {0, options->echoPort, 0};
    UdpSocket* handle = openBound(any);
    if (handle == NULL) return 1;
    UdpEndPoint bound;
    udpGetEndPoint(handle, &bound);
    printf("tidelink-ping: echoing on 0.0.0.0:%u\n", bound.port);
    fflush(stdout);

    int status = 0;
    for (uint32_t answered = 0; options->count == 0 || answered < options->count;) {
        const int32_t ready = udpRecvPoll(handle, 1000);
        if (ready == UDP_ERROR_TIMEOUT) continue;
        if (ready != 0) {
            reportFailure("wait", errno); /* a failed wait stores no number; errno holds it */
            status = 1;
            break;
        }
        if (echoOne(handle) != 0) {
            status = 1;
            break;
        }
        ++answered;
    }
    udpClose(handle);
    return status;
}
