/* Checks for the test programs written in C: each failed check prints both
 * values and errno with its text, and counts toward the exit status. */
#ifndef TIDELINK_TEST_CHECK_H
#define TIDELINK_TEST_CHECK_H

#include <errno.h>
#include <stdio.h>
#include <string.h>

#define TEST_LOOPBACK 0x7F000001u /* 127.0.0.1 in host byte order */

static int checks = 0;
static int failures = 0;

#define CHECK_EQ(actual, expected)                                                           \
    do {                                                                                     \
        const long long actual_ = (long long)(actual);                                       \
        const long long expected_ = (long long)(expected);                                   \
        checks++;                                                                            \
        if (actual_ != expected_) {                                                          \
            printf("FAILED %s:%d: %s is %lld, expected %lld (errno %d: %s)\n", __FILE__,     \
                   __LINE__, #actual, actual_, expected_, errno, strerror(errno));           \
            failures++;                                                                      \
        }                                                                                    \
    } while (0)

/* The exit status: 0 only when every check held. */
static int checkSummary(const char* program) {
    printf("%s: %d checks, %d failed\n", program, checks, failures);
    return failures == 0 ? 0 : 1;
}

#endif
