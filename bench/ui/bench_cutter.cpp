// The Alpha Picture Cutter at full size: the 5120 x 2880 photograph under a 1280 x 720
// vignette cutter (a soft-edged alpha: the picture shows in the middle, the cutter's colour
// covers the edges) in the dialog's preview control at its default size.
//
// CutterGetResult builds the cut at the picture's scale (about the whole photograph) and is
// timed against one alpha-blend paste of the photograph onto a picture of the same size
// carrying that vignette as its alpha plane: the blend every cut has to do anyway.
// CutterGetResult_LongWay is the cut composed step by step on a canvas over both
// rectangles, for comparison, and CutterFreshOutput_Photo what merely making a fresh output
// of that size costs (the blocks the previous iteration freed come back from the block pool;
// without it, new memory is zeroed by the system on first touch).
// CutterPaint_* time one real paint of the control (rendered offscreen) while a drag changes
// the placement before every paint; "median_ms" is the median wall time of the single
// paints, the CPU column their mean CPU time together with the mouse move before each.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <vector>

#include "cutter/AlphaCutterPreview.h"
#include "BenchPictures.h"
#include "cutter/CutterModel.h"
#include "cutter/AlphaCutterDialog.h"
#include "RatioReport.h"
#include "platform/SettingsStore.h"
#include "cutter/StarterCutters.h"

namespace {

constexpr uint32_t kCutterWidth = 1280;
constexpr uint32_t kCutterHeight = 720;

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

uint8_t VignetteLevel(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    const double dx = (x - width / 2.0) / (width / 2.0);
    const double dy = (y - height / 2.0) / (height / 2.0);
    const double d = std::sqrt(dx * dx + dy * dy);
    return uint8_t(std::clamp(int((d - 0.55) * 420.0), 0, 255));
}

// Grey levels only (no alpha plane): black in the middle, white at the edges, a soft ring
// between. The cutter takes them as its alpha and turns white.
RasterImage MakeGreyVignette() {
    RasterImage cutter;
    cutter.Create(kCutterWidth, kCutterHeight, 24, 0);
    for (uint32_t y = 0; y < kCutterHeight; ++y) {
        uint8_t* p = cutter.RowPointer(y);
        for (uint32_t x = 0; x < kCutterWidth; ++x, p += 3) p[0] = p[1] = p[2] = VignetteLevel(x, y, kCutterWidth, kCutterHeight);
    }
    return cutter;
}

// The same vignette as an alpha plane over a colour gradient: the cutter keeps its colours.
RasterImage MakeColouredVignette() {
    RasterImage cutter;
    cutter.Create(kCutterWidth, kCutterHeight, 24, 0);
    cutter.CreateAlpha();
    for (uint32_t y = 0; y < kCutterHeight; ++y) {
        uint8_t* p = cutter.RowPointer(y);
        uint8_t* a = cutter.AlphaPointer(0, y);
        for (uint32_t x = 0; x < kCutterWidth; ++x, p += 3) {
            p[0] = uint8_t(x * 255 / kCutterWidth);
            p[1] = uint8_t(y * 255 / kCutterHeight);
            p[2] = uint8_t(200 - (x + y) % 64);
            a[x] = VignetteLevel(x, y, kCutterWidth, kCutterHeight);
        }
    }
    return cutter;
}

// Makes sure a QApplication exists while a benchmark runs (offscreen), and keeps the
// program's settings away from the user's store.
class QtSession {
public:
    QtSession() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QApplication::instance()) m_app.emplace(m_argc, g_arguments);
        SettingsStore::UseFolder(m_settings.path());
    }
    ~QtSession() { SettingsStore::UseFolder(QString()); }

private:
    int m_argc = 1;
    QTemporaryDir m_settings;
    std::optional<QApplication> m_app;
};

// The size of the preview control in a dialog of the default size.
QSize DefaultControlSize() {
    AlphaCutterDialog dialog;
    return dialog.CutterView()->size();
}

// A model as the dialog leaves it: picture and cutter given, built for the control's size,
// the picture placed at its first position (under the cutter, about the same size).
cutter::CutterModel PlacedModel(const RasterImage& cutterPicture) {
    const QSize control = DefaultControlSize();
    cutter::CutterModel model;
    model.SetPicture(Pictures().photo);
    model.SetCutter(cutterPicture);
    model.BuildBackdrop(control.width(), control.height());
    return model;
}

void TimeGetResult(benchmark::State& state, const RasterImage& cutterPicture) {
    QtSession qt;
    cutter::CutterModel model = PlacedModel(cutterPicture);
    if (!model.CanCut()) {
        state.SkipWithError("the placed picture cannot be cut");
        return;
    }
    double megapixels = 0;
    for (auto _ : state) {
        RasterImage result;
        if (!model.GetResult(result)) {
            state.SkipWithError("GetResult failed");
            return;
        }
        benchmark::DoNotOptimize(result.GetBits());
        megapixels = double(result.GetWidth()) * result.GetHeight() / 1e6;
    }
    state.counters["result_mp"] = megapixels;
}

