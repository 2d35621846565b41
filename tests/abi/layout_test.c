/* UdpEndPoint's layout as a host marshals it, past what the header asserts
 * (size and offsets): its fields' sizes, alignment and signedness, the result
 * codes, and the bytes the library itself reads and writes. */
#include <stddef.h>

#include "check.h"
#include "tidelink.h"

/* The interface's layout, written out byte by byte: address at 0 (4 bytes),
 * port at 4 (2 bytes), filler at 6 (2 bytes), each in the target's byte order. */
static void encode(unsigned char raw[8], uint32_t address, uint16_t port, uint16_t filler) {
    memcpy(raw, &address, 4);
    memcpy(raw + 4, &port, 2);
    memcpy(raw + 6, &filler, 2);
}

static void printBytes(const char* label, const unsigned char raw[8]) {
    printf("%s:", label);
    for (int i = 0; i < 8; i++) printf(" %02x", raw[i]);
    printf("\n");
}

struct Aligned {
    char before;
    UdpEndPoint endpoint;
};

static void checkDeclaredLayout(void) {
    /* Each field's size (the header asserts the record's size and offsets). */
    CHECK_EQ(sizeof(((UdpEndPoint*)0)->address), 4);
    CHECK_EQ(sizeof(((UdpEndPoint*)0)->port), 2);
    CHECK_EQ(sizeof(((UdpEndPoint*)0)->reserved), 2);
    /* 4-byte alignment, as an 8-byte record of a uint32 and two uint16. */
    CHECK_EQ(offsetof(struct Aligned, endpoint), 4);
    /* Both values are unsigned: all ones reads back as the largest value. */
    UdpEndPoint ones;
    memset(&ones, 0xFF, sizeof ones);
    CHECK_EQ(ones.address, 0xFFFFFFFFu);
    CHECK_EQ(ones.port, 0xFFFFu);
    /* The result codes are part of the interface too, and no type in the
     * exported functions carries them for an ABI comparison to see. */
    CHECK_EQ(UDP_ERROR_SYSTEM, -1);
    CHECK_EQ(UDP_ERROR_INVALID_HANDLE, -2);
    CHECK_EQ(UDP_ERROR_TIMEOUT, -3);
    printf("sizeof(UdpEndPoint) %u: address at %u, port at %u, reserved at %u\n",
           (unsigned)sizeof(UdpEndPoint), (unsigned)offsetof(UdpEndPoint, address),
           (unsigned)offsetof(UdpEndPoint, port), (unsigned)offsetof(UdpEndPoint, reserved));
}

/* The compiled library reads and writes the same bytes: an endpoint built from
 * raw bytes reaches the right socket by value, and the endpoints the library
 * writes back land at the fixed offsets. */
static void checkLibraryLayout(void) {
    UdpSocket* sender = udpCreate();
    UdpSocket* receiver = udpCreate();
    if (sender == NULL || receiver == NULL) {
        printf("FAILED: udpCreate answered null (errno %d)\n", errno);
        failures++;
        return;
    }
    unsigned char raw[8];
    UdpEndPoint local;
    encode(raw, TEST_LOOPBACK, 0, 0);
    memcpy(&local, raw, sizeof local);
    CHECK_EQ(udpBind(sender, local), 0);
    CHECK_EQ(udpBind(receiver, local), 0);

    UdpEndPoint bound;
    memset(&bound, 0xAB, sizeof bound);
    CHECK_EQ(udpGetEndPoint(receiver, &bound), 0);
    unsigned char boundRaw[8];
    memcpy(boundRaw, &bound, sizeof boundRaw);
    uint32_t address;
    uint16_t port;
    memcpy(&address, boundRaw, 4);
    memcpy(&port, boundRaw + 4, 2);
    unsigned char expected[8];
    encode(expected, TEST_LOOPBACK, port, 0);
    printBytes("receiver's endpoint from udpGetEndPoint", boundRaw);
    CHECK_EQ(address, TEST_LOOPBACK);
    CHECK_EQ(port != 0, 1);
    CHECK_EQ(memcmp(boundRaw, expected, 8), 0);

    /* By value, with a filler that carries no value. */
    UdpEndPoint destination;
    encode(raw, TEST_LOOPBACK, port, 0x5A5A);
    memcpy(&destination, raw, sizeof destination);
    CHECK_EQ(udpSendTo(sender, "layout", 6, destination), 6);
    CHECK_EQ(udpRecvPoll(receiver, 2000), 0);

    UdpEndPoint senderBound;
    CHECK_EQ(udpGetEndPoint(sender, &senderBound), 0);
    unsigned char senderRaw[8];
    memcpy(senderRaw, &senderBound, sizeof senderRaw);
    uint16_t senderPort;
    memcpy(&senderPort, senderRaw + 4, 2);

    UdpEndPoint from;
    memset(&from, 0xAB, sizeof from);
    char buffer[16];
    CHECK_EQ(udpRecvFrom(receiver, buffer, (int32_t)sizeof buffer, &from), 6);
    CHECK_EQ(memcmp(buffer, "layout", 6), 0);
    unsigned char fromRaw[8];
    memcpy(fromRaw, &from, sizeof fromRaw);
    /* udpRecvFrom writes address and port and leaves the filler alone. */
    encode(expected, TEST_LOOPBACK, senderPort, 0xABAB);
    printBytes("sender from udpRecvFrom", fromRaw);
    CHECK_EQ(memcmp(fromRaw, expected, 8), 0);

    CHECK_EQ(udpClose(sender), 0);
    CHECK_EQ(udpClose(receiver), 0);
}

int main(void) {
    checkDeclaredLayout();
    checkLibraryLayout();
    return checkSummary("layout");
}
