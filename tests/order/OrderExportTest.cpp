// A print order's export: names, cuts equal to the view's Cut, metadata and dpi, problems
// listed, cancel and a failing disk leaving whole files only, existing names, and
// snipwell-cli's "order" writing the same bytes.
#include "order/OrderExport.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <QFile>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "doc/CutOperation.h"
#include "doc/KeptBox.h"
#include "doc/PictureLoader.h"
#include "order/OrderNames.h"
#include "order/OrderSummary.h"

#include "commands/CommandIds.h"

#include "image/RasterImage.h"
#include "image/formats/JpegQualityEstimate.h"
#include "image/metadata/CropSidecar.h"

#include "CliRun.h"
#include "MetadataFixtures.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

constexpr uint32_t kBorder10 = cmd::ID_BORDER_NONE + 10;

KeptCrop Box(double left, double top, double right, double bottom, int shape, uint32_t preset, uint32_t border = 0) {
    KeptCrop box;
    box.left = left;
    box.top = top;
    box.right = right;
    box.bottom = bottom;
    box.ownFields = true;
    box.shape = shape;
    box.preset = preset;
    box.border = border == 0 ? cmd::ID_BORDER_NONE : border;
    return box;
}

// A copy of a corpus photo in dir with box kept in its sidecar, placed on the photo as it is.
std::string PhotoWithBox(const TempDir& dir, const std::string& corpusName, const std::string& name, KeptCrop box) {
    const fs::path photo = dir / name;
    fs::copy_file(testsupport::CorpusDir() / "exif-orientation" / corpusName, photo);
    RasterImage stored;
    EXPECT_TRUE(stored.Load(photo.c_str(), RASTER_FORMAT_JPG));
    box.placedWidth = stored.GetWidth();
    box.placedHeight = stored.GetHeight();
    EXPECT_TRUE(WriteSidecarCrop(photo.string(), box));
    return photo.string();
}

// The photo saved as a JPEG of the given size, without metadata.
std::string PatternPhoto(const TempDir& dir, const std::string& name, uint32_t width, uint32_t height) {
    RasterImage picture = testsupport::MakePatternImage(width, height);
    picture.SetJpegQuality(95);
    EXPECT_TRUE(picture.Save((dir / name).c_str(), RASTER_FORMAT_JPG));
    KeptCrop box = Box(0.1, 0.1, 0.9, 0.9, cropbox::kShapeRectangle, cmd::ID_PRESET_6X4);
    box.placedWidth = width;
    box.placedHeight = height;
    EXPECT_TRUE(WriteSidecarCrop((dir / name).string(), box));
    return (dir / name).string();
}

// What the view's Cut makes of the photo with its kept box: the same rectangle in the upright
// picture, laid out one to one.
RasterImage ViewCutOf(const std::string& photo) {
    OpenedPicture opened;
    EXPECT_TRUE(PictureLoader::OpenFull(QFile::decodeName(photo.c_str()), opened));
    const KeptCrop box = *ReadSidecarCrop(photo);
    const cropbox::Size size{int(opened.picture.GetWidth()), int(opened.picture.GetHeight())};
    cropbox::CropBoxModel choices;
    choices.m_borderId = box.border;
    const CutRequest request{size.width,
                             size.height,
                             size.width,
                             size.height,
                             keptbox::UprightRect(box, opened.orientation, size),
                             box.shape,
                             choices.BorderFraction()};
    RasterImage cut;
    EXPECT_TRUE(CutPicture(opened.picture, request, cut));
    return cut;
}

// Options for files written into folder; the rest as given.
order::ExportOptions Into(const fs::path& folder, const std::string& pattern = order::kDefaultPattern,
                          order::ExistingNames existing = order::ExistingNames::Ask, int workers = 0) {
    order::ExportOptions options;
    options.destination = folder.string();
    options.pattern = pattern;
    options.existing = existing;
    options.workers = workers;
    return options;
}

