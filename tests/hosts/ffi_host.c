/* A host calling every export through libffi, as the FFI engines under
 * managed runtimes do: libffi builds each call frame from a description of
 * the function's type, the endpoint travels as a struct by value, and results
 * come back widened to a register, as libffi hands them to an engine. */
#include <dlfcn.h>
#include <errno.h>
#include <ffi.h>
#include <stddef.h>
#include <string.h>

#include "check.h"
#include "tidelink.h" /* types and result codes only: every call goes through libffi */

/* UdpEndPoint as an engine declares it: its fields' types in order, with
 * size, alignment and offsets left to libffi's rules for the target. */
static ffi_type* endpointFields[] = {&ffi_type_uint32, &ffi_type_uint16, &ffi_type_uint16, NULL};
static ffi_type endpointType = {0, 0, FFI_TYPE_STRUCT, endpointFields};

enum {
    CREATE, BIND, GET_END_POINT, LAST_ERROR, SEND_TO, RECV_FROM, RECV_POLL, CLOSE,
    PLATFORM, ERROR_STRING, CLOCK, FUNCTION_COUNT
};

typedef struct Function {
    const char* name;
    ffi_type* result;
    unsigned count;
    ffi_type* parameters[4];
    void (*address)(void);
    ffi_cif cif;
} Function;

static Function functions[FUNCTION_COUNT] = {
    [CREATE] = {"udpCreate", &ffi_type_pointer, 0, {NULL}, NULL, {0}},
    [BIND] = {"udpBind", &ffi_type_sint32, 2, {&ffi_type_pointer, &endpointType}, NULL, {0}},
    [GET_END_POINT] = {"udpGetEndPoint", &ffi_type_sint32, 2, {&ffi_type_pointer, &ffi_type_pointer}, NULL, {0}},
    [LAST_ERROR] = {"udpLastError", &ffi_type_sint32, 1, {&ffi_type_pointer}, NULL, {0}},
    [SEND_TO] = {"udpSendTo", &ffi_type_sint32, 4,
                 {&ffi_type_pointer, &ffi_type_pointer, &ffi_type_sint32, &endpointType}, NULL, {0}},
    [RECV_FROM] = {"udpRecvFrom", &ffi_type_sint32, 4,
                   {&ffi_type_pointer, &ffi_type_pointer, &ffi_type_sint32, &ffi_type_pointer}, NULL, {0}},
    [RECV_POLL] = {"udpRecvPoll", &ffi_type_sint32, 2, {&ffi_type_pointer, &ffi_type_sint32}, NULL, {0}},
    [CLOSE] = {"udpClose", &ffi_type_sint32, 1, {&ffi_type_pointer}, NULL, {0}},
    [PLATFORM] = {"udpPlatform", &ffi_type_pointer, 0, {NULL}, NULL, {0}},
    [ERROR_STRING] = {"udpPlatformErrorString", &ffi_type_pointer, 1, {&ffi_type_sint32}, NULL, {0}},
    [CLOCK] = {"udpGetHighPrecisionTime", &ffi_type_uint32, 0, {NULL}, NULL, {0}},
};

/* Integer results narrower than a register arrive in a whole ffi_arg,
 * widened by their type's signedness. */
static int32_t invokeInt32(int function, void** arguments) {
    ffi_arg result = 0;
    ffi_call(&functions[function].cif, functions[function].address, &result, arguments);
    return (int32_t)(ffi_sarg)result;
}

static uint32_t invokeUint32(int function, void** arguments) {
    ffi_arg result = 0;
    ffi_call(&functions[function].cif, functions[function].address, &result, arguments);
    return (uint32_t)result;
}

static void* invokePointer(int function, void** arguments) {
    void* result = NULL;
    ffi_call(&functions[function].cif, functions[function].address, &result, arguments);
    return result;
}

static UdpSocket* callCreate(void) {
    return (UdpSocket*)invokePointer(CREATE, NULL);
}

static int32_t callBind(UdpSocket* handle, UdpEndPoint endpoint) {
    void* arguments[] = {&handle, &endpoint};
    return invokeInt32(BIND, arguments);
}

