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

// The kind of memory both sides of a comparison write their results into. A large block
// written for the first time costs a page fault per page, which on some machines is more
// than the work itself, so a subject and its baseline must write into the same kind.
enum class Memory {
    Reused,      // a block kept across iterations: a buffer held by the benchmark, or the block pool's
    Allocator,   // allocated per iteration, small enough that the C allocator hands back memory it holds
    Fresh,       // a new block per iteration, mapped and cleared by the system page by page
    NewProcess,  // a fresh process per iteration; its memory is all new
};

const char* MemoryName(Memory memory);

struct Comparison {
    std::string subject;
    std::string baseline;
    double target;   // highest acceptable subject / baseline ratio; 0 for a reference
    Memory memory;   // what both sides write into
    Clock clock;
};

// Called from each benchmark file's static initialisers; returns true so the call can
// initialise a constant.
bool AddComparison(const std::string& subject, const std::string& baseline, double target, Memory memory,
                   Clock clock = Clock::Cpu);
// A ratio printed for reference only: another view of a measure whose target another
// comparison holds, or the cost of a difference the baselines otherwise keep out.
bool AddReference(const std::string& subject, const std::string& baseline, Memory memory, Clock clock = Clock::Cpu);
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