order::ExportOutcome Export(const std::vector<std::string>& photos, order::ExportOptions options) {
    order::OrderExport exporter(std::move(options));
    return exporter.Run(exporter.Plan(photos));
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OrderNames, PatternsFillTheirTokensAndRefuseWhatNamesNoFile) {
    const struct {
        const char* pattern;
        uint32_t preset;
        int number, count;
        const char* expected;
    } names[] = {
        {order::kDefaultPattern, cmd::ID_PRESET_6X4, 1, 1, "IMG_0001-6x4.jpg"},
        {"{n}_{name}.png", cmd::ID_PRESET_FREE, 3, 20, "03_IMG_0001.png"},
        {"{preset}-{n}.webp", 0, 7, 9, "free-7.webp"},
        {"print {name}.JPG", cmd::ID_PRESET_FIRST, 1, 1, "print IMG_0001.JPG"},
    };
    for (const auto& name : names) {
        EXPECT_EQ(order::ExpandPattern(name.pattern, {"/photos/IMG_0001.jpg", name.preset, name.number, name.count}),
                  name.expected);
        EXPECT_EQ(order::PatternProblem(name.pattern), "") << name.pattern;
    }
    EXPECT_EQ(order::PresetToken(cmd::ID_PRESET_FIRST), "3.5x2.5");
    EXPECT_EQ(order::NumberedName("/p/IMG_0001-6x4.jpg", 2), "/p/IMG_0001-6x4-2.jpg");
    EXPECT_EQ(order::WithExtension("{name}-{preset}.jpg", "png"), "{name}-{preset}.png");
    for (const char* bad : {"{name}", "{name}.tif", "{nam}.jpg", "sub/{name}.jpg", "{name}.xyz"}) {
        EXPECT_NE(order::PatternProblem(bad), "") << bad;
    }
}

TEST(OrderExport, CutsAsTheViewCutsAndKeepsMetadataWithThePrintsDpi) {
    TempDir dir;
    // Turned by orientation 6, an oval with a border; and a round corner on an upright photo.
    const fs::path tagged = testsupport::TaggedPhoto(dir, "turned.jpg", {});
    if (tagged.empty()) GTEST_SKIP() << "exiftool is needed";
    KeptCrop oval = Box(0.1, 0.2, 0.8, 0.9, cropbox::kShapeOval, cmd::ID_PRESET_6X4, kBorder10);
    oval.placedWidth = 1200;
    oval.placedHeight = 1800;
    ASSERT_TRUE(WriteSidecarCrop(tagged.string(), oval));
    const std::string upright =
        PhotoWithBox(dir, "Landscape_1.jpg", "upright.jpg",
                     Box(0.25, 0.05, 0.75, 0.95, cropbox::kShapeRoundCorner, cmd::ID_PRESET_FREE));

    const order::ExportOutcome outcome = Export({tagged.string(), upright}, Into(dir / "out", "{name}.png"));
    ASSERT_EQ(outcome.photos.size(), 2u);
    EXPECT_FALSE(outcome.AnyFailed()) << order::SummaryText(outcome);
    for (const order::PhotoOutcome& photo : outcome.photos) {
        SCOPED_TRACE(photo.photo);
        RasterImage written;
        ASSERT_TRUE(written.Load(photo.written.c_str(), RASTER_FORMAT_PNG));
        EXPECT_TRUE(testsupport::SamePixels(written, ViewCutOf(photo.photo)));
        EXPECT_EQ(written.GetXDpi(), photo.dpi);
        EXPECT_EQ(photo.width, int(written.GetWidth()));
    }
    // 6x4 on the turned photo: the box's long side over 6 inches; free keeps the photo's 72 dpi.
    const order::PhotoOutcome& turned = outcome.photos[0];
    EXPECT_EQ(turned.dpi, cropbox::Round(std::max(turned.width, turned.height) / 6.0));
    EXPECT_NEAR(std::max(turned.widthInches, turned.heightInches), 6.0, 0.01);
    EXPECT_EQ(outcome.photos[1].dpi, 72);
    const auto tags = testsupport::ExifToolTags(dir, turned.written, true);
    EXPECT_EQ(tags.at("Make"), "TestCam");
    EXPECT_EQ(tags.at("Orientation"), "1");
    EXPECT_EQ(tags.at("XResolution"), std::to_string(turned.dpi));
}

