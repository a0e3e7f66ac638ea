// The picture view as a real widget at a fixed client size, without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <memory>

#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "../cutter/CutterDialogScript.h"
#include "../cutter/CutterTestPictures.h"
#include "platform/MessageService.h"
#include "platform/RasterQtBridge.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "RoutedViewFixture.h"
#include "platform/ShellOpen.h"
#include "TestSupport.h"
#include "view/StatusPaneText.h"
#include "view/ViewPainter.h"

namespace {

using cropbox::Rect;
using namespace testsupport;

QRgb Grey(int level) { return qRgb(level, level, level); }

class ViewTest : public RoutedViewFixture {
protected:
    // A slider moved by the user, and the position the view gives its slider.
    void SetSlider(uint32_t id, int position) { m_router->Execute(id, CommandValue(position)); }
    int SliderPosition(uint32_t id) const { return m_router->QueryUpdate(id).value.value_or(-1); }

    // Pastes a picture through the clipboard, as the user would.
    void PastePicture(const QImage& picture) {
        QGuiApplication::clipboard()->setImage(picture);
        ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_EDIT_PASTE).enabled);
        ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_PASTE));
    }
    void PasteSolid(int width, int height, QRgb colour) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        PastePicture(picture);
    }
    void PastePattern(uint32_t width, uint32_t height) {
        RasterImage pattern = MakePatternImage(width, height);
        PastePicture(MakeAlphaBitmap(pattern));
    }

    void SendMouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons = Qt::LeftButton) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), QPointF(m_view->mapToGlobal(at)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &event);
    }
    bool SendWheel(int delta) {
        const QPointF at(500, 400);
        QWheelEvent event(at, at, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        event.setAccepted(false);
        QApplication::sendEvent(m_view.get(), &event);
        return event.isAccepted();
    }
    void SendKey(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &event);
    }
    // What the view paints, one pixel per client pixel whatever the screen's ratio: the
    // screen pixel at the middle of each client pixel.
    QImage Shown() {
        const QImage device = m_view->RenderClient();
        const qreal ratio = device.devicePixelRatio();
        if (ratio == 1.0) return device;
        QImage client(m_view->size(), QImage::Format_RGB32);
        for (int y = 0; y < client.height(); ++y) {
            for (int x = 0; x < client.width(); ++x) {
                client.setPixel(x, y, device.pixel(int((x + 0.5) * ratio), int((y + 0.5) * ratio)));
            }
        }
        return client;
    }
    QString Text(uint32_t id) { return m_router->QueryUpdate(id).text.value_or(QStringLiteral("<none>")); }
    Rect Box() const { return m_view->Box().m_crop; }

};

TEST_F(ViewTest, WidgetPaintsWhatRenderClientGivesWithAndWithoutAPicture) {
    const auto painted = [&] { return m_view->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    QImage empty = painted();
    ASSERT_EQ(empty.deviceIndependentSize().toSize(), QSize(1000, 800));
    EXPECT_EQ(empty, m_view->RenderClient());
    PasteSolid(400, 300, qRgb(10, 20, 30));
    m_view->Box().m_showCropBox = true;  // the box drawn over the picture too
    const QImage shown = painted();
    EXPECT_EQ(shown, m_view->RenderClient());
    EXPECT_NE(shown, empty);
}

TEST_F(ViewTest, PasteShowsThePictureAtOnceWithAnEmptyPath) {
    SetSlider(cmd::ID_CONTRAST, 150);
    m_view->Box().m_autoHide = true;
    m_router->Execute(cmd::ID_HIDE_CROPBOX);
    PasteSolid(400, 300, qRgb(10, 20, 30));
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 400u);
    EXPECT_EQ(m_view->Document()->WorkPicture().GetBpp(), 24u);
    EXPECT_FALSE(m_view->Document()->WorkPicture().HasAlpha());
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 400u);  // not enlarged
    EXPECT_EQ(Box(), (Rect{300, 267, 700, 534}));
    EXPECT_EQ(SliderPosition(cmd::ID_CONTRAST), 100);
    EXPECT_FALSE(m_view->Box().m_showCropBox);  // paste does not show the box
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_FILE), QString());
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_IMAGE), "Image: W=400, H=300, W/H=1.33");
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_CROPBOX), "Crop Box:");
    const QImage shown = Shown();
    EXPECT_EQ(shown.pixel(300, 250), qRgb(10, 20, 30));
    EXPECT_EQ(shown.pixel(299, 250), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(699, 549), qRgb(10, 20, 30));
    EXPECT_EQ(shown.pixel(700, 549), qRgb(0, 0, 0));
}

TEST_F(ViewTest, TransparentPastedPartsTurnWhite) {
    QImage picture(100, 100, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 0));
    for (int x = 0; x < 100; ++x) picture.setPixel(x, 0, qRgba(255, 0, 0, 255));
    PastePicture(picture);
    EXPECT_FALSE(m_view->Document()->WorkPicture().HasAlpha());
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 50, 50), 0xFFFFFFu);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 50, 0), RasterRgb(255, 0, 0));
}

TEST_F(ViewTest, LargePicturesAreFittedAndTheStatusMapsTheBoxToPicturePixels) {
    PastePattern(4000, 3000);
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 800u);
    EXPECT_EQ(m_view->ViewPicture().GetHeight(), 600u);

    m_view = MakeView(750, 375);
    m_view->show();
    PastePattern(1200, 600);
    EXPECT_EQ(Box(), (Rect{150, 37, 600, 337}));
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_CROPBOX), "Cropbox: W=900, H=600, W/H=1.50, Printing Size=6x4, DPI=150");
    m_router->Execute(cmd::ID_PRESET_FREE);
    EXPECT_EQ(Box(), (Rect{75, 37, 675, 337}));
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_CROPBOX), "Cropbox: W=1200, H=600, W/H=2.00");
    EXPECT_EQ(Text(cmd::ID_CROPBOX), "Free");
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_ROTATE_CROPBOX).enabled);

    // A window resize lays the picture out again.
    m_view->resize(1000, 800);
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 800u);
    EXPECT_EQ(Box(), (Rect{100, 200, 900, 600}));
}

