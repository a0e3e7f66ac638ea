// Content detection sniffs before it decodes: finding out that a large file is no picture
// reads only its first bytes (and the few places LibRaw looks at), never the whole file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"

namespace {

constexpr off_t kFileBytes = off_t(400) << 20;
constexpr long kAllowedGrowthKb = 64 * 1024;
// A head of this many pseudo-random bytes (fixed seed: the same bytes on every run).
constexpr size_t kRandomHeadBytes = 64 * 1024;

// A 400 MB file: a sparse run of zeros, optionally after a pseudo-random head. Neither takes
// the disk space or the time of writing 400 MB.
bool MakeLargeFile(const std::string& path, bool randomHead) {
    const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    if (randomHead) {
        std::mt19937 random(20261209u);
        std::vector<uint8_t> head(kRandomHeadBytes);
        for (uint8_t& byte : head) byte = uint8_t(random());
        ok = write(fd, head.data(), head.size()) == ssize_t(head.size());
    }
    ok = ok && ftruncate(fd, kFileBytes) == 0;
    return close(fd) == 0 && ok;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // kilobytes on Linux
}

struct ChildReport {
    int detected = -1;      // 1 when detection claimed the file
    long growthKb = -1;     // peak resident memory growth of the detection
};

// Detection runs in a forked child, so that its peak resident size is its own and nothing the
// test program did before (or does in parallel) counts.
ChildReport DetectInChild(const std::string& path, bool throughLoad) {
    ChildReport report;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return report;
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return report;
    }
    if (child == 0) {
        close(pipeFds[0]);
        ChildReport mine;
        const long before = PeakRssKb();
        RasterImage image;
        bool ok = false;
        if (throughLoad) {
            ok = image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str()));
        } else {
            RasterIOFile file;
            ok = file.Open(path.c_str(), "rb") && image.Decode(&file, RASTER_FORMAT_UNKNOWN);
        }
        mine.detected = ok ? 1 : 0;
        mine.growthKb = PeakRssKb() - before;
        const bool written = write(pipeFds[1], &mine, sizeof(mine)) == ssize_t(sizeof(mine));
        _exit(written ? 0 : 1);
    }
    close(pipeFds[1]);
    ChildReport received;
    const bool read_ok = read(pipeFds[0], &received, sizeof(received)) == ssize_t(sizeof(received));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (read_ok && WIFEXITED(status) && WEXITSTATUS(status) == 0) report = received;
    return report;
}

class LargeUnknownFile : public ::testing::TestWithParam<bool> {};

TEST_P(LargeUnknownFile, DetectionFailsWithoutReadingItWhole) {
    const bool randomHead = GetParam();
    testsupport::TempDir dir;
    const std::string path = (dir / "large.unknown").string();
    if (!MakeLargeFile(path, randomHead)) GTEST_SKIP() << "cannot make a 400 MB sparse file in " << dir.path();
    for (const bool throughLoad : {true, false}) {
        const ChildReport report = DetectInChild(path, throughLoad);
        ASSERT_GE(report.detected, 0) << "the detecting child did not report";
        EXPECT_EQ(report.detected, 0) << "a file of zeros and noise was taken for a picture";
        EXPECT_LT(report.growthKb, kAllowedGrowthKb)
            << "detection grew the peak resident size by " << report.growthKb << " KB";
        RecordProperty(std::string(throughLoad ? "load" : "decode") + "_peak_growth_kb", std::to_string(report.growthKb));
    }
}

INSTANTIATE_TEST_SUITE_P(RasterDetectionMemory, LargeUnknownFile, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "RandomHead" : "Zeros");
                         });

}  // namespace
