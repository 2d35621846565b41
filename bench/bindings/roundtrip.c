/* The 64-byte round trip and the clock that every binding's benchmark repeats,
 * in C: prints the median ns per round trip and per clock call. */
#define _POSIX_C_SOURCE 200809L /* clock_gettime */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "tidelink.h"

static double seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static int leg(UdpSocket* from, UdpSocket* to, UdpEndPoint toEnd, unsigned char* buffer) {
    UdpEndPoint sender;
    if (udpSendTo(from, buffer, 64, toEnd) != 64) return 0;
    if (udpRecvPoll(to, 1000) != 0) return 0;
    return udpRecvFrom(to, buffer, 2048, &sender) == 64;
}

static int compare(const void* x, const void* y) {
    double a = *(const double*)x, b = *(const double*)y;
    return (a > b) - (a < b);
}

/* A round trip is: send on A, wait and receive on B, send back, wait and
 * receive on A. Run as: roundtrip [COUNT [REPETITIONS [IDLE_THREADS]]]. Idle
 * threads make the process multi-threaded, as every managed runtime's is,
 * which makes each system call on a descriptor dearer. */
static void* idle(void* unused) {
    (void)unused;
    for (;;) pause();
    return NULL;
}

int main(int argc, char** argv) {
    int count = argc > 1 ? atoi(argv[1]) : 20000;
    int repetitions = argc > 2 ? atoi(argv[2]) : 5;
    int threads = argc > 3 ? atoi(argv[3]) : 0;
    unsigned char buffer[2048] = {0};
    double results[64];
    UdpEndPoint loopback = {0x7F000001, 0, 0};
    UdpEndPoint aEnd, bEnd;
    UdpSocket* a = udpCreate();
    UdpSocket* b = udpCreate();
    int r, i;
    pthread_t thread;
    for (i = 0; i < threads; i++) {
        if (pthread_create(&thread, NULL, idle, NULL) != 0) return 1;
    }
    if (repetitions < 1 || repetitions > 64 || !a || !b || udpBind(a, loopback) != 0 || udpBind(b, loopback) != 0) {
        return 1;
    }
    udpGetEndPoint(a, &aEnd);
    udpGetEndPoint(b, &bEnd);
    for (i = 0; i < count / 10; i++) { /* warm-up */
        if (!leg(a, b, bEnd, buffer) || !leg(b, a, aEnd, buffer)) return 1;
    }
    for (r = 0; r < repetitions; r++) {
        double start = seconds();
        for (i = 0; i < count; i++) {
            if (!leg(a, b, bEnd, buffer) || !leg(b, a, aEnd, buffer)) {
                fprintf(stderr, "round trip %d failed\n", i);
                return 1;
            }
        }
        results[r] = (seconds() - start) * 1e9 / count;
    }
    qsort(results, (size_t)repetitions, sizeof results[0], compare);
    printf("%.1f ", results[repetitions / 2]);
    for (r = 0; r < repetitions; r++) {
        double start = seconds();
        unsigned sum = 0;
        for (i = 0; i < count * 50; i++) sum += udpGetHighPrecisionTime();
        results[r] = (seconds() - start) * 1e9 / (count * 50.0);
        if (sum == 1) putchar(' '); /* keeps the loop */
    }
    qsort(results, (size_t)repetitions, sizeof results[0], compare);
    printf("%.1f\n", results[repetitions / 2]);
    udpClose(a);
    udpClose(b);
    return 0;
}