static int32_t callGetEndPoint(UdpSocket* handle, UdpEndPoint* out) {
    void* arguments[] = {&handle, &out};
    return invokeInt32(GET_END_POINT, arguments);
}

static int32_t callLastError(UdpSocket* handle) {
    void* arguments[] = {&handle};
    return invokeInt32(LAST_ERROR, arguments);
}

static int32_t callSendTo(UdpSocket* handle, const void* buffer, int32_t length, UdpEndPoint to) {
    void* arguments[] = {&handle, &buffer, &length, &to};
    return invokeInt32(SEND_TO, arguments);
}

static int32_t callRecvFrom(UdpSocket* handle, void* buffer, int32_t size, UdpEndPoint* from) {
    void* arguments[] = {&handle, &buffer, &size, &from};
    return invokeInt32(RECV_FROM, arguments);
}

static int32_t callRecvPoll(UdpSocket* handle, int32_t timeout) {
    void* arguments[] = {&handle, &timeout};
    return invokeInt32(RECV_POLL, arguments);
}

static int32_t callClose(UdpSocket* handle) {
    void* arguments[] = {&handle};
    return invokeInt32(CLOSE, arguments);
}

static const char* callErrorString(int32_t error) {
    void* arguments[] = {&error};
    return (const char*)invokePointer(ERROR_STRING, arguments);
}

static UdpEndPoint endpoint(uint32_t address, uint16_t port, uint16_t reserved) {
    UdpEndPoint e;
    e.address = address;
    e.port = port;
    e.reserved = reserved;
    return e;
}

static void sameEndPoint(UdpEndPoint actual, UdpEndPoint expected) {
    CHECK_EQ(actual.address, expected.address);
    CHECK_EQ(actual.port, expected.port);
}

struct AfterChar {
    char c;
    UdpEndPoint endpoint; /* at the record's alignment */
};

/* libffi's layout for the record it passes by value is the header's. */
static void checkEndPointLayout(void) {
    size_t offsets[3] = {0, 0, 0};
    CHECK_EQ(ffi_get_struct_offsets(FFI_DEFAULT_ABI, &endpointType, offsets), FFI_OK);
    CHECK_EQ(endpointType.size, sizeof(UdpEndPoint));
    CHECK_EQ(endpointType.alignment, offsetof(struct AfterChar, endpoint));
    CHECK_EQ(offsets[0], offsetof(UdpEndPoint, address));
    CHECK_EQ(offsets[1], offsetof(UdpEndPoint, port));
    CHECK_EQ(offsets[2], offsetof(UdpEndPoint, reserved));
}

