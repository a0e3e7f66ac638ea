// The "Alpha Picture Cutter" dialog and its preview control as widgets: layout, the stored
// cutter, "Open...", the OK / Reverse Alpha state, mouse dragging, painting, the settings
// after OK and Cancel, and the Ext. Cutter entry point.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <vector>

#include "image/RasterFormatTable.h"
#include "cutter/AlphaCutterPreview.h"
#include "CutterDialogScript.h"
#include "CutterTestPictures.h"
#include "cutter/AlphaCutterDialog.h"
#include "cutter/ExtCutterCommand.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "cutter/StarterCutters.h"
#include "TestSupport.h"

using namespace cuttertest;

namespace {

void RunPostedCalls() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), widget->mapToGlobal(QPointF(point)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void DragWithMouse(QWidget* widget, QPoint from, QPoint to, bool release = true) {
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, to, Qt::LeftButton);
    if (release) SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

QPoint Centre(const RasterRect& r) {
    return QPoint(r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2);
}

QString CutterStoredPath() {
    return SettingsStore::ReadString(settings::kSection, settings::kCutterFilePath);
}

class AlphaCutterDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::UseFolder(Path("settings"));
        MessageService::SetAnswerer([this](const QString& text, bool) {
            m_messages.push_back(text);
            return MessageAnswer::Ok;
        });
        FileDialogService::SetChooser([this](const FileDialogRequest& request) {
            m_requests.push_back(request);
            return m_chosen;
        });
        m_shapeCutter = Path("shape.png");
        m_plainCutter = Path("plain.bmp");
        RasterImage shape = MakeSquareShapeCutter(100);
        RasterImage plain = testsupport::MakeSolidImage(300, 200, kBlack);
        ASSERT_TRUE(shape.Save(m_shapeCutter.toUtf8().constData(), RASTER_FORMAT_PNG));
        ASSERT_TRUE(plain.Save(m_plainCutter.toUtf8().constData(), RASTER_FORMAT_BMP));
    }
    void TearDown() override {
        FileDialogService::SetChooser({});
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }
    QString Path(const char* name) const { return QString::fromStdString((m_dir / name).string()); }

    // The shape cutter as the one confirmed last time.
    void StoreShapeCutter() {
        SettingsStore::WriteString(settings::kSection, settings::kCutterFilePath, m_shapeCutter);
    }
    // A dialog with the blue picture, its preview and placement built.
    void Prepare(AlphaCutterDialog& dialog) {
        dialog.CutterView()->SetPicture(m_picture);
        dialog.CutterView()->BuildBackdrop();
        RunPostedCalls();
    }

    testsupport::TempDir m_dir;
    std::vector<QString> m_messages;
    std::vector<FileDialogRequest> m_requests;
    QString m_chosen;
    QString m_shapeCutter;
    QString m_plainCutter;
    const RasterImage m_picture = testsupport::MakeSolidImage(640, 480, kBlue);
};

}  // namespace

// The dialog keeps the size earlier versions opened it at, in its font's terms: 481 quarters
// of the letters' mean width by 323 eighths of a line, halves rounded up. The preview fills
// it above the row of buttons.
TEST_F(AlphaCutterDialogTest, HasAFixedSizeFromItsFontWithThePreviewAboveTheButtons) {
    AlphaCutterDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Alpha Picture Cutter");
    const QFontMetrics metrics = dialog.fontMetrics();
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int letter = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    EXPECT_EQ(dialog.size(), QSize((481 * letter + 2) / 4, (323 * metrics.height() + 4) / 8));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    const QRect preview = dialog.CutterView()->geometry();
    EXPECT_GT(preview.width(), dialog.width() * 9 / 10);
    EXPECT_GT(preview.height(), dialog.height() * 3 / 4);
    std::vector<QRect> buttons;
    for (QPushButton* button :
         {dialog.OpenButton(), dialog.ReverseAlphaButton(), dialog.OkButton(), dialog.CancelButton()}) {
        const QRect area(button->mapTo(&dialog, QPoint()), button->size());
        EXPECT_GT(area.top(), preview.bottom());
        EXPECT_TRUE(dialog.rect().contains(area));
        buttons.push_back(area);
    }
    EXPECT_LT(buttons[0].right(), buttons[1].left());  // Open..., Reverse Alpha, then the answers
    EXPECT_LT(buttons[1].right(), std::min(buttons[2].left(), buttons[3].left()));
    EXPECT_EQ(dialog.OpenButton()->text(), "Open...");
    EXPECT_EQ(dialog.ReverseAlphaButton()->text(), "Reverse Alpha");
    EXPECT_EQ(dialog.OkButton()->text(), "OK");
    EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
    EXPECT_TRUE(dialog.OkButton()->isDefault());
}

