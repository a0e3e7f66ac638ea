#include "ui/BenchOrderFolder.h"

#include <QFile>
#include <QFileInfo>

#include "doc/KeptBox.h"

#include "commands/CommandIds.h"

#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/CropSidecar.h"

#include "ui/BenchPhotoFolder.h"

namespace {

constexpr double kPrintRatio = 6.0 / 4.0;

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
                              .arg(kOrderBenchQuality)
                              .arg(box.left)
                              .arg(box.top)
                              .arg(box.Width())
                              .arg(box.Height());
    }
}

}  // namespace

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