// 905 x 452 is shown at 800 x 400, and 400 x 905 / 800 = 452.5: scaling the box's height gave
// one row more than the picture has, and Cut made it white.
TEST_F(ViewTest, FreeBoxOverTheWholePictureCutsExactlyThePicture) {
    PastePattern(905, 452);
    m_router->Execute(cmd::ID_PRESET_FREE);
    m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
    m_router->Execute(cmd::ID_BORDER_NONE);
    ASSERT_EQ(Box(), (Rect{100, 200, 900, 600}));
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_CROPBOX), "Cropbox: W=905, H=452, W/H=2.00");
    const RasterImage before(m_view->Document()->WorkPicture());
    ASSERT_TRUE(m_view->Document()->CutToCropBox());
    EXPECT_TRUE(SamePixels(m_view->Document()->WorkPicture(), before));

    // A box reaching below the shown picture still gets white there.
    m_router->Execute(cmd::ID_PRESET_FREE);
    m_view->Box().m_crop.bottom += 10;
    ASSERT_TRUE(m_view->Document()->CutToCropBox());
    const RasterImage& cut = m_view->Document()->WorkPicture();
    ASSERT_GT(cut.GetHeight(), 452u);
    EXPECT_EQ(PictureColor(cut, 0, 451), PictureColor(before, 0, 451));
    EXPECT_EQ(PictureColor(cut, 0, cut.GetHeight() - 1), RasterRgb(255, 255, 255));
}

// The print resolution of a portrait box comes from its long side; too few pixels flag the pane
// with a note that the status bar shows as a tooltip.
TEST_F(ViewTest, CropPaneFlagsTooFewPixelsForThePrint) {
    PastePattern(1080, 1620);
    EXPECT_EQ(Text(cmd::ID_STATUSBAR_PANE_CROPBOX),
              "Cropbox: W=1080, H=1620, W/H=0.67, Printing Size=6x4, DPI=270");
    EXPECT_EQ(ReadPaneText(m_router->QueryUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX)).note, "");

    PastePattern(600, 400);
    const CommandUpdate low = m_router->QueryUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX);
    const PaneText pane = ReadPaneText(low);
    EXPECT_EQ(pane.text, "Cropbox: W=600, H=400, W/H=1.50, Printing Size=6x4, DPI=100");
    EXPECT_EQ(pane.note, "Too few pixels for a sharp 6x4 print: 600 x 400 of 1800 x 1200");

    m_router->Execute(cmd::ID_HIDE_CROPBOX);
    EXPECT_EQ(ReadPaneText(m_router->QueryUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX)).note, "");
}

TEST_F(ViewTest, CropBoxCommandsAndTheirStates) {
    EXPECT_EQ(Text(cmd::ID_CROPBOX), "6x4");
    EXPECT_EQ(Text(cmd::ID_BORDER), "5%");
    // Without a picture a preset is only recorded.
    m_router->Execute(32797);
    EXPECT_TRUE(Box().IsEmpty());
    EXPECT_EQ(Text(cmd::ID_CROPBOX), "12x8");
    EXPECT_TRUE(m_router->QueryUpdate(32797).checked.value_or(false));
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_PRESET_6X4).checked.value_or(true));
    m_router->Execute(cmd::ID_BORDER_NONE);
    EXPECT_EQ(Text(cmd::ID_BORDER), "No");
    m_router->Execute(cmd::ID_SHAPE_OVAL);
    EXPECT_TRUE(m_router->QueryUpdate(cmd::ID_SHAPE_OVAL).checked.value_or(false));
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_SHAPE_RECTANGLE).checked.value_or(true));
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_ROTATE_CROPBOX).enabled);
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_CUT).enabled);
    EXPECT_EQ(Text(cmd::ID_CUT), "Cut");

    PastePattern(600, 400);
    m_router->Execute(cmd::ID_PRESET_6X4);
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_ROTATE_CROPBOX).enabled);
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_CUT).enabled);
    EXPECT_EQ(Box().Width(), 600);
    m_router->Execute(cmd::ID_ROTATE_CROPBOX);
    EXPECT_TRUE(m_router->QueryUpdate(cmd::ID_ROTATE_CROPBOX).checked.value_or(false));
    EXPECT_EQ(Box(), (Rect{367, 200, 634, 600}));  // rounded(400 / 1.5) = 267 wide
    // A hand-made box goes back to the default when a preset is chosen.
    m_router->Execute(cmd::ID_ROTATE_CROPBOX);
    SendKey(Qt::Key_Right);
    m_router->Execute(cmd::ID_PRESET_6X4);
    EXPECT_EQ(Box(), (Rect{200, 200, 800, 600}));

    m_router->Execute(cmd::ID_HIDE_CROPBOX);
    EXPECT_TRUE(m_router->QueryUpdate(cmd::ID_HIDE_CROPBOX).checked.value_or(false));
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_CUT).enabled);
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_ROTATE_CROPBOX).enabled);
}

