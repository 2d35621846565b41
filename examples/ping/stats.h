/* Round-trip samples and the summary printed at the end of a run. */
#ifndef TIDELINK_PING_STATS_H
#define TIDELINK_PING_STATS_H

#include <stdint.h>

typedef struct {
    uint32_t sent, received;
    uint64_t* roundTripsNs; /* one per reply, in arrival order */
    uint64_t elapsedNs;     /* first send to last reply */
} PingStats;

/* 0 on success, -1 when memory for count samples can't be had. */
int statsInit(PingStats* stats, uint32_t count);
void statsFree(PingStats* stats);
void statsRecord(PingStats* stats, uint64_t roundTripNs);

/* Sorts the samples; prints sent, received, lost, round-trip percentiles in
 * microseconds and datagrams per second. */
void statsPrintSummary(PingStats* stats);

#endif
