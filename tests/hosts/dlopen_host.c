/* A host loading the library as a runtime does: dlopen by file name, every
 * export resolved with dlsym, datagrams exchanged through the pointers. */
#include <dlfcn.h>
#include <errno.h>
#include <string.h>

#include "check.h"

#include "tidelink.h" /* types only: every call goes through a resolved pointer */

typedef struct Api {
    UdpSocket* (*create)(void);
    UdpResult (*bind)(UdpSocket*, UdpEndPoint);
    UdpResult (*getEndPoint)(UdpSocket*, UdpEndPoint*);
    int32_t (*lastError)(UdpSocket*);
    UdpResult (*sendTo)(UdpSocket*, const void*, int32_t, UdpEndPoint);
    UdpResult (*recvFrom)(UdpSocket*, void*, int32_t, UdpEndPoint*);
    UdpResult (*recvPoll)(UdpSocket*, int32_t);
    int32_t (*close)(UdpSocket*);
    const char* (*platform)(void);
    const char* (*platformErrorString)(int32_t);
    uint32_t (*highPrecisionTime)(void);
} Api;

/* dlsym answers an object pointer; POSIX lets it hold a function's address,
 * and copying the bytes avoids a cast that ISO C leaves undefined. */
static int resolve(void* library, const char* name, void* slot, size_t size) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL || size != sizeof symbol) {
        printf("FAILED: dlsym(%s): %s\n", name, symbol == NULL ? dlerror() : "pointer sizes differ");
        failures++;
        return 0;
    }
    memcpy(slot, &symbol, size);
    return 1;
}

#define RESOLVE(field, name) resolved += resolve(library, name, &api.field, sizeof api.field)

static UdpEndPoint loopback(uint16_t port) {
    UdpEndPoint endpoint;
    memset(&endpoint, 0, sizeof endpoint);
    endpoint.address = TEST_LOOPBACK;
    endpoint.port = port;
    return endpoint;
}

static void exchange(const Api* api) {
    CHECK_EQ(strcmp(api->platform(), "android"), 0);

    UdpSocket* client = api->create();
    UdpSocket* server = api->create();
    CHECK_EQ(client != NULL && server != NULL, 1);
    if (client == NULL || server == NULL) return;
    CHECK_EQ(api->bind(client, loopback(0)), 0);
    CHECK_EQ(api->bind(server, loopback(0)), 0);
    UdpEndPoint clientEnd;
    UdpEndPoint serverEnd;
    CHECK_EQ(api->getEndPoint(client, &clientEnd), 0);
    CHECK_EQ(api->getEndPoint(server, &serverEnd), 0);
    CHECK_EQ(serverEnd.address, TEST_LOOPBACK);
    CHECK_EQ(serverEnd.port != 0, 1);

    /* A request, and a reply sent back to the sender the library reported. */
    const uint32_t started = api->highPrecisionTime();
    CHECK_EQ(api->sendTo(client, "ping", 4, serverEnd), 4);
    CHECK_EQ(api->recvPoll(server, 2000), 0);
    char buffer[64];
    UdpEndPoint from;
    memset(&from, 0, sizeof from);
    CHECK_EQ(api->recvFrom(server, buffer, (int32_t)sizeof buffer, &from), 4);
    CHECK_EQ(memcmp(buffer, "ping", 4), 0);
    CHECK_EQ(from.address, clientEnd.address);
    CHECK_EQ(from.port, clientEnd.port);

    CHECK_EQ(api->sendTo(server, "pong!", 5, from), 5);
    CHECK_EQ(api->recvPoll(client, 2000), 0);
    memset(&from, 0, sizeof from);
    CHECK_EQ(api->recvFrom(client, buffer, (int32_t)sizeof buffer, &from), 5);
    CHECK_EQ(memcmp(buffer, "pong!", 5), 0);
    CHECK_EQ(from.address, serverEnd.address);
    CHECK_EQ(from.port, serverEnd.port);
    const uint32_t elapsed = api->highPrecisionTime() - started; /* modulo 2^32 */
    CHECK_EQ(elapsed < 10000u, 1);

    /* Nothing queued: the wait times out, the receive would block. */
    CHECK_EQ(api->recvPoll(client, 20), UDP_ERROR_TIMEOUT);
    CHECK_EQ(api->recvFrom(client, buffer, (int32_t)sizeof buffer, &from), UDP_ERROR_SYSTEM);
    const int32_t error = api->lastError(client);
    CHECK_EQ(error == EAGAIN || error == EWOULDBLOCK, 1);
    CHECK_EQ(strcmp(api->platformErrorString(error), strerror(error)), 0);

    CHECK_EQ(api->bind(NULL, loopback(0)), UDP_ERROR_INVALID_HANDLE);
    CHECK_EQ(api->lastError(NULL), -1);
    CHECK_EQ(api->close(client), 0);
    CHECK_EQ(api->close(server), 0);
}

int main(void) {
    /* By file name, as a runtime's loadLibrary does; the loader's search path
     * (LD_LIBRARY_PATH here) finds it. */
    void* library = dlopen("libtidelink_android.so", RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        printf("FAILED: dlopen(libtidelink_android.so): %s\n", dlerror());
        return 1;
    }
    Api api;
    int resolved = 0;
    RESOLVE(create, "udpCreate");
    RESOLVE(bind, "udpBind");
    RESOLVE(getEndPoint, "udpGetEndPoint");
    RESOLVE(lastError, "udpLastError");
    RESOLVE(sendTo, "udpSendTo");
    RESOLVE(recvFrom, "udpRecvFrom");
    RESOLVE(recvPoll, "udpRecvPoll");
    RESOLVE(close, "udpClose");
    RESOLVE(platform, "udpPlatform");
    RESOLVE(platformErrorString, "udpPlatformErrorString");
    RESOLVE(highPrecisionTime, "udpGetHighPrecisionTime");
    printf("resolved %d of 11 functions\n", resolved);
    if (resolved == 11) exchange(&api);
    CHECK_EQ(dlclose(library), 0);
    return checkSummary("dlopen host") == 0 && resolved == 11 ? 0 : 1;
}
