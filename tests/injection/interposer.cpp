// The stand-ins: each passes the call on to the real one unless a fault is due.
#include "interposer.h"

#include <errno.h>
#include <poll.h>
#include <stdarg.h>
#include <stddef.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <time.h>

// A 32-bit target built with 64-bit time: glibc's header then names
// __clock_gettime64 for clock_gettime. (glibc 2.39 and later define
// __USE_TIME_BITS64 on 64-bit targets too, where nothing is renamed.)
#if defined(__USE_TIME_BITS64) && __TIMESIZE == 32
#define TIDELINK_CLOCK_GETTIME64 1
#endif

extern "C" {
int __real_setsockopt(int, int, int, const void*, socklen_t);
int __real_ioctl(int, unsigned long, ...);
void* __real_calloc(size_t, size_t);
int __real_select(int, fd_set*, fd_set*, fd_set*, timeval*);
int __real_poll(pollfd*, nfds_t, int);
int __real___poll_chk(pollfd*, nfds_t, int, size_t);
int __real_clock_gettime(clockid_t, timespec*);
#ifdef TIDELINK_CLOCK_GETTIME64
int __real___clock_gettime64(clockid_t, timespec*);
#endif
}

namespace injection {

Waits waits;
ClockReads clockReads;

namespace {

struct Fault {
    bool due = false;
    Call call = Call::Calloc;
    int error = 0;
    long detail = kAnyDetail;
} fault;

bool strikes(Call call, long detail) {
    if (!fault.due || fault.call != call || (fault.detail != kAnyDetail && fault.detail != detail)) return false;
    fault.due = false;
    errno = fault.error;
    return true;
}

// Whether the read goes on to the real clock.
bool countClockRead(clockid_t clock) {
    clockReads.reads++;
    clockReads.lastClock = static_cast<int>(clock);
    return !strikes(Call::ClockGettime, kAnyDetail);
}

void countPoll(const pollfd* entries, nfds_t count) {
    waits.polls++;
    if (count > 0) waits.lastPolled = entries[0].fd;
}

}  // namespace

void failNext(Call call, int error, long detail) {
    fault = Fault{true, call, error, detail};
}

bool faultMet() {
    const bool met = !fault.due;
    fault.due = false;
    return met;
}

}  // namespace injection

using injection::Call;

extern "C" int __wrap_setsockopt(int fd, int level, int option, const void* value, socklen_t length) {
    if (injection::strikes(Call::Setsockopt, option)) return -1;
    return __real_setsockopt(fd, level, option, value, length);
}

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) {
    va_list rest;
    va_start(rest, request);
    void* argument = va_arg(rest, void*);
    va_end(rest);
    if (injection::strikes(Call::Ioctl, static_cast<long>(request))) return -1;
    return __real_ioctl(fd, request, argument);
}

extern "C" void* __wrap_calloc(size_t count, size_t size) {
    if (injection::strikes(Call::Calloc, injection::kAnyDetail)) return nullptr;
    return __real_calloc(count, size);
}

extern "C" int __wrap_select(int count, fd_set* read, fd_set* write, fd_set* except, timeval* limit) {
    injection::waits.selects++;
    if (count > injection::waits.widestSelect) injection::waits.widestSelect = count;
    return __real_select(count, read, write, except, limit);
}

// With _FORTIFY_SOURCE the compiler may call poll's checked form instead.
extern "C" int __wrap_poll(pollfd* entries, nfds_t count, int timeout) {
    injection::countPoll(entries, count);
    return __real_poll(entries, count, timeout);
}

extern "C" int __wrap___poll_chk(pollfd* entries, nfds_t count, int timeout, size_t size) {
    injection::countPoll(entries, count);
    return __real___poll_chk(entries, count, timeout, size);
}

extern "C" int __wrap_clock_gettime(clockid_t clock, timespec* now) {
    return injection::countClockRead(clock) ? __real_clock_gettime(clock, now) : -1;
}

#ifdef TIDELINK_CLOCK_GETTIME64
extern "C" int __wrap___clock_gettime64(clockid_t clock, timespec* now) {
    return injection::countClockRead(clock) ? __real___clock_gettime64(clock, now) : -1;
}
#endif