TEST_F(ViewTest, AutoShowIsStoredAndReadAtConstruction) {
    EXPECT_FALSE(m_view->Box().m_autoHide);
    m_router->Execute(cmd::ID_AUTO_SHOW_CROPBOX);
    EXPECT_TRUE(m_router->QueryUpdate(cmd::ID_AUTO_SHOW_CROPBOX).checked.value_or(false));
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kAutoHideCropbox, -1), 1);
    EXPECT_TRUE(MakeView(100, 100)->Box().m_autoHide);
    m_router->SetActiveView(&m_view->Handlers());
    m_router->Execute(cmd::ID_AUTO_SHOW_CROPBOX);
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kAutoHideCropbox, -1), 0);
}

TEST_F(ViewTest, OShowsTheNextGuideInTheBoxShiftOTurnsTheSpiralAndBothAreRemembered) {
    PasteSolid(400, 300, qRgb(40, 40, 40));
    m_view->Box().m_showCropBox = true;
    const Rect box = Box();
    ASSERT_FALSE(box.IsEmpty());
    const QImage plain = Shown();
    // A point on the first vertical third, halfway down the box.
    const int inset = m_view->Box().BorderInset(box.Width(), box.Height());
    const QPoint onThird(box.left + inset + (box.Width() - 2 * inset) / 3, (box.top + box.bottom) / 2);
    SendKey(Qt::Key_O);
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, -1), 1);
    const QImage thirds = Shown();
    EXPECT_GT(qGray(thirds.pixel(onThird)), qGray(plain.pixel(onThird)) + 40);
    for (int i = 0; i < 3; ++i) SendKey(Qt::Key_O);   // to the spiral
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, -1), 4);
    const QImage spiral = Shown();
    QKeyEvent shiftO(QEvent::KeyPress, Qt::Key_O, Qt::ShiftModifier);
    QApplication::sendEvent(m_view.get(), &shiftO);
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kSpiralTurn, -1), 1);
    EXPECT_NE(Shown(), spiral);
    // Another view starts with the guide chosen last.
    auto next = MakeView(100, 100);
    m_router->SetActiveView(&next->Handlers());
    m_router->Execute(cmd::ID_GUIDE_NEXT);
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, -1), 0);
    // Ctrl+O is not a guide key.
    m_router->SetActiveView(&m_view->Handlers());
    QKeyEvent ctrlO(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
    QApplication::sendEvent(m_view.get(), &ctrlO);
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, -1), 0);
    // The context menu shows this view's guide and chooses another.
    const std::unique_ptr<QMenu> menu(m_view->CreateContextMenu(nullptr));
    QMenu* guides = menu->actions().back()->menu();
    ASSERT_NE(guides, nullptr);
    EXPECT_TRUE(guides->actions()[int(CompositionGuide::GoldenSpiral)]->isChecked());
    EXPECT_TRUE(guides->actions().back()->isEnabled());   // turning the spiral
    guides->actions()[int(CompositionGuide::Diagonals)]->trigger();
    EXPECT_EQ(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, -1), 3);
}

