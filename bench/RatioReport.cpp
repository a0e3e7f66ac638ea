#include "RatioReport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

std::vector<Comparison>& Registry() {
    static std::vector<Comparison> comparisons;
    return comparisons;
}

double SecondsPerIteration(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

}  // namespace

bool AddComparison(const std::string& subject, const std::string& baseline, double target) {
    Registry().push_back({subject, baseline, target});
    return true;
}

const std::vector<Comparison>& Comparisons() { return Registry(); }

RatioCollectingReporter::RatioCollectingReporter()
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void RatioCollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        const std::string name = run.run_name.function_name;
        const double seconds = SecondsPerIteration(run);
        auto [it, inserted] = m_bestSeconds.emplace(name, seconds);
        if (!inserted) it->second = std::min(it->second, seconds);
    }
    ConsoleReporter::ReportRuns(runs);
}

RatioCollectingReporter::Verdict RatioCollectingReporter::PrintRatioTable(std::FILE* out) const {
    Verdict verdict;
    std::fprintf(out, "\nCPU time per iteration, fastest of the repetitions\n");
    std::fprintf(out, "%-28s %-22s %12s %12s %7s %7s\n", "subject", "baseline", "subject ms", "baseline ms", "ratio",
                 "target");
    for (const Comparison& c : Comparisons()) {
        const auto subject = m_bestSeconds.find(c.subject);
        const auto baseline = m_bestSeconds.find(c.baseline);
        if (subject == m_bestSeconds.end() || baseline == m_bestSeconds.end()) {
            // Filtered out by --benchmark_filter, or failed: not a miss of the target.
            std::fprintf(out, "%-28s %-22s %12s %12s %7s %6.2fx  (not run)\n", c.subject.c_str(),
                         c.baseline.c_str(), "-", "-", "-", c.target);
            continue;
        }
        const double ratio = subject->second / baseline->second;
        const bool met = ratio <= c.target;
        ++verdict.compared;
        if (!met) ++verdict.missed;
        std::fprintf(out, "%-28s %-22s %12.3f %12.3f %6.2fx %6.2fx  %s\n", c.subject.c_str(), c.baseline.c_str(),
                     subject->second * 1e3, baseline->second * 1e3, ratio, c.target, met ? "ok" : "OVER TARGET");
    }
    return verdict;
}
