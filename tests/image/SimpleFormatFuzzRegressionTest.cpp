// Inputs the fuzzers once found troublesome (crashes, hangs, huge allocations): each must
// now fail cleanly or give a valid picture, with its format class chosen by extension.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/formats/RasterImageICO.h"
#include "image/formats/RasterImagePCX.h"
#include "image/formats/RasterImageTGA.h"
#include "image/formats/RasterImageWBMP.h"
#include "SimpleFormatTestSupport.h"
#include "TestSupport.h"

namespace {

template <class Format>
void ExpectHandled(const std::filesystem::path& path) {
    Format image;
    if (simpleformat::DecodeBytes(image, testsupport::ReadFileBytes(path))) {
        EXPECT_TRUE(image.IsValid()) << path;
    } else {
        EXPECT_FALSE(image.IsValid()) << path;
        EXPECT_STRNE(image.LastErrorText(), "") << path;
    }
}

}  // namespace

TEST(SimpleFormatFuzzRegressions, EveryKeptInputFailsCleanlyOrDecodes) {
    const std::filesystem::path folder = testsupport::TestDataDir() / "fuzz-regressions";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".tga") {
            ExpectHandled<RasterImageTGA>(entry.path());
        } else if (extension == ".pcx") {
            ExpectHandled<RasterImagePCX>(entry.path());
        } else if (extension == ".ico") {
            ExpectHandled<RasterImageICO>(entry.path());
        } else if (extension == ".wbmp") {
            ExpectHandled<RasterImageWBMP>(entry.path());
        } else {
            continue;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no kept inputs in " << folder;
}
