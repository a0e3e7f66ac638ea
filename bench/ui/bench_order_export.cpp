// A print order's export over real photographs (BenchPhotoFolder.h): each of the 20 photos
// given a centred 6x4 rectangle box in its sidecar and cut into a JPEG at quality 90.
//   Order_Export    the program's export (OrderExport), its workers on every core;
//   Order_VipsCrop  the anchor: libvips' command-line `vips crop IN OUT[Q=90] L T W H` on the
//                   same rectangles, worked out beforehand, one process a photo, two at a time
//                   through `xargs -P2` (libvips-tools; skipped when vips is missing).
// Both re-encode, both read wall-clock time; each runs three times and the fastest counts.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include "order/OrderExport.h"

#include "RatioReport.h"
#include "ui/BenchOrderFolder.h"

namespace {

constexpr int kRepetitions = 3;

void Order_Export(benchmark::State& state) {
    if (!OrderReady(state)) return;
    const QString out = Order().folder.filePath(QStringLiteral("prints"));
    for (auto _ : state) {
        order::ExportOptions options;
        options.destination = QFile::encodeName(out).toStdString();
        options.quality = kOrderBenchQuality;
        options.existing = order::ExistingNames::Overwrite;
        order::OrderExport exporter(options);
        const order::ExportOutcome outcome = exporter.Run(exporter.Plan(Order().photos));
        if (outcome.AnyFailed()) {
            state.SkipWithError("a photo was not exported");
            return;
        }
    }
    state.counters["photos"] = double(Order().photos.size());
}

void Order_VipsCrop(benchmark::State& state) {
    if (!OrderReady(state)) return;
    if (QStandardPaths::findExecutable(QStringLiteral("vips")).isEmpty()) {
        state.SkipWithError("vips is not installed (apt-get install libvips-tools)");
        return;
    }
    for (auto _ : state) {
        QProcess xargs;
        xargs.start(QStringLiteral("xargs"),
                    {QStringLiteral("-P2"), QStringLiteral("-n6"), QStringLiteral("vips"), QStringLiteral("crop")});
        xargs.write(Order().vipsJobs.toUtf8());
        xargs.closeWriteChannel();
        if (!xargs.waitForFinished(-1) || xargs.exitCode() != 0) {
            state.SkipWithError(("vips failed: " + xargs.readAllStandardError()).constData());
            return;
        }
    }
    state.counters["photos"] = double(Order().photos.size());
}

BENCHMARK(Order_Export)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(Order_VipsCrop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(kRepetitions);

const bool kOrderAnchor = AddComparison("Order_Export", "Order_VipsCrop", 0.7, Memory::NewProcess, Clock::Wall);

}  // namespace
