// Every input that once crashed or upset a decoder is kept under tests/data/fuzz-regressions/
// and decoded here on each run, by content detection and by the type its extension names,
// so a fault cannot come back unnoticed. The sanitizer build turns a relapse into a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

std::vector<std::filesystem::path> RegressionInputs() {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path root = testsupport::TestDataDir() / "fuzz-regressions";
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        if (name == ".gitkeep" || name == "README.md") continue;
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A decode either fails with a reason or gives a picture whose shape is sound.
void ExpectCleanDecode(std::vector<uint8_t> bytes, uint32_t type, const std::string& what) {
    RasterImage image;
    const bool ok = image.Decode(bytes.data(), uint32_t(bytes.size()), type);
    if (!ok) {
        EXPECT_NE(image.LastErrorText()[0], '\0') << what << ": failed without an error text";
        return;
    }
    ASSERT_TRUE(image.IsValid()) << what;
    EXPECT_GT(image.GetWidth(), 0u) << what;
    EXPECT_GT(image.GetHeight(), 0u) << what;
    EXPECT_TRUE(image.GetBpp() == 1 || image.GetBpp() == 4 || image.GetBpp() == 8 || image.GetBpp() == 24)
        << what << ": depth " << image.GetBpp();
    // The program's own first steps after a load must work on whatever came out (unless the
    // 24-bit copy would pass the memory limit, a legitimate refusal).
    if (!RasterImage::FitsMemoryLimit(image.GetWidth(), image.GetHeight(), 24)) return;
    if (image.IsTransparent()) image.AlphaFromTransparentIndex();
    EXPECT_TRUE(image.IncreaseBpp(24)) << what << ": " << image.LastErrorText();
}

TEST(FuzzRegression, EveryKeptInputDecodesOrFailsCleanly) {
    const std::vector<std::filesystem::path> files = RegressionInputs();
    if (files.empty()) GTEST_SKIP() << "no fuzz regression inputs kept yet";
    for (const std::filesystem::path& file : files) {
        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(file);
        const std::string name = file.filename().string();
        ExpectCleanDecode(bytes, RASTER_FORMAT_UNKNOWN, name + " (detection)");
        const uint32_t type = RasterImage::TypeFromExtension(file.c_str());
        if (type != RASTER_FORMAT_UNKNOWN) ExpectCleanDecode(bytes, type, name + " (type " + std::to_string(type) + ")");
    }
}

}  // namespace
