// Platform name, error texts and the wrapping millisecond clock.
#include <errno.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/clock_math.h"
#include "tidelink.h"

#include <gtest/gtest.h>

TEST(Platform, NameIsOneConstantString) {
    const char* first = udpPlatform();
    EXPECT_STREQ(first, "android");
    EXPECT_EQ(udpPlatform(), first);
}

TEST(Platform, ErrorTextIsTheSystemsOwn) {
    const std::string wouldBlock = strerror(EAGAIN);
    EXPECT_EQ(std::string(udpPlatformErrorString(EAGAIN)), wouldBlock);
    const std::string success = strerror(0);
    EXPECT_EQ(std::string(udpPlatformErrorString(0)), success);
    const std::string unknown = strerror(123456);
    EXPECT_EQ(std::string(udpPlatformErrorString(123456)), unknown);
}

TEST(Clock, ReadingsFollowTheMonotonicClock) {
    const uint32_t before = udpGetHighPrecisionTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint32_t after = udpGetHighPrecisionTime();
    const uint32_t elapsed = after - before;  // modulo 2^32
    EXPECT_GE(elapsed, 95u);
    EXPECT_LT(elapsed, 1000u);

    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint32_t ours = udpGetHighPrecisionTime();
    const uint32_t direct = static_cast<uint32_t>(
        (static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000) & 0xFFFFFFFFu);
    EXPECT_LT(ours - direct, 100u);
}

TEST(Clock, CountWrapsModuloTwoToThe32) {
    using tidelink::wrappedMilliseconds;
    // 2^32 ms is 4294967.296 s: 4294967 s + 200 ms sits 96 ms below the wrap.
    const uint32_t below = wrappedMilliseconds(4294967, 200'000'000);
    const uint32_t above = wrappedMilliseconds(4294967, 400'999'999);
    EXPECT_EQ(below, 4294967200u);
    EXPECT_EQ(above, 104u);
    EXPECT_EQ(above - below, 200u);

    // Whole seconds far past 32 bits of milliseconds, as a 64-bit clock gives.
    const int64_t seconds = 10'000'000'123;
    const uint64_t exact = static_cast<uint64_t>(seconds) * 1000 + 999;
    EXPECT_EQ(wrappedMilliseconds(seconds, 999'999'999), static_cast<uint32_t>(exact & 0xFFFFFFFFu));
    EXPECT_EQ(wrappedMilliseconds(0, 0), 0u);
}
