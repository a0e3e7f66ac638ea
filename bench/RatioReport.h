// Ratios between benchmarks of the same run: each subject is timed against a baseline that
// does the least work the same job needs (a bare library call or one memcpy), so the ratio
// stays meaningful on any machine. The reporter keeps every run's time; the table is
// printed after all benchmarks ran.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Which time a comparison reads: CPU time, or wall-clock time where the wait is what is
// measured (a start-up, which may run work beside the main thread).
enum class Clock { Cpu, Wall };

struct Comparison {
    std::string subject;
    std::string baseline;
    double target;   // highest acceptable subject / baseline ratio; 0 for a reference
    Clock clock;
};

// Called from each benchmark file's static initialisers; returns true so the call can
// initialise a constant.
bool AddComparison(const std::string& subject, const std::string& baseline, double target, Clock clock = Clock::Cpu);
// A ratio printed for reference only: another view of a measure whose target another
// comparison holds.
bool AddReference(const std::string& subject, const std::string& baseline, Clock clock = Clock::Cpu);
const std::vector<Comparison>& Comparisons();

// Console output as usual, plus the fastest CPU and wall time per iteration of every
// benchmark. Comparisons read CPU time (page faults included) unless they ask for wall time:
// on a shared machine wall time mostly measures the neighbours. Repetitions give several
// runs; the fastest is the least disturbed one.
class RatioCollectingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so a saved log stays plain text.
    RatioCollectingReporter();
    void ReportRuns(const std::vector<Run>& runs) override;
    // Returns false when a subject misses its target or a timing is missing.
    // How many comparisons had both sides run, and how many of those missed their target.
    struct Verdict {
        int compared = 0;
        int missed = 0;
    };
    Verdict PrintRatioTable(std::FILE* out) const;

private:
    struct Best {
        double cpu;
        double wall;
    };
    std::map<std::string, Best> m_best;
};