TEST_F(AlphaCutterDialogTest, StartsWithTheStoredCutterAndEnablesOkOnceThePictureIsPlaced) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    EXPECT_EQ(dialog.CutterPath(), m_shapeCutter);
    EXPECT_TRUE(dialog.CutterView()->Model().Cutter().IsValid());
    RunPostedCalls();
    EXPECT_FALSE(dialog.OkButton()->isEnabled());  // nothing placed yet
    Prepare(dialog);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.ReverseAlphaButton()->isEnabled());
    EXPECT_TRUE(dialog.OpenButton()->isEnabled());
}

TEST_F(AlphaCutterDialogTest, StoredCutterThatNoLongerLoadsIsDroppedSilently) {
    SettingsStore::WriteString(settings::kSection, settings::kCutterFilePath, Path("gone.png"));
    AlphaCutterDialog dialog;
    Prepare(dialog);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(dialog.CutterPath().isEmpty());
    EXPECT_FALSE(dialog.CutterView()->Model().Cutter().IsValid());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.ReverseAlphaButton()->isEnabled());
    EXPECT_TRUE(dialog.CancelButton()->isEnabled());
}

TEST_F(AlphaCutterDialogTest, OpenStartsAtTheConfirmedCutterAndLoadsTheChosenOne) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    m_chosen = m_plainCutter;
    dialog.OpenButton()->click();
    ASSERT_EQ(m_requests.size(), 1u);
    const FileDialogRequest& request = m_requests.front();
    EXPECT_FALSE(request.save);
    EXPECT_TRUE(request.mustExist);
    EXPECT_EQ(request.folder, QString::fromStdString(m_dir.path().string()));
    EXPECT_EQ(request.fileName, "shape.png");
    EXPECT_EQ(request.filter,
              "Image Files (*.bmp *.gif *.jpg *.jpeg *.png *.tif *.tiff *.tga *.pcx *.wbmp *.wmf *.emf *.j2k *.jp2 "
              "*.jbg *.j2c *.jpc *.pgx *.pnm *.pgm *.ppm *.ras *.webp *.heic *.heif *.hif *.avif *.jxl)");
    EXPECT_EQ(request.filter, QString::fromStdString(RasterOpenFilter("Image Files")));  // from the format table
    EXPECT_EQ(dialog.CutterPath(), m_plainCutter);
    EXPECT_EQ(dialog.CutterView()->Model().Cutter().GetWidth(), 300u);

    // The next Open... still starts at the confirmed one, not at the one just opened.
    m_chosen.clear();
    dialog.OpenButton()->click();
    ASSERT_EQ(m_requests.size(), 2u);
    EXPECT_EQ(m_requests.back().fileName, "shape.png");
    EXPECT_EQ(dialog.CutterPath(), m_plainCutter);  // cancelled: nothing changes
}

TEST_F(AlphaCutterDialogTest, OpenStartsAmongTheStarterCuttersWhenNoneWasUsedYet) {
    AlphaCutterDialog dialog;
    m_chosen.clear();
    dialog.OpenButton()->click();
    ASSERT_EQ(m_requests.size(), 1u);
    EXPECT_FALSE(StarterCutterFolder().isEmpty());
    EXPECT_EQ(m_requests.front().folder, StarterCutterFolder());
    EXPECT_TRUE(m_requests.front().fileName.isEmpty());
}

TEST_F(AlphaCutterDialogTest, FileThatDoesNotLoadKeepsThePreviousCutter) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    testsupport::WriteFileBytes(m_dir / "broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    m_chosen = Path("broken.png");
    dialog.OpenButton()->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages.front().toStdString(), "Could not open broken.png: not a PNG file.");
    EXPECT_EQ(dialog.CutterPath(), m_shapeCutter);
    EXPECT_EQ(dialog.CutterView()->Model().Cutter().GetWidth(), 100u);
    RunPostedCalls();
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
}

TEST_F(AlphaCutterDialogTest, CancelStoresNothingAndOkStoresTheCutterInUse) {
    StoreShapeCutter();
    {
        AlphaCutterDialog dialog;
        Prepare(dialog);
        m_chosen = m_plainCutter;
        dialog.OpenButton()->click();
        dialog.CancelButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(CutterStoredPath(), m_shapeCutter);
    }
    AlphaCutterDialog dialog;
    Prepare(dialog);
    dialog.OpenButton()->click();
    dialog.CutterView()->BuildBackdrop();  // the new cutter's backdrop
    dialog.OkButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(CutterStoredPath(), m_plainCutter);
}

TEST_F(AlphaCutterDialogTest, OkDoesNothingWhileTheCutCannotBeMade) {
    AlphaCutterDialog dialog;
    Prepare(dialog);
    dialog.show();
    dialog.accept();  // Enter, or a click that slipped through
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(CutterStoredPath(), QString());
    dialog.reject();
}

