// The thumbnail list: selection, opening, removal, tips and painting.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "BrowserTestSupport.h"
#include "commands/CommandIds.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"

using browsertest::RunEventLoop;
using browsertest::ToQString;
using browsertest::WriteSolidPicture;

namespace {

constexpr uint32_t kGreen = 0x00FF00;

class ThumbnailListTest : public ::testing::Test {
protected:
    void Fill(const std::vector<std::string>& names) {
        for (const std::string& name : names) WriteSolidPicture(m_dir / name, 120, 90, kGreen, RASTER_FORMAT_PNG);
        m_list.resize(400, 300);
        m_list.SetFolder(ToQString(m_dir.path()));
        browsertest::WaitForScan(m_list);
        ASSERT_EQ(m_list.count(), int(names.size()));
    }
    QString PathOf(const std::string& name) const { return ToQString(m_dir / name); }

    testsupport::TempDir m_dir;
    ThumbnailList m_list;
};

int OpenCommands(const std::vector<QString>& posted) { return int(posted.size()); }

}  // namespace

TEST_F(ThumbnailListTest, CurrentPathIsEmptyUntilAnItemIsSelected) {
    Fill({"a.png", "b.png"});
    EXPECT_TRUE(m_list.CurrentPath().isEmpty());
    m_list.setCurrentRow(1);
    EXPECT_EQ(m_list.CurrentPath(), PathOf("b.png"));
}

TEST_F(ThumbnailListTest, SelectionChangesOpenTheLastSelectedOnceAfterTheDelay) {
    Fill({"a.png", "b.png", "c.png"});
    std::vector<QString> posted;
    QObject::connect(&m_list, &ThumbnailList::pictureChosen, [&](const QString& path) { posted.push_back(path); });
    m_list.setCurrentRow(0);
    m_list.setCurrentRow(1);
    m_list.setCurrentRow(2);
    RunEventLoop(30);
    EXPECT_EQ(OpenCommands(posted), 0) << "opened before the delay";
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return OpenCommands(posted) > 0; }));
    RunEventLoop(100);   // a second open would come within this
    EXPECT_EQ(OpenCommands(posted), 1);
    EXPECT_EQ(posted.back(), PathOf("c.png"));
    EXPECT_EQ(m_list.CurrentPath(), PathOf("c.png"));
}

TEST_F(ThumbnailListTest, RemoveFileSelectsTheItemThatFollowed) {
    Fill({"a.png", "b.png", "c.png"});
    m_list.setCurrentRow(0);
    m_list.RemoveFile(PathOf("a.png"));
    ASSERT_EQ(m_list.count(), 2);
    EXPECT_EQ(m_list.CurrentPath(), PathOf("b.png"));
    EXPECT_EQ(m_list.Thumb(0)->m_name, QStringLiteral("b.png"));

    std::vector<QString> posted;
    QObject::connect(&m_list, &ThumbnailList::pictureChosen, [&](const QString& path) { posted.push_back(path); });
    m_list.RemoveFile(PathOf("b.png"));
    EXPECT_EQ(m_list.CurrentPath(), PathOf("c.png"));
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return OpenCommands(posted) > 0; }));
    EXPECT_EQ(OpenCommands(posted), 1);

    m_list.RemoveFile(PathOf("c.png"));   // the last one: nothing follows
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_TRUE(m_list.CurrentPath().isEmpty());
}

TEST_F(ThumbnailListTest, RemovingTheLastItemSelectsNothing) {
    Fill({"a.png", "b.png"});
    m_list.setCurrentRow(1);
    m_list.RemoveFile(PathOf("b.png"));
    ASSERT_EQ(m_list.count(), 1);
    EXPECT_TRUE(m_list.CurrentPath().isEmpty());
    m_list.RemoveFile(PathOf("unknown.png"));
    EXPECT_EQ(m_list.count(), 1);
}

