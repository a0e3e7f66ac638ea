// Thumbnails on a screen with more device pixels than logical ones: made for the box in device
// pixels and pasted unscaled. CTest runs these at the scale the test program starts with and
// once more with QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QImage>

#include "BrowserTestSupport.h"
#include "browser/ThumbnailGeometry.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"

using browsertest::ToQString;
using browsertest::WriteSolidPicture;

namespace {
constexpr uint32_t kBlue = 0xFF0000;
}  // namespace

TEST(DevicePixelThumbnails, SideIsTheBoxTimesTheRatioRounded) {
    const struct {
        double ratio;
        int side;
    } cases[] = {{1.0, 60}, {1.25, 75}, {1.5, 90}, {2.0, 120}, {3.0, 180}, {0.5, 60}};
    for (const auto& test : cases) EXPECT_EQ(thumbs::DeviceThumbSide(test.ratio), test.side) << test.ratio;
}

TEST(DevicePixelThumbnails, ListedThumbnailsFillTheirCellsInDevicePixelsUnscaled) {
    browsertest::ClearThumbnailCache();
    testsupport::TempDir dir;
    WriteSolidPicture(dir / "wide.jpg", 640, 480, kBlue, RASTER_FORMAT_JPG);
    WriteSolidPicture(dir / "tall.png", 90, 120, kBlue, RASTER_FORMAT_PNG);
    for (int visit = 0; visit < 2; ++visit) {   // computed, then from the cache
        ThumbnailList list;
        list.resize(400, 300);
        list.SetFolder(ToQString(dir.path()));
        browsertest::WaitForScan(list);
        ASSERT_EQ(list.count(), 2);
        const qreal ratio = list.viewport()->devicePixelRatioF();
        const int side = thumbs::DeviceThumbSide(ratio);
        EXPECT_EQ(list.ThumbnailSide(), side);
        const QImage client = list.RenderClient();
        EXPECT_EQ(client.devicePixelRatio(), ratio);
        EXPECT_EQ(client.size(), list.viewport()->size() * ratio);
        for (int row = 0; row < list.count(); ++row) {
            const ThumbItem& item = *list.Thumb(row);
            const thumbs::Size expected = thumbs::FitIntoSquare(uint32_t(item.m_width), uint32_t(item.m_height), side);
            EXPECT_EQ(item.m_thumb.GetWidth(), expected.width) << visit << item.m_name.toStdString();
            EXPECT_EQ(item.m_thumb.GetHeight(), expected.height) << visit << item.m_name.toStdString();
            // Pasted pixel for pixel and centred in the cell: the picture's colour covers the
            // thumbnail's size in device pixels (the cell's frame may cover its outer lines).
            const QRect icon = list.IconRect(row);
            const QRect device(QPoint(int(icon.left() * ratio), int(icon.top() * ratio)), icon.size() * ratio);
            QRect covered;
            for (int y = device.top(); y <= device.bottom(); ++y) {
                for (int x = device.left(); x <= device.right(); ++x) {
                    const QRgb pixel = client.pixel(x, y);
                    if (qBlue(pixel) > 230 && qRed(pixel) < 25 && qGreen(pixel) < 25) covered |= QRect(x, y, 1, 1);
                }
            }
            const std::string what = std::to_string(visit) + " " + item.m_name.toStdString();
            EXPECT_NEAR(covered.width(), int(expected.width), 2) << what;
            EXPECT_NEAR(covered.height(), int(expected.height), 2) << what;
            EXPECT_NEAR(covered.center().x(), device.center().x(), 2) << what;
            EXPECT_NEAR(covered.center().y(), device.center().y(), 2) << what;
        }
    }
}
