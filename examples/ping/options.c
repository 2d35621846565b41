/* Parsing tidelink-ping's command line into PingOptions. */
#include "options.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#define MAX_PAYLOAD 65507 /* largest UDP payload over IPv4 */

void printUsage(FILE* out) {
    fputs("usage: tidelink-ping [options]              ping an echo responder of its own over 127.0.0.1\n"
          "       tidelink-ping [options] HOST:PORT    ping a responder at HOST (dotted IPv4)\n"
          "       tidelink-ping [options] --echo PORT  answer pings on PORT (0: any free port)\n"
          "options:\n"
          "  --count N       round trips (default 10000); with --echo, stop after N (default: never)\n"
          "  --size BYTES    payload size, 0 to 65507 (default 64)\n"
          "  --interval MS   pause between pings (default 0)\n"
          "  --timeout MS    longest wait for each reply (default 1000)\n"
          "  --help          show this text\n",
          out);
}

static int fail(const char* what, const char* value) {
    if (value != NULL) {
        fprintf(stderr, "tidelink-ping: %s, not '%s'\n", what, value);
    } else {
        fprintf(stderr, "tidelink-ping: %s\n", what);
    }
    printUsage(stderr);
    return -1;
}

/* Whole decimal numbers only: no sign, no spaces, no trailing text. */
static int parseNumber(const char* text, unsigned long max, unsigned long* out) {
    if (text == NULL || text[0] < '0' || text[0] > '9') return -1;
    char* end = NULL;
    errno = 0;
    const unsigned long value = strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > max) return -1;
    *out = value;
    return 0;
}

static int parseAddress(const char* text, size_t length, uint32_t* out) {
    uint32_t address = 0;
    size_t at = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && (at >= length || text[at++] != '.')) return -1;
        unsigned value = 0, digits = 0;
        while (at < length && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + (unsigned)(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return -1;
        address = (address << 8) | value;
    }
    if (at != length) return -1;
    *out = address;
    return 0;
}

static int parseTarget(const char* text, UdpEndPoint* out) {
    const char* colon = strrchr(text, ':');
    unsigned long port = 0;
    if (colon == NULL || parseAddress(text, (size_t)(colon - text), &out->address) != 0 ||
        parseNumber(colon + 1, 65535, &port) != 0 || port == 0) {
        return -1;
    }
    out->port = (uint16_t)port;
    return 0;
}

typedef enum { OPT_ECHO, OPT_COUNT, OPT_SIZE, OPT_INTERVAL, OPT_TIMEOUT, OPT_NUMBERS } NumberOption;

static const struct {
    const char* name;
    unsigned long min, max;
    const char* wants;
} kNumbers[OPT_NUMBERS] = {
    [OPT_ECHO] = {"--echo", 0, 65535, "--echo wants a port from 0 to 65535"},
    [OPT_COUNT] = {"--count", 1, 10000000, "--count wants 1 to 10000000"},
    [OPT_SIZE] = {"--size", 0, MAX_PAYLOAD, "--size wants 0 to 65507 bytes"},
    [OPT_INTERVAL] = {"--interval", 0, 3600000, "--interval wants 0 to 3600000 ms"},
    [OPT_TIMEOUT] = {"--timeout", 0, 3600000, "--timeout wants 0 to 3600000 ms"},
};

int parseOptions(int argc, char** argv, PingOptions* options) {
    unsigned long numbers[OPT_NUMBERS] = {0, 10000, 64, 0, 1000};
    int given[OPT_NUMBERS] = {0};
    int targetGiven = 0;
    memset(options, 0, sizeof *options);

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            exit(0);
        }
        int option = 0;
        while (option < OPT_NUMBERS && strcmp(arg, kNumbers[option].name) != 0) ++option;
        if (option < OPT_NUMBERS) {
            const char* value = i + 1 < argc ? argv[++i] : NULL;
            if (parseNumber(value, kNumbers[option].max, &numbers[option]) != 0 ||
                numbers[option] < kNumbers[option].min) {
                return fail(kNumbers[option].wants, value);
            }
            given[option] = 1;
        } else if (arg[0] == '-') {
            return fail("unknown option", arg);
        } else if (targetGiven) {
            return fail("only one HOST:PORT may be given", arg);
        } else if (parseTarget(arg, &options->target) != 0) {
            return fail("expected HOST:PORT with a dotted IPv4 host and a port from 1 to 65535", arg);
        } else {
            targetGiven = 1;
        }
    }
    if (given[OPT_ECHO] && targetGiven) return fail("--echo answers pings and takes no HOST:PORT", NULL);

    options->mode = given[OPT_ECHO] ? MODE_ECHO : targetGiven ? MODE_PING : MODE_LOCAL;
    options->echoPort = (uint16_t)numbers[OPT_ECHO];
    /* A responder with no count runs until it is stopped. */
    options->count = options->mode == MODE_ECHO && !given[OPT_COUNT] ? 0 : (uint32_t)numbers[OPT_COUNT];
    options->size = (int32_t)numbers[OPT_SIZE];
    options->intervalMs = (uint32_t)numbers[OPT_INTERVAL];
    options->timeoutMs = (int32_t)numbers[OPT_TIMEOUT];
    return 0;
}
