// The print order on sheets over the same photographs as the export (BenchOrderFolder.h):
//   Sheets_Pdf  every photo cut by its 6x4 box, made sRGB and reduced to 300 dpi on one worker
//               per core, packed two to an A4 sheet and painted in order into one PDF.
// Its subject is the export itself (Order_Export, bench_order_export.cpp), same run: a PDF of
// the order may take at most half as long again as the order's JPEG files, cut and encoded
// alike. Run both together: --benchmark_filter='Order_Export|Sheets_Pdf'.
#include <QFile>

#include <benchmark/benchmark.h>

#include "order/SheetPdf.h"

#include "RatioReport.h"
#include "ui/BenchOrderFolder.h"

namespace {

constexpr int kRepetitions = 3;

void Sheets_Pdf(benchmark::State& state) {
    if (!OrderReady(state)) return;
    const std::string pdf = QFile::encodeName(Order().folder.filePath(QStringLiteral("sheets.pdf"))).toStdString();
    const order::Paper paper = *order::PaperNamed("a4");
    size_t sheets = 0;
    for (auto _ : state) {
        const std::vector<order::SheetPrint> prints = order::PrepareSheetPrints(Order().photos, {}, nullptr);
        std::vector<int> indices;
        const std::vector<order::PrintSizeMm> sizes = order::PrintableSizes(prints, &indices);
        if (sizes.size() != prints.size()) {
            state.SkipWithError("a photo cannot be printed");
            return;
        }
        const order::SheetPlan plan = order::PackPrints(sizes, paper.PrintableWidthMm(), paper.PrintableHeightMm());
        std::string error;
        if (!order::WriteSheetsPdf(pdf, paper, plan, prints, &indices, true, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        sheets = plan.sheets.size();
    }
    state.counters["photos"] = double(Order().photos.size());
    state.counters["sheets"] = double(sheets);
}

BENCHMARK(Sheets_Pdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(kRepetitions);

const bool kSheetsTarget = AddComparison("Sheets_Pdf", "Order_Export", 1.5, Memory::NewProcess, Clock::Wall);

}  // namespace