TEST_F(ViewTest, BorderZonePreviewLightensOnlyWhatCutMakesWhite) {
    PasteSolid(400, 300, Grey(128));
    m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
    m_router->Execute(cmd::ID_BORDER_NONE);
    m_router->Execute(cmd::ID_PRESET_FREE);
    ASSERT_EQ(Box(), (Rect{300, 250, 700, 550}));
    const int lightened = LightenTowardWhite(128, 255);
    EXPECT_EQ(lightened, 107 + 42);  // a = 255 div 6 = 42; round(128 x 213 / 255) = 107

    QImage shown = Shown();
    for (int y = 255; y < 545; y += 7) {
        for (int x = 305; x < 695; x += 7) {
            ASSERT_EQ(shown.pixel(x, y), Grey(128)) << x << "," << y;
        }
    }
    // Frame: 2 pixels centred on the box lines; handles red with a white outline.
    EXPECT_EQ(shown.pixel(400, 249), qRgb(0x00, 0x77, 0xE0));
    EXPECT_EQ(shown.pixel(400, 250), qRgb(0x00, 0x77, 0xE0));
    EXPECT_EQ(shown.pixel(400, 248), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(296, 396), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(297, 397), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(303, 403), qRgb(255, 255, 255));

    m_router->Execute(cmd::ID_SHAPE_OVAL);
    shown = Shown();
    for (QPoint corner : {QPoint(305, 255), QPoint(694, 255), QPoint(305, 544), QPoint(694, 544)}) {
        EXPECT_EQ(shown.pixel(corner), Grey(lightened)) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(shown.pixel(500, 400), Grey(128));
    EXPECT_EQ(shown.pixel(500, 300), Grey(128));

    // 5% of (400 + 300) halved = 18 pixels of frame inside the box.
    m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
    m_router->Execute(cmd::ID_BORDER_5);
    shown = Shown();
    EXPECT_EQ(shown.pixel(310, 400), Grey(lightened));
    EXPECT_EQ(shown.pixel(500, 266), Grey(lightened));
    EXPECT_EQ(shown.pixel(500, 270), Grey(128));
    EXPECT_EQ(shown.pixel(320, 400), Grey(128));

    // Outside the picture the box shows white (lightening white keeps it white).
    for (int i = 0; i < 100; ++i) SendKey(Qt::Key_Left);
    shown = Shown();
    EXPECT_EQ(shown.pixel(250, 400), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(150, 400), qRgb(0, 0, 0));

    // A hidden box shows the plain picture.
    m_router->Execute(cmd::ID_HIDE_CROPBOX);
    shown = Shown();
    EXPECT_EQ(shown.pixel(310, 400), Grey(128));
    EXPECT_EQ(shown.pixel(250, 400), qRgb(0, 0, 0));
}

// The border zone the preview lightens ends where the cut's white ends, on all four sides: the
// shape's outline lies on that edge, so the pixels just inside it show the plain picture and
// the pixels just outside are lightened, on the right and at the bottom as on the left and top.
TEST_F(ViewTest, RoundAndOvalPreviewsEndWhereTheCutsWhiteEnds) {
    const int lightened = LightenTowardWhite(128, 255);
    for (uint32_t shape : {cmd::ID_SHAPE_ROUND_CORNER, cmd::ID_SHAPE_OVAL}) {
        m_view = MakeView(1000, 800);
        PasteSolid(400, 300, Grey(128));
        m_router->Execute(shape);
        m_router->Execute(cmd::ID_BORDER_5);
        m_router->Execute(cmd::ID_PRESET_FREE);
        ASSERT_EQ(Box(), (Rect{300, 250, 700, 550}));
        // 5% of (400 + 300) halved = 18: the inner area is 318..681 by 268..531.
        const QImage shown = Shown();
        for (QPoint inside : {QPoint(319, 400), QPoint(680, 400), QPoint(500, 269), QPoint(500, 530)}) {
            EXPECT_EQ(shown.pixel(inside), Grey(128)) << shape << " at " << inside.x() << "," << inside.y();
        }
        for (QPoint outside : {QPoint(316, 400), QPoint(683, 400), QPoint(500, 266), QPoint(500, 533)}) {
            EXPECT_EQ(shown.pixel(outside), Grey(lightened)) << shape << " at " << outside.x() << "," << outside.y();
        }
        ASSERT_TRUE(m_router->Execute(cmd::ID_CUT));
        const RasterImage& cut = m_view->Document()->WorkPicture();
        ASSERT_EQ(cut.GetWidth(), 400u);
        // Picture pixel (x, y) was client pixel (300 + x, 250 + y).
        for (QPoint inside : {QPoint(19, 150), QPoint(380, 150), QPoint(200, 19), QPoint(200, 280)}) {
            EXPECT_EQ(PictureColor(cut, uint32_t(inside.x()), uint32_t(inside.y())), 0x808080u)
                << shape << " at " << inside.x() << "," << inside.y();
        }
        for (QPoint outside : {QPoint(16, 150), QPoint(383, 150), QPoint(200, 16), QPoint(200, 283)}) {
            EXPECT_EQ(PictureColor(cut, uint32_t(outside.x()), uint32_t(outside.y())), 0xFFFFFFu)
                << shape << " at " << outside.x() << "," << outside.y();
        }
    }
}

// On a screen of ratio 2 or 1.5 a paint is made at the screen's pixels: a picture with as many
// pixels as its place on the screen shows every one of them unblurred, inside the box too, the
// frame lies on the screen's pixels, and the light preview reaches that copy as well.
TEST_F(ViewTest, PaintsAtTheScreensPixelsWhenTheirRatioIsAboveOne) {
    const QRgb dark = qRgb(200, 40, 40);
    const QRgb light = qRgb(250, 250, 250);
    for (const qreal ratio : {2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        m_view = MakeView(400, 300);
        // The fit area is 320 x 240 client pixels; the picture has that many screen pixels.
        const int w = qRound(320 * ratio);
        const int h = qRound(240 * ratio);
        QImage checker(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) checker.setPixel(x, y, (x + y) % 2 != 0 ? light : dark);
        }
        PastePicture(checker);
        ASSERT_EQ(m_view->ViewPicture().GetWidth(), 320u);
        m_router->Execute(cmd::ID_SHAPE_RECTANGLE);
        m_router->Execute(cmd::ID_BORDER_NONE);
        m_view->Box().m_showCropBox = true;
        const Rect box = Box();
        ASSERT_FALSE(box.IsEmpty());

        const QImage shown = m_view->RenderClient(ratio);
        EXPECT_EQ(shown.devicePixelRatio(), ratio);
        EXPECT_EQ(shown.size(), QSize(qCeil(400 * ratio), qCeil(300 * ratio)));
        const QPoint origin(qRound(40 * ratio), qRound(30 * ratio));  // the picture's top-left corner
        EXPECT_EQ(shown.pixel(origin - QPoint(1, 1)), qRgb(0, 0, 0));
        int blurred = 0;
        for (int y = 0; y < h; y += 5) {
            const int clientY = int(y / ratio) + 30;
            for (int x = 0; x < w; ++x) {
                const int clientX = int(x / ratio) + 40;
                // Off the box's frame and handles, which lie over the picture.
                if (clientX >= box.left - 6 && clientX < box.left + 6) continue;
                if (clientX >= box.right - 6 && clientX < box.right + 6) continue;
                if (clientY >= box.top - 6 && clientY < box.top + 6) continue;
                if (clientY >= box.bottom - 6 && clientY < box.bottom + 6) continue;
                blurred += shown.pixel(origin + QPoint(x, y)) != checker.pixel(x, y);
            }
        }
        EXPECT_EQ(blurred, 0);
        // The frame is 2 client pixels on the box's lines, at the screen's pixels.
        const QRgb blue = qRgb(0x00, 0x77, 0xE0);
        const int column = qRound((box.left * 3 + box.right) / 4 * ratio);  // clear of the handle
        const auto row = [ratio](double client) { return int(client * ratio); };
        EXPECT_EQ(shown.pixel(column, row(box.top - 0.5)), blue);
        EXPECT_EQ(shown.pixel(column, row(box.top + 0.5)), blue);
        EXPECT_NE(shown.pixel(column, row(box.top - 1.5)), blue);
        EXPECT_NE(shown.pixel(column, row(box.top + 1.5)), blue);

        // The light preview is painted on the sharp copy as on the client one.
        PasteSolid(w, h, qRgb(100, 100, 100));
        SetSlider(cmd::ID_BRIGHTNESS, 150);
        const QRgb lit = m_view->RenderClient(1.0).pixel(45, 35);
        EXPECT_NE(lit, qRgb(100, 100, 100));
        EXPECT_EQ(m_view->RenderClient(ratio).pixel(row(45.5), row(35.5)), lit);
    }
}

// Runs the event loop until done() or for timeoutMs; returns done().
template <typename Done>
bool RunEventsUntil(Done done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Resizes in quick succession are a drag of the window's edge: its steps paint the view copy
// (scaled by the screen) instead of making a screen-sized copy each time, and the sharp paint
// returns once the size settles. A lone resize, as a maximise, stays sharp.
TEST_F(ViewTest, ADragOfTheWindowsEdgePaintsSharpOnceTheSizeSettles) {
    constexpr qreal kRatio = 2.0;
    m_view = MakeView(400, 300);
    m_view->show();   // a hidden widget gets its resize only when shown
    PasteSolid(1600, 1200, qRgb(30, 90, 150));
    RunEventsUntil([] { return false; }, 400);
    m_view->resize(380, 290);
    EXPECT_EQ(m_view->RenderClient(kRatio).devicePixelRatio(), kRatio) << "a lone resize";
    m_view->resize(360, 280);
    const QImage dragged = m_view->RenderClient(kRatio);
    EXPECT_EQ(dragged.devicePixelRatio(), 1.0) << "a step of a drag";
    EXPECT_EQ(dragged.size(), QSize(360, 280));
    EXPECT_TRUE(RunEventsUntil([&] { return m_view->RenderClient(kRatio).devicePixelRatio() == kRatio; }, 2000))
        << "sharp again once the size settled";
}

TEST_F(ViewTest, EmptyViewPaintsBlackAndIgnoresInput) {
    const QImage shown = Shown();
    EXPECT_EQ(shown.size(), QSize(1000, 800));
    EXPECT_EQ(shown.pixel(500, 400), qRgb(0, 0, 0));
    SendMouse(QEvent::MouseButtonDblClick, QPoint(500, 400));
    EXPECT_TRUE(m_view->Box().m_showCropBox);
    EXPECT_FALSE(SendWheel(120));
    SendKey(Qt::Key_Left);
    EXPECT_TRUE(Box().IsEmpty());
    for (uint32_t id : {cmd::ID_ROTATE_LEFT, cmd::ID_SEPIA, cmd::ID_CONTRAST, cmd::ID_EDIT_COPY}) {
        EXPECT_FALSE(m_router->QueryUpdate(id).enabled) << id;
    }
}

TEST_F(ViewTest, DoubleClickTogglesTheBox) {
    PastePattern(400, 300);
    SendMouse(QEvent::MouseButtonDblClick, QPoint(10, 10));
    EXPECT_FALSE(m_view->Box().m_showCropBox);
    EXPECT_EQ(m_view->Box().m_dragMode, 0);
    SendMouse(QEvent::MouseButtonDblClick, QPoint(10, 10));
    EXPECT_TRUE(m_view->Box().m_showCropBox);
}

TEST_F(ViewTest, DraggingMovesTheBoxAndEscapeEndsTheDragWhereItIs) {
    m_view->show();
    PastePattern(400, 300);
    const Rect start = Box();
    SendKey(Qt::Key_Escape);  // no drag: nothing happens
    EXPECT_EQ(Box(), start);

    SendMouse(QEvent::MouseButtonPress, QPoint(500, 400));
    EXPECT_EQ(m_view->Box().m_dragMode, cropbox::kDragMove);
    SendMouse(QEvent::MouseMove, QPoint(520, 410));
    EXPECT_EQ(Box().left, start.left + 20);
    SendKey(Qt::Key_Escape);
    EXPECT_EQ(m_view->Box().m_dragMode, 0);
    SendMouse(QEvent::MouseMove, QPoint(560, 450));
    EXPECT_EQ(Box().left, start.left + 20);
    EXPECT_EQ(Box().top, start.top + 10);
    SendMouse(QEvent::MouseButtonRelease, QPoint(560, 450), Qt::NoButton);

    // Resize by the right handle, then release.
    const Rect moved = Box();
    const int cy = moved.top + (moved.bottom - moved.top) / 2;
    SendMouse(QEvent::MouseButtonPress, QPoint(moved.right, cy));
    EXPECT_EQ(m_view->Box().m_dragMode, cropbox::kDragRight);
    SendMouse(QEvent::MouseMove, QPoint(moved.right - 30, cy));
    SendMouse(QEvent::MouseButtonRelease, QPoint(moved.right - 30, cy), Qt::NoButton);
    EXPECT_EQ(m_view->Box().m_dragMode, 0);
    EXPECT_EQ(Box().right, moved.right - 30);
    EXPECT_EQ(Box().Height(), cropbox::Round((moved.Width() - 30) / 1.5));
}

TEST_F(ViewTest, CursorsFollowTheHitTest) {
    PastePattern(400, 300);
    const Rect box = Box();
    const int cy = box.top + (box.bottom - box.top) / 2;
    const int cx = box.left + (box.right - box.left) / 2;
    SendMouse(QEvent::MouseMove, QPoint(box.left, cy), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::SizeHorCursor);
    SendMouse(QEvent::MouseMove, QPoint(cx, box.bottom), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::SizeVerCursor);
    SendMouse(QEvent::MouseMove, QPoint(cx + 20, cy), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::SizeAllCursor);
    SendMouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ViewTest, WheelAndArrowKeysResizeAndNudge) {
    PastePattern(400, 300);
    const Rect start = Box();
    EXPECT_TRUE(SendWheel(120));
    EXPECT_EQ(Box().Width(), start.Width() + 1);
    EXPECT_TRUE(SendWheel(-960));  // one pixel whatever the delta
    EXPECT_EQ(Box().Width(), start.Width());
    SendKey(Qt::Key_Down);
    SendKey(Qt::Key_Right);
    SendKey(Qt::Key_Right);
    EXPECT_EQ(Box().left, start.left + 2);
    EXPECT_EQ(Box().top, start.top + 1);
    m_router->Execute(cmd::ID_PRESET_FREE);
    EXPECT_FALSE(SendWheel(120));
}

TEST_F(ViewTest, DeleteKeyPostsTheDeleteCommand) {
    int deletes = 0;
    CommandHandlers document;
    document.On(cmd::ID_DELETE, [&] { ++deletes; });
    m_router->SetDocument(&document);
    SendKey(Qt::Key_Delete);
    EXPECT_EQ(deletes, 0);  // posted, not sent
    QCoreApplication::processEvents();
    EXPECT_EQ(deletes, 1);
    m_router->SetDocument(nullptr);
}

TEST_F(ViewTest, QuarterTurnsTurnTheBoxWithThePictureAndPlaceItAsOnLoad) {
    PastePattern(2000, 3000);
    const Rect portraitBox = Box();
    ASSERT_LT(portraitBox.right - portraitBox.left, portraitBox.bottom - portraitBox.top);
    PastePattern(3000, 2000);
    const Rect landscapeBox = Box();
    const RasterImage before(m_view->Document()->WorkPicture());
    ASSERT_TRUE(m_router->Execute(cmd::ID_ROTATE_LEFT));
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 2000u);
    EXPECT_EQ(m_view->Document()->WorkPicture().GetHeight(), 3000u);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 0, 2999), PictureColor(before, 0, 0));
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 427u);
    EXPECT_EQ(m_view->ViewPicture().GetHeight(), 640u);
    EXPECT_EQ(Box(), portraitBox);
    ASSERT_TRUE(m_router->Execute(cmd::ID_ROTATE_RIGHT));
    EXPECT_EQ(Box(), landscapeBox);
    // Mirror and flip keep the orientation and the box's.
    m_router->Execute(cmd::ID_MIRROR);
    EXPECT_EQ(Box(), landscapeBox);
}