TEST_F(AlphaCutterDialogTest, MovingThePictureAwayDisablesOkAndMovingItBackEnablesItOnRelease) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    AlphaCutterPreview* view = dialog.CutterView();
    ASSERT_TRUE(dialog.OkButton()->isEnabled());
    const QPoint start = Centre(view->Model().Placement());
    const QPoint away = start + QPoint(view->width(), 0);

    DragWithMouse(view, start, away);
    RunPostedCalls();
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.ReverseAlphaButton()->isEnabled());

    DragWithMouse(view, away, start, false);
    RunPostedCalls();
    EXPECT_FALSE(dialog.OkButton()->isEnabled());  // still dragging
    SendMouse(view, QEvent::MouseButtonRelease, start, Qt::NoButton);
    RunPostedCalls();
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.ReverseAlphaButton()->isEnabled());
}

// When the release never reaches the control (another window took the mouse), the first move
// without the button ends the drag: the picture stays where it was let go, and OK follows it.
TEST_F(AlphaCutterDialogTest, DragWhoseReleaseWasLostEndsAtTheNextMoveWithoutTheButton) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    AlphaCutterPreview* view = dialog.CutterView();
    const QPoint start = Centre(view->Model().Placement());
    const QPoint away = start + QPoint(view->width(), 0);
    DragWithMouse(view, start, away, false);
    const RasterRect letGo = view->Model().Placement();

    SendMouse(view, QEvent::MouseMove, start, Qt::NoButton);
    RunPostedCalls();
    EXPECT_EQ(view->Model().CurrentDragMode(), cutter::DRAG_NONE);
    EXPECT_TRUE(cutter::SameRect(view->Model().Placement(), letGo));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

TEST_F(AlphaCutterDialogTest, CursorShowsWhatThePointerWouldGrab) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    AlphaCutterPreview* view = dialog.CutterView();
    const RasterRect placement = view->Model().Placement();
    const QPoint centre = Centre(placement);
    const struct {
        QPoint point;
        Qt::CursorShape shape;
    } cases[] = {{QPoint(placement.left, centre.y()), Qt::SizeHorCursor},
                 {QPoint(centre.x(), placement.bottom), Qt::SizeVerCursor},
                 {centre, Qt::SizeAllCursor},
                 {QPoint(2, 2), Qt::ArrowCursor}};
    for (const auto& c : cases) {
        SendMouse(view, QEvent::MouseMove, c.point, Qt::NoButton);
        EXPECT_EQ(view->cursor().shape(), c.shape) << c.point.x() << ", " << c.point.y();
    }
}

TEST_F(AlphaCutterDialogTest, PaintShowsThePictureThroughTheCutterWithTheRedFrame) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    AlphaCutterPreview* view = dialog.CutterView();
    view->SetPicture(m_picture);
    EXPECT_EQ(view->grab().toImage().pixel(view->width() / 2, view->height() / 2), qRgb(0, 0, 0));
    RunPostedCalls();  // the first paint posted the build
    ASSERT_TRUE(view->Model().HasBackdrop());

    const QImage shown = view->grab().toImage();
    const RasterRect placement = view->Model().Placement();
    const RasterRect cutterRect = view->Model().CutterRect();
    const QPoint centre = Centre(cutterRect);
    EXPECT_EQ(shown.pixel(centre), qRgb(0, 0, 255));                                   // through the shape
    EXPECT_EQ(shown.pixel(cutterRect.left + 3, centre.y() - 20), qRgb(255, 255, 255));  // the white cutter
    EXPECT_EQ(shown.pixel(cutterRect.left - 3, 3), qRgb(0, 0, 0));                      // the black backdrop
    EXPECT_EQ(shown.pixel(placement.left + 30, placement.top), qRgb(255, 0, 0));        // frame, top edge
    EXPECT_EQ(shown.pixel(placement.right - 1, placement.top + 30), qRgb(255, 0, 0));   // right edge, inside
    EXPECT_EQ(shown.pixel(placement.left - 4, Centre(placement).y() - 4), qRgb(255, 0, 0));  // left handle
}

// Runs at screen ratios 1 and 2.
class DevicePixelCutterPreview : public AlphaCutterDialogTest {};