void CutterGetResult_GreyVignette(benchmark::State& state) {
    TimeGetResult(state, MakeGreyVignette());
}

void CutterGetResult_ColouredVignette(benchmark::State& state) {
    TimeGetResult(state, MakeColouredVignette());
}

// The cutters the program ships (one colour each, two for the frame), at their first
// placement on the photograph: real shapes rather than the vignettes above. Their results
// differ in size from the photograph ("result_mp").
void CutterGetResult_Starter(benchmark::State& state, const char* file) {
    RasterImage cutter;
    const QByteArray path = QFile::encodeName(StarterCutterFolder() + QLatin1Char('/') + QLatin1String(file));
    if (!cutter.Load(path.constData(), RASTER_FORMAT_PNG)) {
        state.SkipWithError("the starter cutter could not be read");
        return;
    }
    TimeGetResult(state, cutter);
}

// The cut composed the long way: canvas over both rectangles, cutter copied in, picture
// blended under it, cropped to the cutter.
void CutterGetResult_LongWay(benchmark::State& state) {
    QtSession qt;
    const cutter::CutterModel model = PlacedModel(MakeGreyVignette());
    const double scale = double(model.Picture().GetWidth()) / double(cutter::Width(model.Placement()));
    RasterRect cutterRect = cutter::Scaled(model.CutterRect(), scale);
    RasterRect pictureRect = cutter::Scaled(model.Placement(), scale);
    const RasterRect both = cutter::Union(cutterRect, pictureRect);
    cutterRect = cutter::Offset(cutterRect, -both.left, -both.top);
    pictureRect = cutter::Offset(pictureRect, -both.left, -both.top);
    const RasterRect canvasRect = cutter::Union(cutterRect, pictureRect);
    RasterImage cutterImage(model.Cutter());
    for (auto _ : state) {
        RasterImage scaled;
        RasterImage canvas;
        if (!cutterImage.Rescale(uint32_t(cutter::Width(cutterRect)), uint32_t(cutter::Height(cutterRect)),
                                 RASTER_RESCALE_AREA, &scaled) ||
            !canvas.Create(uint32_t(cutter::Width(canvasRect)), uint32_t(cutter::Height(canvasRect)), 24, 0) ||
            !canvas.CreateAlpha()) {
            state.SkipWithError("no memory");
            return;
        }
        canvas.FillColor(0xFFFFFF);
        canvas.SetAlphaLevel(0);
        canvas.PasteAll(scaled, 0, 0, cutterRect.left, cutterRect.top, RASTER_PASTE_COPY, 1.0);
        canvas.PasteAll(model.Picture(), 0, 0, pictureRect.left, pictureRect.top, RASTER_PASTE_ALPHA_BLEND, 1.0);
        canvas.Crop(cutterRect);
        benchmark::DoNotOptimize(canvas.GetBits());
    }
}

// The blend a cut cannot avoid: the photograph pasted in mode 4 onto a picture of its size
// whose alpha plane is the vignette at that size. Only the destination has alpha, so it stays
// the same and every iteration does the same work.
void CutterPasteMode4_Photo(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    RasterImage destination;
    if (!destination.Create(photo.GetWidth(), photo.GetHeight(), 24, 0) || !destination.CreateAlpha()) {
        state.SkipWithError("no memory");
        return;
    }
    destination.FillColor(0xFFFFFF);
    for (uint32_t y = 0; y < photo.GetHeight(); ++y) {
        uint8_t* a = destination.AlphaPointer(0, y);
        for (uint32_t x = 0; x < photo.GetWidth(); ++x) a[x] = VignetteLevel(x, y, photo.GetWidth(), photo.GetHeight());
    }
    for (auto _ : state) {
        if (!destination.PasteAll(photo, 0, 0, 0, 0, RASTER_PASTE_ALPHA_BLEND, 1.0)) {
            state.SkipWithError("Paste failed");
            return;
        }
        benchmark::DoNotOptimize(destination.GetBits());
        benchmark::ClobberMemory();
    }
}

// What any cut of this size pays before computing a pixel: a fresh 24-bit picture with an
// alpha plane of the photograph's size, every byte written once (in the blocks of the
// previous iteration, kept by the block pool).
void CutterFreshOutput_Photo(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    for (auto _ : state) {
        RasterImage output;
        if (!output.Create(photo.GetWidth(), photo.GetHeight(), 24, 0) || !output.CreateAlpha()) {
            state.SkipWithError("no memory");
            return;
        }
        output.FillColor(0xFFFFFF);
        benchmark::DoNotOptimize(output.GetBits());
        benchmark::ClobberMemory();
    }
}