TEST_F(ViewTest, MirrorFlipAndRotateRightTurnTheWorkingPicture) {
    PastePattern(300, 200);
    const RasterImage before(m_view->Document()->WorkPicture());
    m_router->Execute(cmd::ID_MIRROR);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 0, 0), PictureColor(before, 299, 0));
    m_router->Execute(cmd::ID_FLIP);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 0, 0), PictureColor(before, 299, 199));
    m_router->Execute(cmd::ID_ROTATE_RIGHT);
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 200u);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 199, 0), PictureColor(before, 299, 199));
}

TEST_F(ViewTest, ToneCommandsChangeTheWorkingPicture) {
    PasteSolid(200, 100, qRgb(200, 100, 30));
    m_router->Execute(cmd::ID_SEPIA);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 5, 5), RasterRgb(160, 110, 60));
    m_router->Execute(cmd::ID_COOL_TONE);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 5, 5), RasterRgb(110, 110, 110));
    m_router->Execute(cmd::ID_WARM_TONE);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 5, 5), RasterRgb(135, 110, 85));
}

TEST_F(ViewTest, LightPreviewChangesOnlyTheViewCopy) {
    PastePattern(600, 400);
    const RasterImage work(m_view->Document()->WorkPicture());
    const RasterImage plain(m_view->ViewPicture());

    SetSlider(cmd::ID_CONTRAST, 130);
    RasterImage expected(plain);
    expected.AdjustLight(0, 30);
    EXPECT_TRUE(SamePixels(m_view->ViewPicture(), expected));
    EXPECT_TRUE(SamePixels(m_view->Document()->WorkPicture(), work));

    // The preview starts again from the working picture: it never accumulates.
    SetSlider(cmd::ID_BRIGHTNESS, 80);
    expected = plain;
    expected.AdjustLight(-20, 30);
    EXPECT_TRUE(SamePixels(m_view->ViewPicture(), expected));

    SetSlider(cmd::ID_CONTRAST, 100);
    SetSlider(cmd::ID_BRIGHTNESS, 100);
    m_router->Execute(cmd::ID_CONTRAST);
    EXPECT_TRUE(SamePixels(m_view->ViewPicture(), plain));
}