TEST(OrderExport, AsTheOriginalMovesTheBlocksOfAGridCutAndKeepsThePhotosQualityOtherwise) {
    const auto shell = [](const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; };
    if (!shell("command -v jpegtran") || !shell("command -v djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs is needed";
    TempDir dir;
    // 1800 x 1200 in 16-pixel blocks: the first box's corner (160, 96) lies on the grid, the
    // second's (180, 120) does not; the third is an oval.
    const std::string onGrid = PhotoWithBox(dir, "Landscape_1.jpg", "grid.jpg",
                                            Box(160 / 1800.0, 0.08, 0.9, 0.9, cropbox::kShapeRectangle, cmd::ID_PRESET_FREE));
    const std::string offGrid = PhotoWithBox(dir, "Landscape_1.jpg", "off.jpg",
                                             Box(0.1, 0.1, 0.9, 0.9, cropbox::kShapeRectangle, cmd::ID_PRESET_6X4));
    const std::string oval = PhotoWithBox(dir, "Landscape_1.jpg", "oval.jpg",
                                          Box(160 / 1800.0, 0.08, 0.9, 0.9, cropbox::kShapeOval, cmd::ID_PRESET_FREE));
    order::ExportOptions options = Into(dir / "out", "{name}.jpg");
    options.quality = order::kQualityAsOriginal;
    const order::ExportOutcome outcome = Export({onGrid, offGrid, oval}, options);
    ASSERT_FALSE(outcome.AnyFailed()) << order::SummaryText(outcome);

    const auto decoded = [&](const std::string& jpeg) {
        EXPECT_TRUE(shell("djpeg -nosmooth -ppm -outfile '" + jpeg + ".ppm' '" + jpeg + "'"));
        return testsupport::ReadFileBytes(jpeg + ".ppm");
    };
    const std::string expected = (dir / "expected.jpg").string();
    ASSERT_TRUE(shell("jpegtran -crop 1460x984+160+96 -copy none -outfile '" + expected + "' '" + onGrid + "'"));
    EXPECT_EQ(decoded(outcome.photos[0].written), decoded(expected));
    EXPECT_EQ(outcome.photos[0].width, 1460);

    const std::vector<uint8_t> source = testsupport::ReadFileBytes(onGrid);
    const std::optional<int> sourceQuality = EstimateJpegQuality(source.data(), source.size());
    ASSERT_TRUE(sourceQuality.has_value());
    for (const size_t encoded : {size_t(1), size_t(2)}) {
        const std::vector<uint8_t> file = testsupport::ReadFileBytes(outcome.photos[encoded].written);
        EXPECT_EQ(EstimateJpegQuality(file.data(), file.size()), sourceQuality) << outcome.photos[encoded].written;
    }
}

TEST(OrderExport, PhotosThatCannotBeCutAreListedAndTheRestAreWritten) {
    TempDir dir;
    const std::string good = PatternPhoto(dir, "good.jpg", 300, 200);
    const std::string noBox = (dir / "nobox.jpg").string();
    fs::copy_file(good, noBox);
    const std::string damaged = PatternPhoto(dir, "damaged.jpg", 300, 200);
    testsupport::WriteFileBytes(SidecarPathOf(damaged), {'<', 'x', ':', 'x'});
    const std::string changed = PatternPhoto(dir, "changed.jpg", 300, 200);
    RasterImage edited = testsupport::MakePatternImage(280, 200);
    ASSERT_TRUE(edited.Save(changed.c_str(), RASTER_FORMAT_JPG));
    const std::string broken = PatternPhoto(dir, "broken.jpg", 300, 200);
    testsupport::WriteFileBytes(broken, {0xFF, 0xD8, 0xFF, 0x00, 0x01});

    const order::ExportOutcome outcome = Export({noBox, damaged, changed, broken, good}, Into(dir / "out"));
    const struct {
        order::PhotoStatus status;
        const char* reason;
    } expected[] = {
        {order::PhotoStatus::Failed, "no box"},
        {order::PhotoStatus::Failed, "the sidecar cannot be read: "},
        {order::PhotoStatus::Failed,
         "changed since its box was placed: now 280 x 200, the box was placed on 300 x 200"},
        {order::PhotoStatus::Failed, "Could not open broken.jpg"},
        {order::PhotoStatus::Written, ""},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(outcome.photos[i].photo);
        EXPECT_EQ(outcome.photos[i].status, expected[i].status);
        EXPECT_TRUE(outcome.photos[i].reason.starts_with(expected[i].reason)) << outcome.photos[i].reason;
    }
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"good-6x4.jpg"});
    EXPECT_TRUE(outcome.AnyFailed());
    const std::string summary = order::SummaryText(outcome);
    EXPECT_NE(summary.find("nobox.jpg: not exported, no box"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Under 150 dpi: good.jpg (40 dpi)"), std::string::npos) << summary;
    EXPECT_NE(summary.find("1 written, 0 skipped, 4 not exported"), std::string::npos) << summary;
}

TEST(OrderExport, ExistingNamesAreNumberedOverwrittenSkippedOrAskedAbout) {
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    const struct {
        order::ExistingNames rule;
        std::vector<std::string> files;
        order::PhotoStatus status;
    } rules[] = {
        {order::ExistingNames::Number, {"a-6x4-2.jpg", "a-6x4.jpg"}, order::PhotoStatus::Written},
        {order::ExistingNames::Overwrite, {"a-6x4.jpg"}, order::PhotoStatus::Written},
        {order::ExistingNames::Skip, {"a-6x4.jpg"}, order::PhotoStatus::Skipped},
        {order::ExistingNames::Ask, {"a-6x4.jpg"}, order::PhotoStatus::NotReached},
    };
    for (const auto& rule : rules) {
        SCOPED_TRACE(int(rule.rule));
        TempDir dir;
        const std::string photo = PatternPhoto(dir, "a.jpg", 120, 80);
        fs::create_directory(dir / "out");
        testsupport::WriteFileBytes(dir / "out" / "a-6x4.jpg", old);
        order::OrderExport exporter(Into(dir / "out", order::kDefaultPattern, rule.rule));
        const order::OrderPlan plan = exporter.Plan({photo});
        EXPECT_EQ(plan.clashes.size(), rule.rule == order::ExistingNames::Ask ? 1u : 0u);
        const order::ExportOutcome outcome = exporter.Run(plan);
        EXPECT_EQ(outcome.photos[0].status, rule.status) << order::SummaryText(outcome);
        EXPECT_EQ(FilesIn(dir / "out"), rule.files);
        const bool replaced = rule.rule == order::ExistingNames::Overwrite;
        EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "a-6x4.jpg") == old, !replaced);
    }
    // Two photos of one order that meet in one name never overwrite each other.
    TempDir dir;
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    const std::string first = PatternPhoto(dir, "x/a.jpg", 120, 80);
    const std::string second = PatternPhoto(dir, "y/a.jpg", 120, 80);
    const order::ExportOutcome outcome =
        Export({first, second}, Into(dir / "out", order::kDefaultPattern, order::ExistingNames::Overwrite));
    EXPECT_FALSE(outcome.AnyFailed());
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"a-6x4-2.jpg", "a-6x4.jpg"}));
}

