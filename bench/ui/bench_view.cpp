// The picture view on the 5120 x 2880 photograph in a 1920 x 1080 client:
// - opening the JPEG file with LoadPicture until the view copy exists (decode, EXIF turn,
//   normalisation, layout), against the bare decode of the same file;
// - one paint with the round-corner box and a 10% border (what paintEvent draws: the
//   composed client blitted once), against one blit of a client-sized bitmap.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

#include "BenchPictures.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "platform/MessageService.h"
#include "RatioReport.h"
#include "platform/SettingsStore.h"

namespace {

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

// A Qt application for the length of one benchmark (none may run while another exists), with
// the program's settings in a folder of its own and no message box ever shown.
class ViewBenchSession {
public:
    ViewBenchSession() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr) m_application = std::make_unique<QApplication>(m_argc, g_arguments);
        SettingsStore::UseFolder(m_settings.path());
        MessageService::SetAnswerer([this](const QString&, bool) {
            m_messageShown = true;
            return MessageAnswer::No;
        });
        m_view = std::make_unique<PictureView>(nullptr);
        m_view->resize(int(kScreenWidth), int(kScreenHeight));
    }
    ~ViewBenchSession() {
        m_view.reset();
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }

    PictureView& View() { return *m_view; }
    // Opens the photo's file; false when the view did not show it.
    bool OpenPhoto() {
        m_view->LoadPicture(QString::fromStdString(PhotoJpegFile()));
        return !m_messageShown && m_view->PicturesValid();
    }

private:
    int m_argc = 1;
    std::unique_ptr<QApplication> m_application;
    QTemporaryDir m_settings;
    bool m_messageShown = false;
    std::unique_ptr<PictureView> m_view;
};

void View_LoadPicture(benchmark::State& state) {
    ViewBenchSession session;
    for (auto _ : state) {
        if (!session.OpenPhoto()) {
            state.SkipWithError("LoadPicture failed");
            return;
        }
        benchmark::DoNotOptimize(session.View().ViewPicture().GetBits());
    }
}

void Load_PhotoJpegFile(benchmark::State& state) {
    const std::string& path = PhotoJpegFile();
    for (auto _ : state) {
        RasterImage picture;
        if (!picture.Load(path.c_str(), RASTER_FORMAT_JPG)) {
            state.SkipWithError(picture.LastErrorText());
            return;
        }
        benchmark::DoNotOptimize(picture.GetBits());
    }
}

// The surface a paint lands on, reused like a window's backing store.
QImage& ClientSurface() {
    static QImage surface(int(kScreenWidth), int(kScreenHeight), QImage::Format_RGB32);
    return surface;
}

void View_PaintRoundCornerBorder(benchmark::State& state) {
    ViewBenchSession session;
    PictureView& view = session.View();
    view.Box().m_shape = cropbox::kShapeRoundCorner;
    view.Box().m_borderId = cmd::ID_BORDER_NONE + 10;
    if (!session.OpenPhoto()) {
        state.SkipWithError("LoadPicture failed");
        return;
    }
    for (auto _ : state) {
        QPainter painter(&ClientSurface());
        painter.drawImage(0, 0, view.RenderClient());
    }
}

void Blit_FullClient(benchmark::State& state) {
    QImage client(int(kScreenWidth), int(kScreenHeight), QImage::Format_RGB32);
    client.fill(Qt::darkGray);
    for (auto _ : state) {
        QPainter painter(&ClientSurface());
        painter.drawImage(0, 0, client);
    }
}

const bool kLoad = AddComparison("View_LoadPicture", "Load_PhotoJpegFile", 1.3, Memory::Reused);
// A paint composes the client, draws the shape's coverage and lightens the border zone before
// its one blit; 20 blits is about the 10 ms a paint may take on this kind of machine. Both blit
// into the same kept surface; the composed client is a new image per paint, which the C
// allocator serves from memory it already holds after the first.
const bool kPaint = AddComparison("View_PaintRoundCornerBorder", "Blit_FullClient", 20.0, Memory::Reused);

}  // namespace

BENCHMARK(View_LoadPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(Load_PhotoJpegFile)->Unit(benchmark::kMillisecond);
BENCHMARK(View_PaintRoundCornerBorder)->Unit(benchmark::kMillisecond);
BENCHMARK(Blit_FullClient)->Unit(benchmark::kMillisecond);
