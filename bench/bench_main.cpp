// Runs the benchmarks (three repetitions each by default, the fastest counting) and then
// prints every subject's ratio to its baseline beside the target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "BenchPictures.h"
#include "ChildModes.h"
#include "RatioReport.h"

int main(int argc, char** argv) {
    int childStatus = 0;
    if (RunChildModeIfAsked(argc, argv, childStatus)) return childStatus;
    // Defaults first, so the same flags given on the command line win.
    static char repetitions[] = "--benchmark_repetitions=3";
    static char minTime[] = "--benchmark_min_time=0.5";
    std::vector<char*> args = {argv[0], repetitions, minTime};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    std::fprintf(stderr, "making the test pictures...\n");
    const BenchPictures& pictures = Pictures();
    std::fprintf(stderr, "photo %ux%u, JPEG q90 %zu bytes\n", pictures.photo.GetWidth(), pictures.photo.GetHeight(),
                 pictures.photoJpeg.size());

    RatioCollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const RatioCollectingReporter::Verdict verdict = reporter.PrintRatioTable(stdout);
    if (verdict.compared == 0) {
        std::printf("no comparison ran\n");
    } else if (verdict.missed == 0) {
        std::printf("all %d targets compared are met\n", verdict.compared);
    } else {
        std::printf("%d of %d targets compared missed\n", verdict.missed, verdict.compared);
    }
    benchmark::Shutdown();
    return 0;
}