// A window drag relayouts from the working picture reduced once to the screen's size, not from
// the whole photograph each step; the view copy it gives differs from a direct rescale only by
// rounding, and the light preview stays on through the resize.
TEST_F(ViewTest, ResizingRescalesFromTheReducedPictureAndKeepsTheLightPreview) {
    m_view = MakeView(500, 400);
    QImage gradient(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x) gradient.setPixel(x, y, qRgb(x * 255 / 3999, y * 255 / 2999, 90));
    }
    PastePicture(gradient);
    const RasterImage& reduced = m_view->Copies().Reduced();
    ASSERT_TRUE(reduced.IsValid());
    EXPECT_LE(reduced.GetWidth(), 2000u);
    EXPECT_GE(reduced.GetWidth(), m_view->ViewPicture().GetWidth());
    // On a HiDPI screen the view copies come from a reduction at logical pixels.
    const RasterImage& logical = m_view->Copies().LogicalReduced();
    EXPECT_EQ(logical.IsValid(), m_view->devicePixelRatioF() > 1);
    if (logical.IsValid()) {
        EXPECT_LT(logical.GetWidth(), reduced.GetWidth());
    }

    SetSlider(cmd::ID_BRIGHTNESS, 130);
    m_view->resize(450, 350);
    RasterImage expected;
    const_cast<RasterImage&>(m_view->Document()->WorkPicture())
        .Rescale(m_view->ViewPicture().GetWidth(), m_view->ViewPicture().GetHeight(), RASTER_RESCALE_AREA, &expected);
    expected.AdjustLight(30, 0);
    const RasterImage& view = m_view->ViewPicture();
    ASSERT_EQ(view.GetWidth(), expected.GetWidth());
    int largest = 0;
    for (uint32_t y = 0; y < view.GetHeight(); y += 13) {
        for (uint32_t x = 0; x < view.GetWidth(); x += 13) {
            const uint32_t a = PictureColor(view, x, y);
            const uint32_t b = PictureColor(expected, x, y);
            for (int shift : {0, 8, 16}) largest = std::max(largest, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
        }
    }
    EXPECT_LE(largest, 2);
    // The box is placed over the new view copy, and Cut still works on the whole picture.
    ASSERT_FALSE(Box().IsEmpty());
    ASSERT_TRUE(m_router->Execute(cmd::ID_CUT));
    EXPECT_GT(m_view->Document()->WorkPicture().GetWidth(), 2000u);
}

