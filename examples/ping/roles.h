/* The two roles of tidelink-ping and what they share. */
#ifndef TIDELINK_PING_ROLES_H
#define TIDELINK_PING_ROLES_H

#include "options.h"
#include "tidelink.h"

/* Pings options->target, or, given a responder handle, that responder's
 * endpoint, serving each ping on it in turn. Answers the exit code. */
int runPinger(const PingOptions* options, UdpSocket* pinger, UdpSocket* responder);

/* Answers pings on options->echoPort until count are answered (0: never).
 * Answers the exit code. */
int runResponder(const PingOptions* options);

/* Takes one queued datagram and sends it back to its sender; 0 or -1. */
int echoOne(UdpSocket* handle);

/* Prints what failed with the system's text for the number it left. */
void reportFailure(const char* what, int32_t error);

UdpSocket* openBound(UdpEndPoint local);

#endif