static void exchange(void) {
    const char* platform = (const char*)invokePointer(PLATFORM, NULL);
    CHECK_EQ(strcmp(platform, "android"), 0);

    UdpSocket* client = callCreate();
    UdpSocket* server = callCreate();
    CHECK_EQ(client != NULL && server != NULL, 1);
    if (client == NULL || server == NULL) return;
    CHECK_EQ(callLastError(client), 0);
    UdpEndPoint clientEnd = endpoint(~0u, 0xFFFF, 0xFFFF);
    CHECK_EQ(callGetEndPoint(client, &clientEnd), 0);
    sameEndPoint(clientEnd, endpoint(0, 0, 0));

    /* The filler carries nothing: a bind ignores it, a copy out zeroes it. */
    const UdpEndPoint loopback = endpoint(TEST_LOOPBACK, 0, 0xA5A5);
    const int32_t clientBound = callBind(client, loopback);
    const int32_t serverBound = callBind(server, loopback);
    CHECK_EQ(clientBound, 0);
    CHECK_EQ(serverBound, 0);
    if (clientBound != 0 || serverBound != 0) { /* unbound, a receive would block */
        callClose(client);
        callClose(server);
        return;
    }
    UdpEndPoint serverEnd = endpoint(0, 0, 0xFFFF);
    CHECK_EQ(callGetEndPoint(client, &clientEnd), 0);
    CHECK_EQ(callGetEndPoint(server, &serverEnd), 0);
    CHECK_EQ(serverEnd.address, TEST_LOOPBACK);
    CHECK_EQ(serverEnd.port != 0 && serverEnd.port != clientEnd.port, 1);
    CHECK_EQ(serverEnd.reserved, 0);

    /* Nothing queued: a 50 ms wait times out, as the clock sees it. */
    const uint32_t started = invokeUint32(CLOCK, NULL);
    CHECK_EQ(callRecvPoll(server, 50), UDP_ERROR_TIMEOUT);
    const uint32_t waited = invokeUint32(CLOCK, NULL) - started; /* modulo 2^32 */
    CHECK_EQ(waited >= 40 && waited < 5000, 1);
    CHECK_EQ(callRecvPoll(server, -1), UDP_ERROR_SYSTEM);

    /* A request, and a reply to the sender the library wrote out. The
     * endpoint by value is udpSendTo's fourth argument: on 32-bit ARM it
     * is split between the last argument register and the stack. */
    char buffer[64];
    UdpEndPoint from = endpoint(0, 0, 0);
    CHECK_EQ(callSendTo(client, "ping", 4, serverEnd), 4);
    CHECK_EQ(callRecvPoll(server, 2000), 0);
    CHECK_EQ(callRecvFrom(server, buffer, (int32_t)sizeof buffer, &from), 4);
    CHECK_EQ(memcmp(buffer, "ping", 4), 0);
    sameEndPoint(from, clientEnd);
    CHECK_EQ(callSendTo(server, "pong!", 5, from), 5);
    CHECK_EQ(callRecvPoll(client, 2000), 0);
    from = endpoint(0, 0, 0);
    CHECK_EQ(callRecvFrom(client, buffer, (int32_t)sizeof buffer, &from), 5);
    CHECK_EQ(memcmp(buffer, "pong!", 5), 0);
    sameEndPoint(from, serverEnd);

    /* An empty queue on a bound handle: would block, at once. */
    CHECK_EQ(callRecvFrom(client, buffer, (int32_t)sizeof buffer, &from), UDP_ERROR_SYSTEM);
    const int32_t error = callLastError(client);
    CHECK_EQ(error == EAGAIN || error == EWOULDBLOCK, 1);
    CHECK_EQ(strcmp(callErrorString(error), strerror(error)), 0);

    CHECK_EQ(callBind(NULL, loopback), UDP_ERROR_INVALID_HANDLE);
    CHECK_EQ(callLastError(NULL), -1);
    CHECK_EQ(callClose(NULL), UDP_ERROR_INVALID_HANDLE);
    CHECK_EQ(callClose(client), 0);
    CHECK_EQ(callClose(server), 0);
}

int main(void) {
    /* By file name, as a runtime loads a native library; LD_LIBRARY_PATH
     * leads the loader to it. */
    void* library = dlopen("libtidelink_android.so", RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        printf("FAILED: dlopen(libtidelink_android.so): %s\n", dlerror());
        return 1;
    }
    int prepared = 0;
    for (int i = 0; i < FUNCTION_COUNT; i++) {
        Function* f = &functions[i];
        void* symbol = dlsym(library, f->name);
        if (symbol == NULL || sizeof symbol != sizeof f->address) {
            printf("FAILED: dlsym(%s): %s\n", f->name, symbol == NULL ? dlerror() : "pointer sizes differ");
            continue;
        }
        /* Copied as bytes: ISO C has no cast from an object pointer to a function pointer. */
        memcpy(&f->address, &symbol, sizeof symbol);
        const ffi_status status = ffi_prep_cif(&f->cif, FFI_DEFAULT_ABI, f->count, f->result, f->parameters);
        CHECK_EQ(status, FFI_OK);
        prepared += status == FFI_OK;
    }
    printf("prepared %d of %d call frames\n", prepared, FUNCTION_COUNT);
    checkEndPointLayout();
    if (prepared == FUNCTION_COUNT) exchange();
    CHECK_EQ(dlclose(library), 0);
    return checkSummary("libffi host") == 0 && prepared == FUNCTION_COUNT ? 0 : 1;
}