// The preview is built and put on the screen at the screen's own pixels, its frame and handles
// keep their size on the screen, and the mouse meets the picture where it is drawn.
TEST_F(DevicePixelCutterPreview, IsBuiltPaintedAndDraggedAtTheScreensPixels) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    AlphaCutterPreview* view = dialog.CutterView();
    const qreal ratio = view->devicePixelRatioF();
    const int line = qRound(ratio);
    const QSize device(qCeil(view->width() * ratio), qCeil(view->height() * ratio));
    const RasterImage& backdrop = view->Model().Backdrop();
    ASSERT_EQ(QSize(int(backdrop.GetWidth()), int(backdrop.GetHeight())), device);

    const QImage shown = view->grab().toImage();
    EXPECT_EQ(shown.size(), device);
    const RasterRect placement = view->Model().Placement();
    const QPoint centre = Centre(view->Model().CutterRect());
    EXPECT_EQ(shown.pixel(centre), qRgb(0, 0, 255));   // through the shape
    const int x = placement.left + 30 * line;
    EXPECT_EQ(shown.pixel(x, placement.top + line - 1), qRgb(255, 0, 0));   // the frame, as thick as a logical pixel
    EXPECT_NE(shown.pixel(x, placement.top + line), qRgb(255, 0, 0));

    // Three logical pixels left of the left edge still grab its handle.
    const QPoint leftEdge(int(placement.left / ratio), int(Centre(placement).y() / ratio));
    EXPECT_EQ(view->HitTestPlacement(leftEdge - QPoint(3, 0)), cutter::DRAG_LEFT);
    // A drag of ten logical pixels moves the picture ten logical pixels.
    const QPoint start(int(Centre(placement).x() / ratio), leftEdge.y());
    DragWithMouse(view, start, start + QPoint(10, 0));
    EXPECT_EQ(view->Model().Placement().left, placement.left + qRound(10 * ratio));
}

TEST_F(AlphaCutterDialogTest, PictureGivenAfterTheFirstBuildIsPlacedToo) {
    AlphaCutterDialog dialog;
    AlphaCutterPreview* view = dialog.CutterView();
    view->BuildBackdrop();
    ASSERT_TRUE(view->Model().HasBackdrop());
    view->SetPicture(m_picture);
    RunPostedCalls();
    EXPECT_FALSE(cutter::IsEmpty(view->Model().Placement()));
    EXPECT_TRUE(view->Model().Preview().IsValid());
}

TEST_F(AlphaCutterDialogTest, ReverseAlphaButtonInvertsTheCutter) {
    StoreShapeCutter();
    AlphaCutterDialog dialog;
    Prepare(dialog);
    const RasterImage& cutter = dialog.CutterView()->Model().Cutter();
    EXPECT_EQ(PictureAlpha(cutter, 50, 50), 0);
    dialog.ReverseAlphaButton()->click();
    EXPECT_EQ(PictureAlpha(cutter, 50, 50), 255);
    EXPECT_FALSE(dialog.CutterView()->Model().HasBackdrop());
}

TEST_F(AlphaCutterDialogTest, ExtCutterGivesTheCutWithoutAlphaOnOkOnly) {
    StoreShapeCutter();
    const RasterImage work = testsupport::MakeSolidImage(640, 480, kBlue);
    RasterImage result = testsupport::MakeSolidImage(2, 2, kRed);

    AnswerCutterDialog(false);
    EXPECT_FALSE(RunExtCutter(nullptr, work, result));
    EXPECT_EQ(result.GetWidth(), 2u);

    AnswerCutterDialog(true);
    ASSERT_TRUE(RunExtCutter(nullptr, work, result));
    EXPECT_FALSE(result.HasAlpha());
    EXPECT_EQ(result.GetBpp(), 24u);
    // A square cutter; its corners are scaled one by one, so the sides may differ by a pixel.
    EXPECT_NEAR(double(result.GetWidth()), double(result.GetHeight()), 1.0);
    EXPECT_EQ(testsupport::PictureColor(result, result.GetWidth() / 2, result.GetHeight() / 2), kBlue);
    EXPECT_EQ(testsupport::PictureColor(result, 2, 2), kWhite);

    EXPECT_FALSE(RunExtCutter(nullptr, RasterImage(), result));
}

TEST(StarterCutters, EachIsAPictureWithTransparentAndOpaqueParts) {
    const QString folder = StarterCutterFolder();
    ASSERT_FALSE(folder.isEmpty());
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString())) {
        if (entry.path().extension() != ".png") continue;
        ++count;
        RasterImage cutter;
        ASSERT_TRUE(cutter.Load(entry.path().c_str(), RASTER_FORMAT_PNG)) << entry.path();
        ASSERT_TRUE(cutter.HasAlpha()) << entry.path();
        const uint8_t* alpha = cutter.GetAlphaPlane();
        const size_t size = size_t(cutter.GetWidth()) * cutter.GetHeight();
        EXPECT_NE(std::find(alpha, alpha + size, 0), alpha + size) << entry.path();
        EXPECT_NE(std::find(alpha, alpha + size, 255), alpha + size) << entry.path();
    }
    EXPECT_GE(count, 4);
}
