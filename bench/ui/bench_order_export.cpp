// A print order's export over real photographs (BenchPhotoFolder.h): each of the 20 photos
// given a centred 6x4 rectangle box in its sidecar and cut into a JPEG at quality 90.
//   Order_Export    the program's export (OrderExport), its workers on every core;
//   Order_VipsCrop  the anchor: libvips' command-line `vips crop IN OUT[Q=90] L T W H` on the
//                   same rectangles, worked out beforehand, one process a photo, two at a time
//                   through `xargs -P2` (libvips-tools; skipped when vips is missing).
// Both re-encode, both read wall-clock time; each runs three times and the fastest counts.
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "doc/KeptBox.h"
#include "order/OrderExport.h"

#include "commands/CommandIds.h"

#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/CropSidecar.h"

#include "RatioReport.h"
#include "ui/BenchPhotoFolder.h"

namespace {

constexpr int kQuality = 90;
constexpr int kRepetitions = 3;
constexpr double kPrintRatio = 6.0 / 4.0;

// The photos again, in a folder of the order's own with a sidecar beside each, and the vips
// jobs for the same boxes.
struct OrderFolder {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/snipwell-bench-order-XXXXXX")};
    std::vector<std::string> photos;
    QString vipsJobs;  // "IN OUT[Q=90] L T W H" a line
    QString problem;
};

// The largest box of the print's ratio centred on a picture of size (landscape for a
// landscape picture), in its pixels.
cropbox::Rect CentredPrintBox(cropbox::Size size) {
    const double ratio = size.width >= size.height ? kPrintRatio : 1.0 / kPrintRatio;
    int width = size.width;
    int height = int(width / ratio + 0.5);
    if (height > size.height) {
        height = size.height;
        width = int(height * ratio + 0.5);
    }
    const int left = (size.width - width) / 2;
    const int top = (size.height - height) / 2;
    return {left, top, left + width, top + height};
}

void PrepareOrder(OrderFolder& order) {
    const QString out = order.folder.filePath(QStringLiteral("vips"));
    QDir().mkpath(out);
    for (const QString& source : Photos().files) {
        const QString photo = order.folder.filePath(QFileInfo(source).fileName());
        const std::string native = QFile::encodeName(photo).toStdString();
        uint32_t width = 0, height = 0;
        if (!QFile::copy(source, photo) || !ReadJpegFrameSize(native.c_str(), width, height)) {
            order.problem = QStringLiteral("cannot copy %1").arg(source);
            return;
        }
        // The stored picture's pixels: vips crops them as stored, and the box is kept so.
        const cropbox::Size stored{int(width), int(height)};
        const cropbox::Rect box = CentredPrintBox(stored);
        KeptCrop crop;
        crop.ownFields = true;
        crop.shape = cropbox::kShapeRectangle;
        crop.preset = cmd::ID_PRESET_6X4;
        crop.border = cmd::ID_BORDER_NONE;
        keptbox::SetUprightRect(crop, box, 1, stored);
        if (!WriteSidecarCrop(native, crop)) {
            order.problem = QStringLiteral("cannot write the sidecar of %1").arg(photo);
            return;
        }
        order.photos.push_back(native);
        order.vipsJobs += QStringLiteral("%1 %2/%3[Q=%4] %5 %6 %7 %8\n")
                              .arg(photo, out, QFileInfo(source).fileName())
                              .arg(kQuality)
                              .arg(box.left)
                              .arg(box.top)
                              .arg(box.Width())
                              .arg(box.Height());
    }
}

const OrderFolder& Order() {
    static OrderFolder order;
    static const bool prepared = [] {
        if (Photos().problem.isEmpty()) PrepareOrder(order);
        return true;
    }();
    (void)prepared;
    return order;
}

bool OrderReady(benchmark::State& state) {
    if (!PhotosReady(state)) return false;
    if (Order().problem.isEmpty()) return true;
    state.SkipWithError(Order().problem.toUtf8().constData());
    return false;
}

void Order_Export(benchmark::State& state) {
    if (!OrderReady(state)) return;
    const QString out = Order().folder.filePath(QStringLiteral("prints"));
    for (auto _ : state) {
        order::ExportOptions options;
        options.destination = QFile::encodeName(out).toStdString();
        options.quality = kQuality;
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