// What a cutter with colours of its own needs beyond the blend: its colours and alpha enlarged
// to the photograph's size by Rescale (bilinear, as the cut does it), on their own.
void CutterRescaleColoured_Photo(benchmark::State& state) {
    const RasterImage& photo = Pictures().photo;
    RasterImage cutter = MakeColouredVignette();
    for (auto _ : state) {
        RasterImage scaled;
        if (!cutter.Rescale(photo.GetWidth(), photo.GetHeight(), RASTER_RESCALE_AREA, &scaled)) {
            state.SkipWithError("Rescale failed");
            return;
        }
        benchmark::DoNotOptimize(scaled.GetBits());
    }
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Grabs the placement where `grab` says and, before every paint, drags it to the next of two
// points `travel` apart, so that every paint shows a new placement.
template <class GrabPoint>
void TimeDragPaint(benchmark::State& state, GrabPoint grab, QPoint travel) {
    QtSession qt;
    AlphaCutterDialog dialog;
    AlphaCutterPreview* view = dialog.CutterView();
    view->SetPicture(Pictures().photo);
    view->SetCutter(MakeGreyVignette());
    view->BuildBackdrop();
    const QPoint start = grab(view->Model().Placement());
    SendMouse(view, QEvent::MouseButtonPress, start);
    if (view->Model().CurrentDragMode() == cutter::DRAG_NONE) {
        state.SkipWithError("the drag did not start");
        return;
    }
    QImage screen(view->size(), QImage::Format_RGB32);
    std::vector<double> paints;
    bool away = false;
    for (auto _ : state) {
        away = !away;
        SendMouse(view, QEvent::MouseMove, away ? start + travel : start);
        const auto begin = std::chrono::steady_clock::now();
        view->render(&screen);
        paints.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        benchmark::DoNotOptimize(screen.constBits());
    }
    SendMouse(view, QEvent::MouseButtonRelease, away ? start + travel : start);
    state.counters["median_ms"] = Median(paints);
    state.counters["control_w"] = view->width();
    state.counters["control_h"] = view->height();
}

// Moving the whole placement: the scaled preview is reused, the composition is not.
void CutterPaint_DragMove(benchmark::State& state) {
    const auto middle = [](const RasterRect& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); };
    TimeDragPaint(state, middle, QPoint(23, 11));
}

// Dragging the right handle: the preview is scaled to a new size for every paint.
void CutterPaint_DragResize(benchmark::State& state) {
    const auto rightHandle = [](const RasterRect& r) {
        const RasterRect handle = cutter::HandleRect(r, cutter::DRAG_RIGHT);
        return QPoint(handle.left + cutter::kHandleHalf, handle.top + cutter::kHandleHalf);
    };
    TimeDragPaint(state, rightHandle, QPoint(-37, 0));
}

const bool kGetResultGrey = AddComparison("CutterGetResult_GreyVignette", "CutterPasteMode4_Photo", 2.0, Memory::Reused);
const bool kGetResultColoured = AddComparison("CutterGetResult_ColouredVignette", "CutterPasteMode4_Photo", 2.0, Memory::Reused);
const bool kRescaleColoured = AddReference("CutterRescaleColoured_Photo", "CutterPasteMode4_Photo", Memory::Reused);
const bool kStarterHeart = AddReference("CutterGetResult_Starter/heart", "CutterPasteMode4_Photo", Memory::Reused);
const bool kStarterStar = AddReference("CutterGetResult_Starter/star", "CutterPasteMode4_Photo", Memory::Reused);
const bool kStarterVignette = AddReference("CutterGetResult_Starter/oval_vignette", "CutterPasteMode4_Photo", Memory::Reused);
const bool kStarterFrame = AddReference("CutterGetResult_Starter/rounded_frame", "CutterPasteMode4_Photo", Memory::Reused);

}  // namespace

BENCHMARK(CutterPasteMode4_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterFreshOutput_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterRescaleColoured_Photo)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterGetResult_GreyVignette)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterGetResult_ColouredVignette)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CutterGetResult_Starter, heart, "heart.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CutterGetResult_Starter, star, "star.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CutterGetResult_Starter, oval_vignette, "oval-vignette.png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CutterGetResult_Starter, rounded_frame, "rounded-frame.png")->Unit(benchmark::kMillisecond);
BENCHMARK(CutterGetResult_LongWay)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterPaint_DragMove)->Unit(benchmark::kMillisecond);
BENCHMARK(CutterPaint_DragResize)->Unit(benchmark::kMillisecond);
