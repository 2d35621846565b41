/* The pinger: sends numbered datagrams, waits for each to come back, and
 * times the round trips. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "roles.h"
#include "stats.h"

#define PROGRESS_EVERY_MS 200

/* Round trips on loopback take microseconds; the library's clock counts
 * whole milliseconds, so it paces the run and the system clock times it. */
static uint64_t nowNs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
}

/* Milliseconds from now until deadline on the wrapping clock; 0 once past. */
static int32_t millisecondsUntil(uint32_t deadline) {
    const int32_t left = (int32_t)(deadline - udpGetHighPrecisionTime());
    return left > 0 ? left : 0;
}

/* The sequence number leads (big-endian) where it fits; the rest is a
 * pattern of it, so a late or damaged reply never matches. */
static void fillPayload(unsigned char* payload, int32_t size, uint32_t sequence) {
    for (int32_t i = 0; i < size; ++i) payload[i] = (unsigned char)(sequence * 131u + (uint32_t)i * 7u);
    for (int32_t i = 0; i < size && i < 4; ++i) payload[i] = (unsigned char)(sequence >> (24 - 8 * i));
}

typedef struct {
    UdpSocket* pinger;
    UdpSocket* responder; /* NULL when the responder is elsewhere */
    UdpEndPoint target;
    int32_t size;
    unsigned char* payload;
    unsigned char* reply;
} Round;

/* Gives the own responder its turn; 0, or -1 when that failed. */
static int serve(const Round* trip, int32_t timeoutMs) {
    if (trip->responder == NULL) return 0;
    const int32_t ready = udpRecvPoll(trip->responder, timeoutMs);
    if (ready == UDP_ERROR_TIMEOUT) return 0;
    if (ready != 0) {
        reportFailure("responder wait", errno);
        return -1;
    }
    return echoOne(trip->responder);
}

/* Waits until the deadline for the reply that matches the payload, passing
 * over stale ones. 1 when it came, 0 when the time ran out, -1 on failure. */
static int awaitReply(const Round* trip, uint32_t deadline) {
    for (;;) {
        const int32_t ready = udpRecvPoll(trip->pinger, millisecondsUntil(deadline));
        if (ready == UDP_ERROR_TIMEOUT) return 0;
        if (ready != 0) {
            reportFailure("wait", errno); /* a failed wait stores no number; errno holds it */
            return -1;
        }
        UdpEndPoint from;
        const int32_t length = udpRecvFrom(trip->pinger, trip->reply, trip->size + 1, &from);
        if (length < 0) {
            reportFailure("receive", udpLastError(trip->pinger));
            return -1;
        }
        if (length == trip->size && from.address == trip->target.address && from.port == trip->target.port &&
            memcmp(trip->reply, trip->payload, (size_t)length) == 0) {
            return 1;
        }
    }
}

/* Lets the interval pass, throwing away replies that come too late. */
static int letIntervalPass(const Round* trip, uint32_t until) {
    int32_t left;
    while ((left = millisecondsUntil(until)) > 0) {
        const int32_t ready = udpRecvPoll(trip->pinger, left);
        if (ready == UDP_ERROR_TIMEOUT) break;
        UdpEndPoint from;
        if (ready != 0 || udpRecvFrom(trip->pinger, trip->reply, trip->size + 1, &from) < 0) {
            reportFailure("wait", ready != 0 ? errno : udpLastError(trip->pinger));
            return -1;
        }
    }
    return 0;
}

static void showProgress(const PingStats* stats, uint32_t count) {
    printf("\r%u/%u sent, %u received, %u lost ", stats->sent, count, stats->received, stats->sent - stats->received);
    fflush(stdout);
}

static int pingAll(const PingOptions* options, Round* trip, PingStats* stats) {
    const int live = isatty(STDOUT_FILENO);
    const uint32_t startMs = udpGetHighPrecisionTime();
    uint32_t lastShown = startMs;
    const uint64_t startNs = nowNs();
    for (uint32_t sequence = 0; sequence < options->count; ++sequence) {
        if (sequence > 0 && options->intervalMs > 0 &&
            letIntervalPass(trip, startMs + sequence * options->intervalMs) != 0) {
            return -1;
        }
        fillPayload(trip->payload, trip->size, sequence);
        const uint64_t sentAt = nowNs();
        if (udpSendTo(trip->pinger, trip->payload, trip->size, trip->target) != trip->size) {
            reportFailure("send", udpLastError(trip->pinger));
            return -1;
        }
        ++stats->sent;
        const uint32_t deadline = udpGetHighPrecisionTime() + (uint32_t)options->timeoutMs;
        if (serve(trip, options->timeoutMs) != 0) return -1;
        const int replied = awaitReply(trip, deadline);
        if (replied < 0) return -1;
        if (replied) statsRecord(stats, nowNs() - sentAt);
        stats->elapsedNs = nowNs() - startNs;

        if (live && udpGetHighPrecisionTime() - lastShown >= PROGRESS_EVERY_MS) {
            lastShown = udpGetHighPrecisionTime();
            showProgress(stats, options->count);
        }
    }
    if (live && udpGetHighPrecisionTime() - startMs >= PROGRESS_EVERY_MS) printf("\n");
    return 0;
}

int runPinger(const PingOptions* options, UdpSocket* pinger, UdpSocket* responder) {
    Round trip = {pinger, responder, options->target, options->size, NULL, NULL};
    if (responder != NULL) udpGetEndPoint(responder, &trip.target);
    const uint32_t t = trip.target.address;
    printf("tidelink-ping: %u round trips of %d bytes to %u.%u.%u.%u:%u%s\n", options->count, options->size,
           t >> 24, (t >> 16) & 255u, (t >> 8) & 255u, t & 255u, trip.target.port,
           responder != NULL ? " (own responder)" : "");
    fflush(stdout);

    PingStats stats;
    /* One spare byte: a longer reply shows as longer instead of truncated. */
    trip.payload = malloc((size_t)options->size + 1);
    trip.reply = malloc((size_t)options->size + 1);
    if (trip.payload == NULL || trip.reply == NULL || statsInit(&stats, options->count) != 0) {
        fprintf(stderr, "tidelink-ping: out of memory\n");
        free(trip.payload);
        free(trip.reply);
        return 1;
    }
    const int failed = pingAll(options, &trip, &stats);
    statsPrintSummary(&stats);
    statsFree(&stats);
    free(trip.payload);
    free(trip.reply);
    return failed != 0 || stats.received != stats.sent ? 1 : 0;
}
