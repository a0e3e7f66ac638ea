// The quality a JPEG was written at, read back from its tables: libjpeg's own files give their
// quality back exactly; what is no JPEG, or is cut short before its tables, gives none.
#include "image/formats/JpegQualityEstimate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"

namespace {

TEST(JpegQualityEstimate, GivesBackTheQualityLibjpegWroteAndNothingForOtherData) {
    if (std::system("command -v cjpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "libjpeg-turbo-progs is needed";
    testsupport::TempDir dir;
    const std::string bmp = (dir / "pattern.bmp").string();
    ASSERT_TRUE(testsupport::MakePatternImage(64, 48).Save(bmp.c_str(), RASTER_FORMAT_BMP));
    for (const int quality : {5, 35, 50, 73, 90, 100}) {
        SCOPED_TRACE(quality);
        const std::string jpeg = (dir / ("q" + std::to_string(quality) + ".jpg")).string();
        ASSERT_EQ(std::system(("cjpeg -quality " + std::to_string(quality) + " -outfile '" + jpeg + "' '" + bmp + "'").c_str()), 0);
        const std::vector<uint8_t> file = testsupport::ReadFileBytes(jpeg);
        EXPECT_EQ(EstimateJpegQuality(file.data(), file.size()), quality);
        // Cut short inside the header: no table read past the data.
        EXPECT_EQ(EstimateJpegQuality(file.data(), 30), std::nullopt);
    }
    const std::vector<uint8_t> notJpeg = testsupport::ReadFileBytes(bmp);
    EXPECT_EQ(EstimateJpegQuality(notJpeg.data(), notJpeg.size()), std::nullopt);
}

}  // namespace
