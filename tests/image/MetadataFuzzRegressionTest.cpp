// Every input the metadata fuzz target once found troublesome (tests/data/fuzz-regressions/
// metadata/) and its seeds go through the same steps again here.
#include <gtest/gtest.h>

#include <filesystem>

#include "FuzzMetadataSteps.h"
#include "TestSupport.h"

namespace {

TEST(MetadataFuzzRegression, KeptInputsAndSeedsPassTheMetadataSteps) {
    int count = 0;
    for (const std::filesystem::path& folder : {testsupport::TestDataDir() / "fuzz-regressions" / "metadata",
                                                std::filesystem::path(SNIPWELL_FUZZ_SEEDS) / "metadata"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (!entry.is_regular_file()) continue;
            const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(entry.path());
            EXPECT_TRUE(fuzzmeta::RunMetadataSteps(bytes.data(), bytes.size())) << entry.path();
            ++count;
        }
    }
    EXPECT_GT(count, 0);
}

}  // namespace