TEST_F(ViewTest, CopyAppliesTheLightValuesToTheClipboardPicture) {
    PasteSolid(64, 48, qRgb(100, 100, 100));
    SetSlider(cmd::ID_BRIGHTNESS, 120);
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_EDIT_COPY).enabled);
    ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_COPY));
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(64, 48));
    EXPECT_EQ(qRed(copied.pixel(3, 3)), 120);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 3, 3), RasterRgb(100, 100, 100));
}

TEST_F(ViewTest, ContextMenuRunsCopyAndPasteThroughTheRouter) {
    PasteSolid(64, 48, qRgb(1, 2, 3));
    QGuiApplication::clipboard()->clear();
    std::unique_ptr<QMenu> menu(m_view->CreateContextMenu(nullptr));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);   // Copy, Paste, a separator, Straighten by Line and the guides
    EXPECT_EQ(actions[3]->text(), "Straighten by &Line");
    ASSERT_NE(actions[4]->menu(), nullptr);
    EXPECT_EQ(actions[4]->menu()->actions().size(), kCompositionGuideCount + 2);
    EXPECT_EQ(actions[0]->text(), "&Copy\tCtrl+C");
    EXPECT_EQ(actions[1]->text(), "&Paste\tCtrl+V");
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_FALSE(actions[1]->isEnabled());
    actions[0]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(0, 0), qRgb(1, 2, 3));
}

TEST_F(ViewTest, CustomizationOpensTheMakersPage) {
    QStringList opened;
    ShellOpen::SetOpener([&](const QString& url) {
        opened << url;
        return true;
    });
    m_router->Execute(cmd::ID_CUSTOMIZATION);
    ShellOpen::SetOpener({});
    EXPECT_EQ(opened, QStringList{QString::fromLatin1(kCustomizationUrl)});
}

// The cut itself is the document's (see its tests); through the ribbon, Cut lays the view out
// again and is refused while the box is hidden.
TEST_F(ViewTest, CutFromTheRibbonLaysTheViewOutAgainAndAutoHides) {
    m_view->Box().m_autoHide = true;
    PastePattern(400, 300);
    m_router->Execute(cmd::ID_PRESET_FREE);
    m_view->Box().m_crop = Rect{310, 260, 410, 340};  // picture pixels (10, 10) .. (110, 90)
    m_router->Execute(cmd::ID_CUT);
    ASSERT_EQ(m_view->Document()->WorkPicture().GetWidth(), 100u);
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 100u);
    EXPECT_EQ(Box(), (Rect{450, 360, 550, 440}));  // laid out again
    EXPECT_FALSE(m_view->Box().m_showCropBox);
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_CUT).enabled);
    m_router->Execute(cmd::ID_CUT);  // hidden: nothing happens
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 100u);
}

// Ext. Cutter from the ribbon: disabled without a picture; Cancel changes nothing; OK puts the
// cut (no alpha) in place of the working picture, lays it out and hides the box by auto hide.
TEST_F(ViewTest, ExtCutterReplacesThePictureByTheCutOnOkOnly) {
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_EXT_CUTTER).enabled);
    const QString cutterPath = m_settings.path() + QStringLiteral("/shape.png");
    ASSERT_TRUE(cuttertest::MakeSquareShapeCutter(100).Save(cutterPath.toUtf8().constData(), RASTER_FORMAT_PNG));
    SettingsStore::WriteString(settings::kSection, settings::kCutterFilePath, cutterPath);
    m_view->Box().m_autoHide = true;
    PasteSolid(400, 300, qRgb(0, 0, 255));
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_EXT_CUTTER).enabled);

    cuttertest::AnswerCutterDialog(false);
    m_router->Execute(cmd::ID_EXT_CUTTER);
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 400u);
    EXPECT_TRUE(m_view->Box().m_showCropBox);

    cuttertest::AnswerCutterDialog(true);
    m_router->Execute(cmd::ID_EXT_CUTTER);
    const RasterImage& cut = m_view->Document()->WorkPicture();
    ASSERT_TRUE(cut.IsValid());
    EXPECT_FALSE(cut.HasAlpha());
    // The square cutter at the picture's scale: larger than the picture, which lies at 80%.
    EXPECT_GT(cut.GetWidth(), 400u);
    EXPECT_NEAR(double(cut.GetWidth()), double(cut.GetHeight()), 1.0);
    EXPECT_EQ(PictureColor(cut, 2, 2), 0xFFFFFFu);  // outside the shape
    EXPECT_EQ(PictureColor(cut, cut.GetWidth() / 2, cut.GetHeight() / 2), 0xFF0000u);  // blue inside
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), cut.GetWidth());  // laid out again, at 1:1
    EXPECT_FALSE(m_view->Box().m_showCropBox);

    // Undone, the pasted picture and its shown box return; redone, the cut.
    const RasterImage result(cut);
    ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_UNDO));
    EXPECT_EQ(m_view->Document()->WorkPicture().GetWidth(), 400u);
    EXPECT_EQ(PictureColor(m_view->Document()->WorkPicture(), 2, 2), 0xFF0000u);
    EXPECT_TRUE(m_view->Box().m_showCropBox);
    ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_REDO));
    EXPECT_TRUE(SamePixels(m_view->Document()->WorkPicture(), result));
    EXPECT_FALSE(m_view->Box().m_showCropBox);
}

