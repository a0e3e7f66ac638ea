// The words a failed open or thumbnail gives for the image core's error texts.
#include <gtest/gtest.h>

#include <string>

#include "doc/PictureProblemText.h"
#include "image/RasterImage.h"

namespace {

std::string Said(const QString& name, const char* coreError, uint64_t limit) {
    return pictureproblem::LoadProblemText(name, coreError, limit).toStdString();
}

}  // namespace

TEST(PictureProblemText, ARefusalForSizeTellsTheSizeTheNeedAndTheLimit) {
    // Made by the image core itself, as a decoder that refuses a picture makes it.
    char refusal[RASTER_ERROR_TEXT_SIZE];
    RasterTooLargeText(refusal, 60000, 30000, 5400000000ull);
    EXPECT_EQ(Said("pano.jpg", refusal, 4026531840ull),
              "pano.jpg is 60000 x 30000 pixels and needs 5.4 GB; this computer allows pictures up to 4.0 GB");
    // The need is rounded up and the limit down: a picture a little over never reads as fitting.
    EXPECT_EQ(pictureproblem::TooLargeText("a.png", 20000, 20000, 1200000001ull, 1299999999ull).toStdString(),
              "a.png is 20000 x 20000 pixels and needs 1.3 GB; this computer allows pictures up to 1.2 GB");
    // A name with markers of its own is taken as it is.
    EXPECT_EQ(pictureproblem::TooLargeText("%3 %1.png", 2, 1, 6, 0).toStdString(),
              "%3 %1.png is 2 x 1 pixels and needs 0.1 GB; this computer allows pictures up to 0.0 GB");
}

TEST(PictureProblemText, AnyOtherErrorFollowsTheName) {
    EXPECT_EQ(Said("scan.tif", "TIFF: damaged or truncated picture data", 1),
              "scan.tif could not be read: TIFF: damaged or truncated picture data");
    EXPECT_EQ(Said("scan.tif", "", 1), "scan.tif could not be read.");
    EXPECT_EQ(Said("scan.tif", nullptr, 1), "scan.tif could not be read.");
}
