// The real photographs the user-interface benchmarks work on: the JPEG files of at least 4
// megapixels in the folder named by SNIPWELL_BENCH_PHOTOS, else those of Debian's
// plasma-workspace-wallpapers package (tools/bench-photos.sh installs it), copied into a
// folder of their own, identical files once. With fewer than 20 of them the benchmarks that
// need them report an error and are skipped.
#pragma once

#include <cstdint>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

struct PhotoFolder {
    QTemporaryDir copy{QDir::tempPath() + QStringLiteral("/snipwell-bench-photos-XXXXXX")};
    QStringList files;  // full paths inside copy
    qint64 bytes = 0;
    uint64_t pixels = 0;
    QString problem;  // why the benchmarks cannot run, or empty
};

// The photographs, collected on first use.
const PhotoFolder& Photos();
// True when the photographs are there; otherwise the benchmark is skipped with the reason.
bool PhotosReady(benchmark::State& state);
