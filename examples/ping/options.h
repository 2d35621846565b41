/* Command-line options of tidelink-ping. */
#ifndef TIDELINK_PING_OPTIONS_H
#define TIDELINK_PING_OPTIONS_H

#include <stdint.h>
#include <stdio.h>

#include "tidelink.h"

typedef enum { MODE_LOCAL, MODE_PING, MODE_ECHO } PingMode;

typedef struct {
    PingMode mode;
    UdpEndPoint target;  /* MODE_PING: the responder */
    uint16_t echoPort;   /* MODE_ECHO: 0 lets the system choose */
    uint32_t count;      /* round trips; for MODE_ECHO, 0 means run until killed */
    int32_t size;        /* payload bytes */
    uint32_t intervalMs; /* pause between sends */
    int32_t timeoutMs;   /* longest wait for each reply */
} PingOptions;

/* 0 on success; otherwise prints the reason and the usage text to stderr. */
int parseOptions(int argc, char** argv, PingOptions* options);

void printUsage(FILE* out);

#endif