TEST(OrderExport, ACancelLeavesWholeFilesOnly) {
    TempDir dir;
    std::vector<std::string> photos;
    for (int i = 0; i < 4; ++i) photos.push_back(PatternPhoto(dir, "p" + std::to_string(i) + ".jpg", 900, 600));
    order::OrderExport exporter(Into(dir / "out", order::kDefaultPattern, order::ExistingNames::Ask, 1));
    order::ExportProgress progress;
    // Cancelled while the second photo is cut.
    progress.started = [&exporter](int index, const std::string&, int) {
        if (index == 1) exporter.Cancel();
    };
    const order::ExportOutcome outcome = exporter.Run(exporter.Plan(photos), progress);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.photos[0].status, order::PhotoStatus::Written);
    for (size_t i = 1; i < photos.size(); ++i) EXPECT_EQ(outcome.photos[i].status, order::PhotoStatus::NotReached);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"p0-6x4.jpg"});
    EXPECT_NE(order::SummaryText(outcome).find("The export was cancelled."), std::string::npos);
}

// A file system that takes no more than a file's limit fails the write as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_before);
        signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_before{};
    sighandler_t m_signal;
};

TEST(OrderExport, AWriteFailureStopsTheExportAndKeepsTheWrittenFilesWhole) {
    TempDir dir;
    const std::vector<std::string> photos{PatternPhoto(dir, "small.jpg", 120, 80),
                                          PatternPhoto(dir, "large.jpg", 2400, 1600),
                                          PatternPhoto(dir, "later.jpg", 120, 80)};
    order::ExportOutcome outcome;
    {
        const FileSizeLimit limit(16 * 1024);
        outcome = Export(photos, Into(dir / "out", order::kDefaultPattern, order::ExistingNames::Ask, 1));
    }
    EXPECT_EQ(outcome.photos[0].status, order::PhotoStatus::Written);
    EXPECT_EQ(outcome.photos[1].status, order::PhotoStatus::Failed);
    EXPECT_EQ(outcome.photos[2].status, order::PhotoStatus::NotReached);
    EXPECT_EQ(outcome.stopReason, "large-6x4.jpg cannot be written: File too large");
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"small-6x4.jpg"});
    RasterImage written;
    EXPECT_TRUE(written.Load((dir / "out" / "small-6x4.jpg").c_str(), RASTER_FORMAT_JPG)) << written.LastErrorText();
    EXPECT_STREQ(written.LoadWarningText(), "");
}

