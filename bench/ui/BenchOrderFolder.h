// The print order the order benchmarks share: the photographs of BenchPhotoFolder.h copied
// into a folder of the order's own, each given a centred 6x4 rectangle box in its sidecar (the
// stored picture's pixels), and the libvips crop jobs for the same boxes.
#pragma once

#include <string>
#include <vector>

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

struct OrderFolder {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/snipwell-bench-order-XXXXXX")};
    std::vector<std::string> photos;
    QString vipsJobs;  // "IN OUT[Q=90] L T W H" a line
    QString problem;
};

// The JPEG quality of the cuts, for the export and for vips alike.
inline constexpr int kOrderBenchQuality = 90;

// The order, prepared on first use.
const OrderFolder& Order();
// True when the order is there; otherwise the benchmark is skipped with the reason.
bool OrderReady(benchmark::State& state);
