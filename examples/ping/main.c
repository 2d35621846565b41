/* tidelink-ping: a host that drives the library end to end, as an
 * engineer evaluating it would first run it. */
#include "options.h"
#include "roles.h"

#define LOOPBACK 0x7F000001u /* 127.0.0.1 */

int main(int argc, char** argv) {
    PingOptions options;
    if (parseOptions(argc, argv, &options) != 0) return 2;
    if (options.mode == MODE_ECHO) return runResponder(&options);

    const UdpEndPoint local = {options.mode == MODE_LOCAL ? LOOPBACK : 0, 0, 0};
    UdpSocket* pinger = openBound(local);
    if (pinger == NULL) return 1;
    UdpSocket* responder = NULL;
    if (options.mode == MODE_LOCAL && (responder = openBound(local)) == NULL) {
        udpClose(pinger);
        return 1;
    }
    const int status = runPinger(&options, pinger, responder);
    if (responder != NULL) udpClose(responder);
    udpClose(pinger);
    return status;
}