TEST(OrderCli, WritesTheEnginesBytesFromAnotherToolsCropAndRefusesExistingNames) {
    TempDir dir;
    const fs::path photo = dir / "shot.jpg";
    fs::copy_file(testsupport::CorpusDir() / "exif-orientation" / "Landscape_1.jpg", photo);
    // Another tool's Camera Raw crop in the NAME.xmp it writes.
    const testsupport::RunResult tagged = testsupport::RunProgram(
        dir, "exiftool",
        {"-q", "-o", (dir / "shot.xmp").string(), "-XMP-crs:HasCrop=True", "-XMP-crs:CropLeft=0.1",
         "-XMP-crs:CropTop=0.2", "-XMP-crs:CropRight=0.7", "-XMP-crs:CropBottom=0.9", photo.string()});
    if (tagged.exitCode != 0) GTEST_SKIP() << "exiftool is needed: " << tagged.err;

    const testsupport::RunResult cli =
        testsupport::RunCli(dir, {"order", "--to", (dir / "cli").string(), "--quality", "80", photo.string()});
    EXPECT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_NE(cli.out.find("shot.jpg -> " + (dir / "cli" / "shot-free.jpg").string()), std::string::npos) << cli.out;
    order::ExportOptions options = Into(dir / "engine");
    options.quality = 80;
    const order::ExportOutcome engine = Export({photo.string()}, options);
    ASSERT_EQ(engine.photos[0].status, order::PhotoStatus::Written) << order::SummaryText(engine);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "cli" / "shot-free.jpg"),
              testsupport::ReadFileBytes(engine.photos[0].written));

    const testsupport::RunResult again =
        testsupport::RunCli(dir, {"order", "--to", (dir / "cli").string(), photo.string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("exist already; nothing was written"), std::string::npos) << again.err;
    EXPECT_EQ(FilesIn(dir / "cli"), std::vector<std::string>{"shot-free.jpg"});
}

}  // namespace
