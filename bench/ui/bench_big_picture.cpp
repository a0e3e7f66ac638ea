// A 200-megapixel phone photo (16320 x 12240 JPEG, quality 90) and a 100-megapixel picture:
// - the view's first paint of the photo (open until its reduced preview is painted in a
//   1920 x 1080 client) against a bare libjpeg-turbo decode reduced in the DCT domain to the
//   scale the preview uses;
// - the full open (what the worker decodes) against a bare decode into reused memory;
// - Save of the 100-megapixel picture as JPEG q90 (1 x 1 sampling, as the program writes)
//   against cjpeg -quality 90 -sample 1x1 reading the same pixels from a PPM file;
// - the growth of the resident peak while a document cuts the 100-megapixel picture with an
//   oval box (its undo copy is the picture itself), over the picture's bytes, in a child.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include "doc/PictureDocument.h"
#include "doc/PictureLoader.h"
#include "view/PictureView.h"

#include "platform/SettingsStore.h"

#include "image/formats/RasterJpegThumbnail.h"

#include "BareJpeg.h"
#include "BenchPictures.h"
#include "ChildModes.h"
#include "ProcessMemory.h"
#include "RatioReport.h"

namespace {

constexpr uint32_t kPhoneWidth = 16320;
constexpr uint32_t kPhoneHeight = 12240;
constexpr uint32_t kHundredWidth = 12000;
constexpr uint32_t kHundredHeight = 8400;
constexpr uint8_t kQuality = 90;
// The DCT scale (n / 8) that fits the phone photo to a 1920 x 1080 client: 2040 x 1530.
constexpr unsigned kPreviewScale = 1;

char g_programName[] = "snipwell_bench";
char* g_arguments[] = {g_programName, nullptr};

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / ("snipwell-bench-" + std::to_string(getpid()) + "-" + name))
        .string();
}

// The bench photo stretched to width x height.
bool MakeLarge(uint32_t width, uint32_t height, RasterImage& large) {
    RasterImage photo(Pictures().photo);
    return photo.Rescale(width, height, RASTER_RESCALE_AREA, &large);
}

// A file written once per process and removed at exit; empty when it could not be made.
struct BenchFile {
    std::string path;
    ~BenchFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

const std::string& PhonePhotoFile() {
    static BenchFile file;
    if (file.path.empty()) {
        RasterImage large;
        const std::string path = TempPath("phone.jpg");
        if (MakeLarge(kPhoneWidth, kPhoneHeight, large)) {
            large.SetJpegQuality(kQuality);
            if (large.Save(path.c_str(), RASTER_FORMAT_JPG)) file.path = path;
        }
    }
    return file.path;
}

const RasterImage& HundredMegapixels() {
    static RasterImage picture;
    if (!picture.IsValid()) MakeLarge(kHundredWidth, kHundredHeight, picture);
    return picture;
}

// An offscreen application with the program's settings in a folder of its own.
class BigPictureSession {
public:
    BigPictureSession() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr) m_application = std::make_unique<QApplication>(m_argc, g_arguments);
        SettingsStore::UseFolder(m_settings.path());
    }
    ~BigPictureSession() { SettingsStore::UseFolder(QString()); }

private:
    int m_argc = 1;
    std::unique_ptr<QApplication> m_application;
    QTemporaryDir m_settings;
};

void BigPhoto_FirstPaint(benchmark::State& state) {
    const std::string& path = PhonePhotoFile();
    if (path.empty()) return state.SkipWithError("no phone photo");
    BigPictureSession session;
    PictureView view(nullptr);
    view.resize(int(kScreenWidth), int(kScreenHeight));
    for (auto _ : state) {
        view.LoadPicture(QString::fromStdString(path));
        benchmark::DoNotOptimize(view.RenderClient());
        state.PauseTiming();
        const bool previewed = view.Document()->IsBusy();
        view.LoadPicture(QString());  // stops the full decode
        state.ResumeTiming();
        if (!previewed) return state.SkipWithError("the photo was not previewed");
    }
}

std::vector<uint8_t> PhonePhotoBytes() {
    std::vector<uint8_t> bytes;
    if (!PhonePhotoFile().empty()) ReadWholeFile(PhonePhotoFile().c_str(), bytes);
    return bytes;
}

void BigPhoto_ScaledDecode_Libjpeg(benchmark::State& state) {
    const std::vector<uint8_t> bytes = PhonePhotoBytes();
    BareBgrPicture picture;
    for (auto _ : state) {
        if (!BareJpegDecodeScaled(bytes.data(), bytes.size(), kPreviewScale, picture)) {
            return state.SkipWithError("libjpeg-turbo decode failed");
        }
        benchmark::DoNotOptimize(picture.rows);
    }
}

void BigPhoto_FullOpen(benchmark::State& state) {
    const std::string& path = PhonePhotoFile();
    if (path.empty()) return state.SkipWithError("no phone photo");
    for (auto _ : state) {
        OpenedPicture opened;
        if (!PictureLoader::OpenFull(QString::fromStdString(path), opened)) return state.SkipWithError("open failed");
        benchmark::DoNotOptimize(opened.picture.GetBits());
    }
}

