// Linked into every fuzz target: pictures may take at most kFuzzPictureLimit bytes, well below
// the fuzzer's memory ceiling (-rss_limit_mb in .ci/run), so that a header declaring the
// largest size its format allows is refused by the image core, not reported as running out
// of memory. The size arithmetic is fuzzed all the same: the checks run on the declared sizes.
#include <cstdint>

#include "image/RasterImage.h"

namespace {

constexpr uint64_t kFuzzPictureLimit = uint64_t(256) << 20;

[[maybe_unused]] const bool g_limitSet = [] {
    RasterImage::SetMemoryLimit(kFuzzPictureLimit);
    return true;
}();

}  // namespace