TEST_F(ThumbnailListTest, TipShowsNameThenSize) {
    WriteSolidPicture(m_dir / "wide.png", 400, 300, kGreen, RASTER_FORMAT_PNG);
    m_list.SetFolder(ToQString(m_dir.path()));
    browsertest::WaitForScan(m_list);
    ASSERT_EQ(m_list.count(), 1);
    EXPECT_EQ(m_list.TipText(0), QStringLiteral("wide.png\nWidth=400, Height=300"));
    EXPECT_TRUE(m_list.TipText(5).isEmpty());
}

// A picture that gives no thumbnail keeps its cell: a drawn broken-picture sign (the tear's
// red among the frame's greys), the reason as its tip, and a click opens it as any other, so
// that the picture view says why. A refusal for size is told with the picture's size.
TEST_F(ThumbnailListTest, APictureWithoutThumbnailKeepsItsCellWithASignAndTheReason) {
    testsupport::WriteFileBytes(m_dir / "broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    WriteSolidPicture(m_dir / "huge.png", 1000, 800, kGreen, RASTER_FORMAT_PNG);
    // The limit of a small machine, lowered so far that the 2.4 MB picture is refused.
    const uint64_t previous = RasterImage::MemoryLimit();
    RasterImage::SetMemoryLimit(2'000'000);
    const std::shared_ptr<void> restore(nullptr, [previous](void*) { RasterImage::SetMemoryLimit(previous); });
    m_list.resize(400, 300);
    m_list.SetFolder(ToQString(m_dir.path()));
    browsertest::WaitForScan(m_list);
    ASSERT_EQ(browsertest::ListedNames(m_list), (std::vector<QString>{"broken.png", "huge.png"}));
    EXPECT_TRUE(m_list.TipText(0).startsWith(QStringLiteral("Could not open broken.png: "))) << m_list.TipText(0).toStdString();
    EXPECT_EQ(m_list.TipText(1),
              QStringLiteral("huge.png is 1000 x 800 pixels and needs 3 MB; on this computer a picture may take at most 2 MB."));

    const QImage client = m_list.RenderClient().convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(m_list.Thumb(row)->m_thumb.IsValid());
        const QRect icon = m_list.IconRect(row);
        int reddish = 0;
        for (int y = icon.top(); y <= icon.bottom(); ++y) {
            for (int x = icon.left(); x <= icon.right(); ++x) {
                const QRgb c = client.pixel(x, y);
                reddish += qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100;
            }
        }
        EXPECT_GT(reddish, 5) << "no sign drawn in cell " << row;
    }

    std::vector<QString> posted;
    QObject::connect(&m_list, &ThumbnailList::pictureChosen, [&](const QString& path) { posted.push_back(path); });
    m_list.setCurrentRow(1);
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return OpenCommands(posted) > 0; }));
    EXPECT_EQ(posted, std::vector<QString>{PathOf("huge.png")});
}

TEST_F(ThumbnailListTest, AnEmptyListPaintsItsWholeClientWhite) {
    m_list.resize(300, 200);
    const QImage client = m_list.RenderClient();
    ASSERT_EQ(client.size(), m_list.viewport()->size());
    const QImage white = client.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < white.height(); y += 7) {
        for (int x = 0; x < white.width(); x += 5) ASSERT_EQ(white.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
    }
}

