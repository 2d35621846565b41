/* Collecting round-trip times and summarising them. */
#include "stats.h"

#include <stdio.h>
#include <stdlib.h>

int statsInit(PingStats* stats, uint32_t count) {
    stats->sent = stats->received = 0;
    stats->elapsedNs = 0;
    stats->roundTripsNs = malloc((count ? count : 1) * sizeof *stats->roundTripsNs);
    return stats->roundTripsNs ? 0 : -1;
}

void statsFree(PingStats* stats) {
    free(stats->roundTripsNs);
    stats->roundTripsNs = NULL;
}

void statsRecord(PingStats* stats, uint64_t roundTripNs) {
    stats->roundTripsNs[stats->received++] = roundTripNs;
}

static int compareSamples(const void* a, const void* b) {
    const uint64_t x = *(const uint64_t*)a, y = *(const uint64_t*)b;
    return (x > y) - (x < y);
}

/* Nearest rank: the smallest sample with at least the given share at or below it. */
static double percentileUs(const PingStats* stats, unsigned percent) {
    const uint32_t rank = (uint32_t)(((uint64_t)stats->received * percent + 99) / 100);
    return (double)stats->roundTripsNs[rank > 0 ? rank - 1 : 0] / 1000.0;
}

void statsPrintSummary(PingStats* stats) {
    printf("sent %u, received %u, lost %u\n", stats->sent, stats->received, stats->sent - stats->received);
    if (stats->received == 0) return;
    qsort(stats->roundTripsNs, stats->received, sizeof *stats->roundTripsNs, compareSamples);
    printf("round trip (us): min %.1f, median %.1f, p99 %.1f, max %.1f\n", percentileUs(stats, 0),
           percentileUs(stats, 50), percentileUs(stats, 99), percentileUs(stats, 100));
    if (stats->elapsedNs > 0) {
        printf("rate: %.0f datagrams/s each way\n", (double)stats->received * 1e9 / (double)stats->elapsedNs);
    }
}