void BigPhoto_Decode_Libjpeg(benchmark::State& state) {
    const std::vector<uint8_t> bytes = PhonePhotoBytes();
    // Kept across repetitions as the program's block pool keeps its blocks: memory faulted in
    // once, as "reused memory" means (a fresh 600 MB block per repetition costs page faults
    // that the decode does not).
    static BareBgrPicture picture;
    for (auto _ : state) {
        if (!BareJpegDecode(bytes.data(), bytes.size(), picture)) return state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(picture.rows);
    }
}

void Save100MP_Jpeg(benchmark::State& state) {
    RasterImage picture(HundredMegapixels());
    picture.SetJpegQuality(kQuality);
    const std::string path = TempPath("saved.jpg");
    for (auto _ : state) {
        PictureMetadata none;
        if (!picture.Save(path.c_str(), RASTER_FORMAT_JPG, &none)) return state.SkipWithError(picture.LastErrorText());
    }
    std::remove(path.c_str());
}

// picture as a binary PPM (R,G,B rows from the top), the input cjpeg reads.
bool WritePpm(const RasterImage& picture, const std::string& path) {
    std::ofstream file(path, std::ios::binary);
    const uint32_t width = picture.GetWidth();
    const uint32_t height = picture.GetHeight();
    file << "P6\n" << width << ' ' << height << "\n255\n";
    std::vector<char> row(size_t(width) * 3);
    for (uint32_t y = height; y-- > 0;) {  // stored rows run from the bottom
        const uint8_t* bgr = picture.RowPointer(y);
        for (size_t x = 0; x < width; ++x) {
            row[3 * x] = char(bgr[3 * x + 2]);
            row[3 * x + 1] = char(bgr[3 * x + 1]);
            row[3 * x + 2] = char(bgr[3 * x]);
        }
        file.write(row.data(), std::streamsize(row.size()));
    }
    return bool(file);
}

void Save100MP_Cjpeg(benchmark::State& state) {
    const std::string ppm = TempPath("hundred.ppm");
    const std::string out = TempPath("cjpeg.jpg");
    if (!WritePpm(HundredMegapixels(), ppm)) return state.SkipWithError("no PPM");
    const std::string command = "cjpeg -quality 90 -sample 1x1 -outfile '" + out + "' '" + ppm + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cjpeg failed (apt-get install libjpeg-turbo-progs)");
            break;
        }
    }
    std::remove(ppm.c_str());
    std::remove(out.c_str());
}

// The child: a document with the 100-megapixel picture cuts an oval; prints the resident peak
// during the Cut, less what was resident before the picture existed, over the picture's bytes.
int PrintDocumentCutPeak() {
    BigPictureSession session;
    // Large blocks straight from and back to the system, so that memory freed earlier and
    // still resident cannot hide the growth.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    Pictures();  // the stretched picture's source, made before the count starts
    const long before = StatusKilobytes("VmRSS:");
    PictureDocument document;
    document.SetViewArea({int(kScreenWidth), int(kScreenHeight)});
    RasterImage picture;
    if (!MakeLarge(kHundredWidth, kHundredHeight, picture)) return 1;
    const double bytes = double(picture.GetBlockSize());
    document.TakePasted(picture);
    document.Box().m_shape = cropbox::kShapeOval;
    document.Box().m_showCropBox = true;
    document.PlaceCropBox();
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // resident peak := resident now
    if (!document.CutToCropBox()) return 1;
    const long peak = StatusKilobytes("VmHWM:");
    if (before < 0 || peak < 0) return 1;
    std::printf("%.17g\n", double(peak - before) * 1024.0 / bytes);
    return 0;
}

constexpr char kCutPeakFlag[] = "--child-document-cut-peak";
const bool kCutPeakChild = RegisterChildMode(kCutPeakFlag, PrintDocumentCutPeak);

void Cut100MP_DocumentPeakMemory(benchmark::State& state) {
    double ratio = -1;
    for (auto _ : state) {
        const std::string output = RunInChildMode(kCutPeakFlag);
        ratio = output.empty() ? -1 : std::strtod(output.c_str(), nullptr);
    }
    state.counters["peak_x_picture"] = ratio;
    if (ratio < 0) state.SkipWithError("could not measure the resident peak");
}

const bool kFirstPaint =
    AddComparison("BigPhoto_FirstPaint", "BigPhoto_ScaledDecode_Libjpeg", 1.5, Memory::Reused, Clock::Wall);
const bool kFullOpen = AddComparison("BigPhoto_FullOpen", "BigPhoto_Decode_Libjpeg", 1.3, Memory::Reused);
const bool kSave = AddComparison("Save100MP_Jpeg", "Save100MP_Cjpeg", 1.2, Memory::Fresh, Clock::Wall);

}  // namespace

BENCHMARK(BigPhoto_ScaledDecode_Libjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BigPhoto_FirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BigPhoto_Decode_Libjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BigPhoto_FullOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(Save100MP_Cjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Save100MP_Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Cut100MP_DocumentPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
