// What a photo's colour profile costs where pictures are shown, on the 5120 x 2880 photo:
//   View_LoadPicture_DisplayP3  LoadPicture of the photo tagged with a camera's EXIF block
//                               and a Display P3 profile (metadata read and checked, the view
//                               copy converted), against the untagged file;
//   Thumbs_Cold_Tagged          thumbnails of a folder of tagged copies with an empty
//                               thumbnail cache (profile read, thumbnails converted), against
//                               the same folder untagged.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "CameraMetadata.h"
#include "RatioReport.h"
#include "browser/ThumbnailMaker.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "platform/ThumbnailCache.h"
#include "view/PictureView.h"

namespace {

constexpr int kFolderPhotos = 6;
char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

// A Qt application and the program's settings in a folder of their own for one benchmark.
class QtSession {
public:
    QtSession() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr) m_application = std::make_unique<QApplication>(m_argc, g_arguments);
        SettingsStore::UseFolder(m_settings.path());
        MessageService::SetAnswerer([](const QString&, bool) { return MessageAnswer::No; });
    }
    ~QtSession() {
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }

private:
    int m_argc = 1;
    std::unique_ptr<QApplication> m_application;
    QTemporaryDir m_settings;
};

void LoadIntoView(benchmark::State& state, const std::string& path) {
    QtSession session;
    PictureView view(nullptr);
    view.resize(int(kScreenWidth), int(kScreenHeight));
    for (auto _ : state) {
        view.LoadPicture(QString::fromStdString(path));
        if (!view.PicturesValid()) {
            state.SkipWithError("LoadPicture failed");
            return;
        }
        benchmark::DoNotOptimize(view.ViewPicture().GetBits());
    }
}

void View_LoadPicture_DisplayP3(benchmark::State& state) { LoadIntoView(state, TaggedPhotoJpegFile()); }
void View_LoadPicture_Untagged(benchmark::State& state) { LoadIntoView(state, PhotoJpegFile()); }

// Thumbnails of kFolderPhotos copies of source, as the loader makes them with an empty cache.
void ColdThumbnails(benchmark::State& state, const std::string& source) {
    QtSession session;
    QTemporaryDir folder;
    QTemporaryDir cache;
    thumbs::SetCacheHomeOverride(cache.path());
    std::vector<QString> files;
    for (int i = 0; i < kFolderPhotos; ++i) {
        files.push_back(folder.filePath(QStringLiteral("photo%1.jpg").arg(i)));
        QFile::copy(QString::fromStdString(source), files.back());
    }
    for (auto _ : state) {
        for (const QString& file : files) {
            thumbs::Size size;
            RasterImage thumb;
            if (!thumbs::PlatformThumbnail(file, size, thumb, nullptr)) {
                state.SkipWithError("no thumbnail");
                break;
            }
            benchmark::DoNotOptimize(thumb.GetBits());
        }
    }
    thumbs::SetCacheHomeOverride(QString());
}

void Thumbs_Cold_Tagged(benchmark::State& state) { ColdThumbnails(state, TaggedPhotoJpegFile()); }
void Thumbs_Cold_Untagged(benchmark::State& state) { ColdThumbnails(state, PhotoJpegFile()); }

}  // namespace

BENCHMARK(View_LoadPicture_DisplayP3)->Unit(benchmark::kMillisecond);
BENCHMARK(View_LoadPicture_Untagged)->Unit(benchmark::kMillisecond);
BENCHMARK(Thumbs_Cold_Tagged)->Unit(benchmark::kMillisecond);
BENCHMARK(Thumbs_Cold_Untagged)->Unit(benchmark::kMillisecond);

namespace {
const bool kLoadTagged = AddComparison("View_LoadPicture_DisplayP3", "View_LoadPicture_Untagged", 1.15, Memory::Reused);
const bool kThumbsTagged = AddComparison("Thumbs_Cold_Tagged", "Thumbs_Cold_Untagged", 1.05, Memory::Reused);
}  // namespace
