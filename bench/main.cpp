// Runs every pair with repetitions in random order, then prints the
// library-to-raw ratio of the median times.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "pairs.h"

namespace {

constexpr double kTarget = 1.03;

// A run that was skipped or failed: Google Benchmark 1.8 replaced
// Run::error_occurred with Run::skipped, and the overload that names a
// member the installed version lacks drops out.
template <typename Run>
auto skipped(const Run& run, int) -> decltype(static_cast<bool>(run.skipped)) {
    return static_cast<bool>(run.skipped);
}
template <typename Run>
bool skipped(const Run& run, long) {
    return run.error_occurred;
}

// Keeps the median of each benchmark's repetitions while the console shows them.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !skipped(run, 0)) {
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;  // by "<pair>/<side>", in the reporter's time unit
};

// Answers how many pairs missed the target.
int printRatios(const std::map<std::string, double>& medians) {
    printf("\n%-20s %15s %15s %8s\n", "pair", "library cpu ns", "raw cpu ns", "ratio");
    int missed = 0;
    for (const auto& [name, library] : medians) {
        const auto slash = name.rfind("/library");
        if (slash == std::string::npos) continue;
        const std::string pair = name.substr(0, slash);
        const auto raw = medians.find(pair + "/raw");
        if (raw == medians.end() || raw->second <= 0) continue;
        const double ratio = library / raw->second;
        missed += ratio > kTarget;
        printf("%-20s %15.1f %15.1f %8.3f%s\n", pair.c_str(), library, raw->second, ratio,
               ratio > kTarget ? "  above target" : "");
    }
    printf("target: every ratio at most %.2f\n", kTarget);
    return missed;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t burst = tidelink_bench::measureBurstCapacity();
    if (burst <= 0) {
        fprintf(stderr, "could not measure the receive buffer's capacity\n");
        return 1;
    }
    printf("a bound socket holds %d datagrams of 64 bytes before it drops\n", burst);

    // Defaults first, so that the caller's own flags override them.
    std::vector<char*> args = {argv[0]};
    std::string defaults[] = {"--benchmark_repetitions=15", "--benchmark_enable_random_interleaving=true",
                              "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.05"};
    for (std::string& flag : defaults) args.push_back(flag.data());
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    tidelink_bench::registerPairs(burst);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return printRatios(reporter.medians) == 0 ? 0 : 3;
}
