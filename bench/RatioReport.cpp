#include "RatioReport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

std::vector<Comparison>& Registry() {
    static std::vector<Comparison> comparisons;
    return comparisons;
}

double CpuSeconds(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

double WallSeconds(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

}  // namespace

const char* MemoryName(Memory memory) {
    switch (memory) {
        case Memory::Reused: return "reused";
        case Memory::Allocator: return "allocator";
        case Memory::Fresh: return "fresh";
        case Memory::NewProcess: return "new process";
    }
    return "?";
}

bool AddComparison(const std::string& subject, const std::string& baseline, double target, Memory memory,
                   Clock clock) {
    Registry().push_back({subject, baseline, target, memory, clock});
    return true;
}

bool AddReference(const std::string& subject, const std::string& baseline, Memory memory, Clock clock) {
    return AddComparison(subject, baseline, 0.0, memory, clock);
}

const std::vector<Comparison>& Comparisons() { return Registry(); }

RatioCollectingReporter::RatioCollectingReporter()
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void RatioCollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        const std::string name = run.run_name.function_name;
        const Best times{CpuSeconds(run), WallSeconds(run)};
        auto [it, inserted] = m_best.emplace(name, times);
        if (!inserted) it->second = Best{std::min(it->second.cpu, times.cpu), std::min(it->second.wall, times.wall)};
    }
    ConsoleReporter::ReportRuns(runs);
}

RatioCollectingReporter::Verdict RatioCollectingReporter::PrintRatioTable(std::FILE* out) const {
    Verdict verdict;
    std::fprintf(out, "\nTime per iteration, fastest of the repetitions (CPU time; wall time where marked)\n");
    std::fprintf(out, "memory: what subject and baseline both write into (reused block, per-iteration allocation,\n"
                      "fresh pages from the system, new process)\n");
    std::fprintf(out, "%-28s %-22s %-11s %12s %12s %7s %7s\n", "subject", "baseline", "memory", "subject ms",
                 "baseline ms", "ratio", "target");
    for (const Comparison& c : Comparisons()) {
        const char* memory = MemoryName(c.memory);
        const auto subject = m_best.find(c.subject);
        const auto baseline = m_best.find(c.baseline);
        if (subject == m_best.end() || baseline == m_best.end()) {
            // Filtered out by --benchmark_filter, or failed: not a miss of the target.
            std::fprintf(out, "%-28s %-22s %-11s %12s %12s %7s %6.2fx  (not run)\n", c.subject.c_str(),
                         c.baseline.c_str(), memory, "-", "-", "-", c.target);
            continue;
        }
        const bool wall = c.clock == Clock::Wall;
        const double subjectSeconds = wall ? subject->second.wall : subject->second.cpu;
        const double baselineSeconds = wall ? baseline->second.wall : baseline->second.cpu;
        const double ratio = subjectSeconds / baselineSeconds;
        const char* clock = wall ? " (wall)" : "";
        if (c.target <= 0.0) {
            std::fprintf(out, "%-28s %-22s %-11s %12.3f %12.3f %6.2fx %7s  reference%s\n", c.subject.c_str(),
                         c.baseline.c_str(), memory, subjectSeconds * 1e3, baselineSeconds * 1e3, ratio, "-", clock);
            continue;
        }
        const bool met = ratio <= c.target;
        ++verdict.compared;
        if (!met) ++verdict.missed;
        std::fprintf(out, "%-28s %-22s %-11s %12.3f %12.3f %6.2fx %6.2fx  %s%s\n", c.subject.c_str(),
                     c.baseline.c_str(), memory, subjectSeconds * 1e3, baselineSeconds * 1e3, ratio, c.target,
                     met ? "ok" : "OVER TARGET", clock);
    }
    return verdict;
}
