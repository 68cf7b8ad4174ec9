#pragma once
// Console output followed by the ratios the benchmarks exist for.
//
// Benchmarks are named "<group>/<engine>". Engines named "floor_*" are memory
// floors (memset/memcpy of the same bytes); "orvanta" is the program's own
// code; anything else ("sdl2") is a peer. Per group the table gives each
// engine's median time, its ratio to the fastest floor, and the peer's time
// over orvanta's (above 1: orvanta is faster).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            const std::string& name = run.run_name.function_name;
            const auto slash = name.rfind('/');
            if (slash == std::string::npos)
                continue;
            m_times[name.substr(0, slash)][name.substr(slash + 1)].push_back(
                run.real_accumulated_time / double(run.iterations));
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-34s %-14s %12s %10s %12s\n", "group", "engine", "median_us", "x_floor", "peer/orvanta");
        for (const auto& [group, engines] : m_times) {
            double floor = std::numeric_limits<double>::infinity();
            for (const auto& [engine, times] : engines) {
                if (engine.starts_with("floor_"))
                    floor = std::min(floor, median(times));
            }
            const auto own = engines.find("orvanta");
            for (const auto& [engine, times] : engines) {
                const double t = median(times);
                std::printf("%-34s %-14s %12.1f", group.c_str(), engine.c_str(), t * 1e6);
                if (floor < std::numeric_limits<double>::infinity())
                    std::printf(" %10.3f", t / floor);
                else
                    std::printf(" %10s", "-");
                if (own != engines.end() && engine != "orvanta" && !engine.starts_with("floor_"))
                    std::printf(" %12.3f", t / median(own->second));
                std::printf("\n");
            }
        }
        std::fflush(stdout);
    }

private:
    static double median(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::map<std::string, std::map<std::string, std::vector<double>>> m_times;
};
