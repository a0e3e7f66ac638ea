// Every file of the PngSuite corpus, decoded and normalised the way the program loads a
// picture (transparent index to alpha, 24 bits, alpha flattened onto white), must give the
// reference pixels flattened the same way; every deliberately corrupt x* file must fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/RasterImage.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

fs::path SuiteDir() { return testsupport::CorpusDir() / "pngsuite"; }

std::vector<std::string> SuiteNames(bool corrupt) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(SuiteDir() / "png", ec)) {
        if (entry.path().extension() != ".png") continue;
        std::string name = entry.path().stem().string();
        if ((name[0] == 'x') == corrupt) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Reads a flat JSON array of non-negative integers; false on anything else.
bool ReadIntegerArray(const fs::path& path, std::vector<int>& values) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    values.clear();
    size_t i = 0;
    auto skipSpace = [&] { while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i; };
    skipSpace();
    if (i >= text.size() || text[i++] != '[') return false;
    skipSpace();
    if (i < text.size() && text[i] == ']') return true;
    while (i < text.size()) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            value = value * 10 + (text[i++] - '0');
            if (value > 65535) return false;
        }
        values.push_back(int(value));
        skipSpace();
        if (i >= text.size()) return false;
        if (text[i] == ']') return true;
        if (text[i++] != ',') return false;
        skipSpace();
    }
    return false;
}

// PngSuite names end in the bit depth.
bool IsSixteenBit(const std::string& name) { return name.size() >= 2 && name.compare(name.size() - 2, 2, "16") == 0; }

// The reference as 8-bit RGBA and the tolerance that goes with it: 8-bit files exactly;
// 16-bit files against the corpus's 8-bit reduction (or the 16-bit values rounded to
// 8 bits where the corpus has none), which a decoder may round differently by one.
bool LoadReference(const std::string& name, std::vector<int>& rgba, int& tolerance) {
    const fs::path json = SuiteDir() / "json";
    tolerance = IsSixteenBit(name) ? 1 : 0;
    if (IsSixteenBit(name) && fs::exists(json / (name + "_to8.json"))) return ReadIntegerArray(json / (name + "_to8.json"), rgba);
    if (!ReadIntegerArray(json / (name + ".json"), rgba)) return false;
    if (IsSixteenBit(name)) {
        for (int& v : rgba) v = (v * 255 + 32767) / 65535;
    }
    return std::all_of(rgba.begin(), rgba.end(), [](int v) { return v <= 255; });
}

// c over white with alpha a, with the product table's rounding: round(c*a/255) + (255 - a).
int OnWhite(int c, int a) { return (c * a + 127) / 255 + (255 - a); }

// What the program does to every picture it loads.
void NormaliseLikeTheProgram(RasterImage& image) {
    image.AlphaFromTransparentIndex();
    image.IncreaseBpp(24);
    image.FlattenAlpha(RasterRgb(255, 255, 255));
    image.DeleteAlpha();
}

class PngSuiteDecodes : public ::testing::TestWithParam<std::string> {};
class PngSuiteRejects : public ::testing::TestWithParam<std::string> {};

TEST_P(PngSuiteDecodes, ToTheReferencePixelsOnWhite) {
    const std::string name = GetParam();
    RasterImage image;
    ASSERT_TRUE(image.Load((SuiteDir() / "png" / (name + ".png")).c_str(), RASTER_FORMAT_PNG)) << image.LastErrorText();
    NormaliseLikeTheProgram(image);
    ASSERT_EQ(image.GetBpp(), 24u);
    ASSERT_FALSE(image.HasAlpha());

    std::vector<int> reference;
    int tolerance = 0;
    ASSERT_TRUE(LoadReference(name, reference, tolerance)) << "reference of " << name;
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    ASSERT_EQ(reference.size(), size_t(width) * height * 4) << "reference size vs " << width << "x" << height;

    int worst = 0;
    uint32_t worstX = 0, worstY = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const int* e = &reference[(size_t(y) * width + x) * 4];
            const uint32_t got = testsupport::PictureColor(image, x, y);
            const int channels[3] = {RasterRed(got), RasterGreen(got), RasterBlue(got)};
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(channels[c] - OnWhite(e[c], e[3]));
                if (diff > worst) {
                    worst = diff;
                    worstX = x;
                    worstY = y;
                }
            }
        }
    }
    EXPECT_LE(worst, tolerance) << "largest difference at picture (" << worstX << ", " << worstY << ")";
}

TEST_P(PngSuiteRejects, WithAnErrorAndNoPicture) {
    const std::string name = GetParam();
    RasterImage image;
    EXPECT_FALSE(image.Load((SuiteDir() / "png" / (name + ".png")).c_str(), RASTER_FORMAT_PNG));
    EXPECT_FALSE(image.IsValid());
    EXPECT_NE(std::string(image.LastErrorText()), "");
}

std::string ParamName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

INSTANTIATE_TEST_SUITE_P(PngSuite, PngSuiteDecodes, ::testing::ValuesIn(SuiteNames(false)), ParamName);
INSTANTIATE_TEST_SUITE_P(PngSuite, PngSuiteRejects, ::testing::ValuesIn(SuiteNames(true)), ParamName);

// Guards against the suite silently shrinking to nothing when the corpus is missing.
TEST(PngSuiteCorpus, HoldsAllItsFiles) {
    EXPECT_EQ(SuiteNames(false).size() + SuiteNames(true).size(), 175u) << SuiteDir();
    EXPECT_EQ(SuiteNames(true).size(), 14u);
}

}  // namespace
