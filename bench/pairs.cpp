// Round trips, bursts, empty receives, zero waits and the clock, each over
// both sides of apis.h with one loop written once.
#include "pairs.h"

#include <benchmark/benchmark.h>
#include <errno.h>

#include <string>

#include "apis.h"

namespace tidelink_bench {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr UdpEndPoint kAnyLoopbackPort = {kLoopback, 0, 0};

template <class Api>
struct Pair {
    typename Api::Handle a = Api::open(kAnyLoopbackPort);
    typename Api::Handle b = Api::open(kAnyLoopbackPort);
    UdpEndPoint aEnd = Api::local(a), bEnd = Api::local(b);
    ~Pair() {
        Api::close(a);
        Api::close(b);
    }
};

// Loopback delivery normally completes inside the send; when it has not,
// wait for it as a host would.
template <class Api>
bool receiveOne(benchmark::State& state, typename Api::Handle h, uint8_t* buffer, int32_t size, UdpEndPoint* from) {
    while (Api::receive(h, buffer, size, from) < 0) {
        if (Api::wait(h, 1000) != 0) {
            state.SkipWithError("a datagram did not arrive");
            return false;
        }
    }
    return true;
}

template <class Api, int32_t kSize>
void roundTrip(benchmark::State& state) {
    Pair<Api> pair;
    uint8_t out[static_cast<size_t>(kSize)] = {1, 2, 3}, in[static_cast<size_t>(kSize)];
    UdpEndPoint from{};
    for (auto _ : state) {
        Api::send(pair.a, out, kSize, pair.bEnd);
        if (!receiveOne<Api>(state, pair.b, in, kSize, &from)) break;
        Api::send(pair.b, in, kSize, from);
        if (!receiveOne<Api>(state, pair.a, in, kSize, &from)) break;
    }
    state.SetBytesProcessed(state.iterations() * 2 * kSize);
}

template <class Api>
void burst(benchmark::State& state, int32_t count) {
    Pair<Api> pair;
    uint8_t datagram[64] = {7};
    UdpEndPoint from{};
    for (auto _ : state) {
        for (int32_t i = 0; i < count; ++i) Api::send(pair.a, datagram, 64, pair.bEnd);
        for (int32_t i = 0; i < count; ++i) {
            if (!receiveOne<Api>(state, pair.b, datagram, 64, &from)) return;
        }
        if (Api::receive(pair.b, datagram, 64, &from) >= 0) {
            state.SkipWithError("more datagrams than were sent");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}

template <class Api>
void emptyReceive(benchmark::State& state) {
    Pair<Api> pair;
    uint8_t buffer[64];
    UdpEndPoint from{};
    for (auto _ : state) benchmark::DoNotOptimize(Api::receive(pair.a, buffer, 64, &from));
}

template <class Api>
void zeroWait(benchmark::State& state) {
    Pair<Api> pair;
    for (auto _ : state) benchmark::DoNotOptimize(Api::wait(pair.a, 0));
}

template <class Api>
void clockRead(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Api::clock());
}

template <class Api>
void registerSide(int32_t burstCount) {
    const std::string side = std::string("/") + Api::kName;
    benchmark::RegisterBenchmark(("RoundTrip64" + side).c_str(), roundTrip<Api, 64>);
    benchmark::RegisterBenchmark(("RoundTrip1200" + side).c_str(), roundTrip<Api, 1200>);
    benchmark::RegisterBenchmark(("Burst64x" + std::to_string(burstCount) + side).c_str(), burst<Api>,
                                 burstCount);
    benchmark::RegisterBenchmark(("EmptyReceive" + side).c_str(), emptyReceive<Api>);
    benchmark::RegisterBenchmark(("ZeroWait" + side).c_str(), zeroWait<Api>);
    benchmark::RegisterBenchmark(("Clock" + side).c_str(), clockRead<Api>);
}

}  // namespace

int32_t measureBurstCapacity() {
    Pair<Raw> pair;
    uint8_t datagram[64] = {};
    UdpEndPoint from{};
    for (int i = 0; i < 1000; ++i) {
        if (Raw::send(pair.a, datagram, 64, pair.bEnd) != 64) return 0;
    }
    int32_t held = 0;
    for (;;) {
        if (Raw::receive(pair.b, datagram, 64, &from) == 64) {
            ++held;
        } else if (errno != EAGAIN || Raw::wait(pair.b, 100) != 0) {
            return held;
        }
    }
}

void registerPairs(int32_t burstCount) {
    registerSide<Library>(burstCount);
    registerSide<Raw>(burstCount);
}

}  // namespace tidelink_bench
