// Stand-ins for system calls the library's objects make, linked in their
// place with -Wl,--wrap: a chosen call fails once with a chosen error number,
// and the waits and clock reads are counted.
#pragma once

namespace injection {

enum class Call { Setsockopt, Ioctl, Calloc, ClockGettime };
constexpr long kAnyDetail = -1;

// The next call of that kind fails with `error`: for setsockopt only with
// option `detail`, for ioctl only with request `detail`, unless kAnyDetail.
void failNext(Call call, int error, long detail = kAnyDetail);

// Whether the fault set by failNext was met; one that was not is dropped.
bool faultMet();

struct Waits {
    int selects = 0;
    int widestSelect = 0;  // the largest descriptor count select was given
    int polls = 0;
    int lastPolled = -1;
};
extern Waits waits;

struct ClockReads {
    int reads = 0;
    int lastClock = -1;  // the clockid_t of the latest read
};
extern ClockReads clockReads;

}  // namespace injection
