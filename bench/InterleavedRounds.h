#pragma once
// The main of a benchmark whose cases are compared with references in the same binary: unless the
// command line says otherwise, every case runs in several rounds, the rounds of all cases shuffled
// together, so that no case runs on a quieter machine than its reference; the console shows the
// mean, median and spread of each case. Include in exactly one source of the binary.
#include <benchmark/benchmark.h>

#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    const auto given = [&](std::string_view flag) {
        for (int i = 1; i < argc; ++i)
            if (std::string_view(argv[i]).substr(0, flag.size()) == flag)
                return true;
        return false;
    };
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char rounds[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_display_aggregates_only=true";
    if (!given("--benchmark_enable_random_interleaving"))
        args.push_back(interleave);
    if (!given("--benchmark_repetitions"))
        args.push_back(rounds);
    if (!given("--benchmark_display_aggregates_only") && !given("--benchmark_report_aggregates_only"))
        args.push_back(aggregates);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
