// The console table as usual, then one line a benchmark with its time set against the 50 ms refresh
// period; a run that reported an error fails the program.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"

namespace bench {

class PeriodReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) m_failed = true;
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            char line[200];
            std::snprintf(line, sizeof(line), "%-30s %12.3f us  = %8.4f %% of the %d ms period",
                          run.benchmark_name().c_str(), seconds * 1e6, 100.0 * seconds * 1000.0 / REFRESH_PERIOD_MS,
                          REFRESH_PERIOD_MS);
            m_lines.emplace_back(line);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nAgainst the refresh period (wall time per operation):\n");
        for (const std::string& line : m_lines) std::printf("  %s\n", line.c_str());
    }

    bool Failed() const { return m_failed; }

private:
    std::vector<std::string> m_lines;
    bool m_failed = false;
};

}  // namespace bench