TEST_F(ViewTest, CutRefusesBoxesUnderSixtyFourPixels) {
    m_view->Box().m_autoHide = true;
    PastePattern(400, 300);
    m_view->Box().m_crop = Rect{300, 250, 363, 400};
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_CUT).enabled);  // 63 > 32 but below 64
    const RasterImage before(m_view->Document()->WorkPicture());
    m_router->Execute(cmd::ID_CUT);
    EXPECT_TRUE(SamePixels(m_view->Document()->WorkPicture(), before));
    EXPECT_TRUE(m_view->Box().m_showCropBox);
    EXPECT_EQ(Box(), (Rect{300, 250, 363, 400}));
}

TEST_F(ViewTest, BracketKeysAndALineAlongTheHorizonStraightenThePictureAndShowTheFineGrid) {
    m_view->show();
    PasteSolid(400, 300, qRgb(40, 40, 40));   // shown 1:1 at (300, 250)
    m_view->Box().m_showCropBox = true;
    const QImage plain = Shown();
    SendKey(Qt::Key_BracketRight);
    EXPECT_DOUBLE_EQ(m_view->Document()->StraightenDegrees(), 0.1);
    QKeyEvent shifted(QEvent::KeyPress, Qt::Key_BraceRight, Qt::ShiftModifier);
    QApplication::sendEvent(m_view.get(), &shifted);
    EXPECT_NEAR(m_view->Document()->StraightenDegrees(), 1.1, 1e-9);

    // Turned anticlockwise: the top edge now runs below the picture's top-left corner, which
    // shows white; the fine grid crosses the box's middle while the turn changes.
    const QImage turned = Shown();
    EXPECT_LT(qGray(plain.pixel(301, 251)), 60);
    EXPECT_GT(qGray(turned.pixel(301, 251)), 200);
    const Rect box = Box();
    const int middle = (box.left + box.right) / 2;
    const int below = (box.top + box.bottom) / 2 + 5;
    int brightest = 0;
    for (int x = middle - 2; x <= middle + 2; ++x) brightest = std::max(brightest, qGray(turned.pixel(x, below)));
    EXPECT_GT(brightest, qGray(plain.pixel(middle, below)) + 40);

    // A line drawn rising 16 pixels over 300 (3.05 degrees) turns the picture that much clockwise.
    const std::unique_ptr<QMenu> menu(m_view->CreateContextMenu(nullptr));
    QAction* byLine = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Straighten by &Line")) byLine = action;
    }
    ASSERT_NE(byLine, nullptr);
    ASSERT_TRUE(byLine->isEnabled());
    byLine->trigger();
    const Rect before = Box();
    SendMouse(QEvent::MouseButtonPress, QPoint(350, 420));
    SendMouse(QEvent::MouseMove, QPoint(650, 404));
    SendMouse(QEvent::MouseButtonRelease, QPoint(650, 404), Qt::NoButton);
    EXPECT_NEAR(m_view->Document()->StraightenDegrees(), -2.0, 1e-9);
    EXPECT_EQ(m_view->Box().m_dragMode, 0) << "the line is no drag of the box";
    EXPECT_LE(Box().Width(), before.Width());
}

}  // namespace

TEST_F(ViewTest, CropBoxChoicesAreRememberedAcrossViewsAndBadStoredOnesFallBack) {
    const cropbox::CropBoxModel defaults;
    PastePattern(600, 400);
    m_router->Execute(cmd::ID_SHAPE_OVAL);
    m_router->Execute(cmd::ID_PRESET_FIRST + 1);
    m_router->Execute(cmd::ID_BORDER_NONE + 10);
    m_router->Execute(cmd::ID_ROTATE_CROPBOX);
    ASSERT_NE(m_view->Box().m_rotated, defaults.m_rotated);
    {
        const auto next = MakeView(400, 300);
        EXPECT_EQ(next->Box().m_shape, cropbox::kShapeOval);
        EXPECT_EQ(next->Box().m_presetId, cmd::ID_PRESET_FIRST + 1);
        EXPECT_EQ(next->Box().m_borderId, cmd::ID_BORDER_NONE + 10);
        EXPECT_NE(next->Box().m_rotated, defaults.m_rotated);
    }
    m_router->SetActiveView(&m_view->Handlers());
    for (const auto& [key, value] : {std::pair{settings::kCropShape, 4}, std::pair{settings::kCropPreset, 32800},
                                     std::pair{settings::kCropBorder, 32800}, std::pair{settings::kCropRotated, 2}}) {
        SettingsStore::WriteInt(settings::kSection, key, value);
    }
    const auto fallback = MakeView(400, 300);
    EXPECT_EQ(fallback->Box().m_shape, defaults.m_shape);
    EXPECT_EQ(fallback->Box().m_presetId, defaults.m_presetId);
    EXPECT_EQ(fallback->Box().m_borderId, defaults.m_borderId);
    EXPECT_EQ(fallback->Box().m_rotated, defaults.m_rotated);
    m_router->SetActiveView(&m_view->Handlers());
}
