#include "order/OrderSummary.h"

#include <cmath>
#include <cstdio>

#include "doc/CropBoxModel.h"

namespace order {

namespace {

constexpr double kMillimetresPerInch = 25.4;

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string PrintSizeText(const PhotoOutcome& photo) {
    char text[128];
    std::snprintf(text, sizeof text, "%.1f x %.1f in (%ld x %ld mm) at %d dpi", photo.widthInches, photo.heightInches,
                  std::lround(photo.widthInches * kMillimetresPerInch),
                  std::lround(photo.heightInches * kMillimetresPerInch), photo.dpi);
    return text;
}

}  // namespace

std::string PhotoLine(const PhotoOutcome& photo) {
    const std::string name = FileNameOf(photo.photo);
    switch (photo.status) {
    case PhotoStatus::Written:
        return name + " -> " + photo.written + ": " + PrintSizeText(photo);
    case PhotoStatus::Skipped:
        return name + ": skipped, " + photo.reason;
    case PhotoStatus::Failed:
        return name + ": not exported, " + photo.reason;
    case PhotoStatus::NotReached:
        break;
    }
    return name + ": not exported, the export ended before it";
}

std::string SummaryText(const ExportOutcome& outcome) {
    std::string text;
    int written = 0, skipped = 0;
    std::string soft;
    for (const PhotoOutcome& photo : outcome.photos) {
        text += PhotoLine(photo) + "\n";
        written += photo.status == PhotoStatus::Written;
        skipped += photo.status == PhotoStatus::Skipped;
        if (photo.lowDpi) {
            soft += (soft.empty() ? "" : ", ") + FileNameOf(photo.photo) + " (" + std::to_string(photo.dpi) + " dpi)";
        }
    }
    if (!soft.empty()) text += "Under " + std::to_string(cropbox::kLowPrintDpi) + " dpi: " + soft + "\n";
    text += std::to_string(written) + " written, " + std::to_string(skipped) + " skipped, " +
            std::to_string(outcome.NotExported()) + " not exported\n";
    if (outcome.cancelled) text += "The export was cancelled.\n";
    if (!outcome.stopReason.empty()) text += "The export stopped: " + outcome.stopReason + "\n";
    return text;
}

}  // namespace order