TEST_F(ThumbnailListTest, PaintBlendsTransparentThumbnailsOnWhiteAndFramesTheSelection) {
    browsertest::WriteHalfTransparentPng(m_dir / "a.png", 120, 120, 0x0000FF);
    WriteSolidPicture(m_dir / "b.png", 120, 120, kGreen, RASTER_FORMAT_PNG);
    m_list.resize(400, 300);
    m_list.SetFolder(ToQString(m_dir.path()));
    browsertest::WaitForScan(m_list);
    ASSERT_EQ(m_list.count(), 2);
    m_list.setCurrentRow(1);
    const QImage client = m_list.RenderClient();
    ASSERT_FALSE(client.isNull());

    const QRect icon = m_list.IconRect(0);
    const QPoint centre(icon.left() + icon.width() / 2, icon.top() + icon.height() / 2);
    EXPECT_EQ(client.pixel(centre.x() - 20, centre.y()), qRgb(255, 255, 255)) << "transparent half shows white";
    EXPECT_EQ(client.pixel(centre.x() + 20, centre.y()), qRgb(255, 0, 0)) << "opaque half shows the picture";
    EXPECT_EQ(client.pixel(centre.x() - 30, centre.y() - 30), qRgb(0xC0, 0xC0, 0xC0)) << "unselected frame";

    const QRect selected = m_list.IconRect(1);
    const QPoint corner(selected.left() + selected.width() / 2 - 30, selected.top() + selected.height() / 2 - 30);
    ASSERT_FALSE(m_list.hasFocus());
    EXPECT_EQ(client.pixel(corner), qRgb(0x80, 0, 0)) << "selected frame without focus is dark red";
    EXPECT_EQ(client.pixel(centre.x() + 100, icon.bottom() + 40), qRgb(255, 255, 255)) << "background";

    m_list.show();
    m_list.activateWindow();
    m_list.setFocus();
    RunEventLoop(20);
    if (!m_list.hasFocus()) GTEST_SKIP() << "this platform gives no keyboard focus";
    EXPECT_EQ(m_list.RenderClient().pixel(corner), qRgb(0xFF, 0, 0)) << "selected frame with focus is red";
}

namespace {

// The leftmost and rightmost dark pixel columns inside the label rectangle of row.
std::pair<int, int> LabelInk(const ThumbnailList& list, const QImage& client, int row) {
    const QRect label = list.LabelRect(row);
    int left = label.right();
    int right = label.left();
    for (int y = label.top(); y <= std::min(label.bottom(), client.height() - 1); ++y) {
        for (int x = label.left(); x <= label.right(); ++x) {
            if (qGray(client.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

}  // namespace

TEST_F(ThumbnailListTest, ShortNamesAreCentredAndLongOnesStartAtTheLeft) {
    Fill({"a.png", "a-very-long-picture-name-that-cannot-fit.png"});
    const QImage client = m_list.RenderClient();
    for (int row = 0; row < 2; ++row) {
        const QRect label = m_list.LabelRect(row);
        const auto [left, right] = LabelInk(m_list, client, row);
        ASSERT_LT(left, right) << "no text in row " << row;
        if (m_list.Thumb(row)->m_name == QStringLiteral("a.png")) {
            EXPECT_NEAR((left + right) / 2.0, label.left() + label.width() / 2.0, 3.0);
        } else {
            EXPECT_LE(left, label.left() + 2);
            EXPECT_GE(right, label.right() - 12) << "cut text fills the cell";
        }
    }
}

TEST_F(ThumbnailListTest, LabelsFollowAChangeOfFont) {
    Fill({"abcd.png"});
    const QRect label = m_list.LabelRect(0);
    const auto [left, right] = LabelInk(m_list, m_list.RenderClient(), 0);
    ASSERT_LT(left, right);
    EXPECT_NEAR((left + right) / 2.0, label.left() + label.width() / 2.0, 3.0) << "fits: centred";

    // Four times the size no longer fits the cell: the name is cut and starts at the left.
    QFont larger = m_list.font();
    larger.setPointSizeF(larger.pointSizeF() * 4);
    m_list.setFont(larger);
    const auto [bigLeft, bigRight] = LabelInk(m_list, m_list.RenderClient(), 0);
    ASSERT_LT(bigLeft, bigRight);
    EXPECT_LE(bigLeft, m_list.LabelRect(0).left() + 3) << "laid out again for the new font";
}

TEST_F(ThumbnailListTest, ChangingFolderDoesNotOpenAnything) {
    Fill({"a.png", "b.png"});
    m_list.setCurrentRow(0);
    RunEventLoop(200);
    std::vector<QString> posted;
    QObject::connect(&m_list, &ThumbnailList::pictureChosen, [&](const QString& path) { posted.push_back(path); });
    testsupport::TempDir other;
    m_list.SetFolder(ToQString(other.path()));
    browsertest::WaitForScan(m_list);
    RunEventLoop(200);
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(OpenCommands(posted), 0);
}
