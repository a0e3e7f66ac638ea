#include "order/OrderExport.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "doc/CropBoxModel.h"
#include "order/OrderLosslessCut.h"
#include "order/OrderNames.h"
#include "order/OrderPhotoCut.h"

#include "image/FileBeside.h"
#include "image/RasterFormatTable.h"
#include "image/metadata/Exiv2Setup.h"

namespace order {

namespace {

// Existing names are listed in a refusal up to this many; the rest are counted.
constexpr size_t kListedClashes = 5;

bool NameExists(const std::string& path) {
    std::error_code error;
    // A dangling link is a name that exists too: writing there would replace its target.
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The first "-2", "-3", ... of target that is neither taken in this order nor on the disk.
std::string FreeNumberedName(const std::string& target, const std::set<std::string>& taken) {
    for (int number = 2;; ++number) {
        const std::string candidate = NumberedName(target, number);
        if (!taken.contains(candidate) && !NameExists(candidate)) return candidate;
    }
}

std::string ClashRefusal(const std::vector<std::string>& clashes) {
    std::string text = std::to_string(clashes.size()) + (clashes.size() == 1 ? " file exists" : " files exist") +
                       " already (say whether to number, overwrite or skip them):";
    for (size_t i = 0; i < std::min(clashes.size(), kListedClashes); ++i) text += " " + clashes[i];
    if (clashes.size() > kListedClashes) text += " ...";
    return text;
}

// Makes the folders the planned files go to; the reason a folder cannot be made, or empty.
std::string MakeFolders(const OrderPlan& plan) {
    std::set<std::string> folders;
    for (const PlannedPhoto& planned : plan.photos) {
        if (planned.problem.empty() && !planned.skip) folders.insert(FolderOf(planned.target));
    }
    for (const std::string& folder : folders) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return "the folder " + folder + " cannot be made: " + error.message();
    }
    return {};
}

void FillPrintSize(PhotoOutcome& outcome, uint32_t presetId) {
    if (outcome.dpi <= 0) return;
    outcome.widthInches = double(outcome.width) / outcome.dpi;
    outcome.heightInches = double(outcome.height) / outcome.dpi;
    // Only a print size makes a promise about sharpness; the free size prints at the photo's dpi.
    outcome.lowDpi = PrintDpiOf(presetId, outcome.width, outcome.height) > 0 && outcome.dpi < cropbox::kLowPrintDpi;
}

}  // namespace

BoxLookup ReadBoxFromSidecar(const std::string& photo) {
    BoxLookup lookup;
    std::string error;
    lookup.crop = ReadSidecarCrop(photo, &error);
    if (!lookup.crop && !error.empty()) lookup.error = "the sidecar cannot be read: " + error;
    return lookup;
}

std::vector<std::string> PhotosWithBox(const std::string& folder, const BoxSource& boxes) {
    const BoxSource source = boxes ? boxes : BoxSource(ReadBoxFromSidecar);
    std::vector<std::string> photos;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string extension = entry.path().extension().string();
        const RasterFormat* format = extension.empty() ? nullptr : RasterFormatByExtension(extension.c_str() + 1);
        if (format == nullptr || !format->browsed || !entry.is_regular_file(error)) continue;
        const std::string photo = entry.path().string();
        if (source(photo).crop) photos.push_back(photo);
    }
    std::sort(photos.begin(), photos.end());
    return photos;
}

std::string DestinationOf(const std::string& photo, const ExportOptions& options) {
    return options.destination.empty() ? FolderOf(photo) + "/" + kDefaultFolderName : options.destination;
}

int ExportOutcome::NotExported() const {
    return int(std::count_if(photos.begin(), photos.end(), [](const PhotoOutcome& photo) {
        return photo.status == PhotoStatus::Failed || photo.status == PhotoStatus::NotReached;
    }));
}

OrderExport::OrderExport(ExportOptions options) : m_options(std::move(options)) {
    if (m_options.pattern.empty()) m_options.pattern = kDefaultPattern;
    if (!m_options.boxes) m_options.boxes = ReadBoxFromSidecar;
}

void OrderExport::Cancel() {
    m_cancelled.store(true);
    m_halt.store(true);
}

OrderPlan OrderExport::Plan(const std::vector<std::string>& photos) const {
    OrderPlan plan;
    plan.problem = PatternProblem(m_options.pattern);
    std::set<std::string> taken;
    const int count = int(photos.size());
    for (int i = 0; i < count; ++i) {
        PlannedPhoto& planned = plan.photos.emplace_back();
        planned.photo = photos[size_t(i)];
        if (!plan.problem.empty()) continue;
        BoxLookup lookup = m_options.boxes(planned.photo);
        if (!lookup.error.empty() || !lookup.crop) {
            planned.problem = lookup.error.empty() ? "no box" : lookup.error;
            continue;
        }
        planned.box = lookup.crop;
        const NameFields fields{planned.photo, lookup.crop->preset, i + 1, count};
        std::string target = DestinationOf(planned.photo, m_options) + "/" + ExpandPattern(m_options.pattern, fields);
        // Two photos of this order never share a file, whatever is done with existing names.
        if (taken.contains(target)) {
            target = FreeNumberedName(target, taken);
        } else if (NameExists(target)) {
            switch (m_options.existing) {
            case ExistingNames::Ask:
                planned.clash = true;
                plan.clashes.push_back(target);
                break;
            case ExistingNames::Number:
                target = FreeNumberedName(target, taken);
                break;
            case ExistingNames::Overwrite:
                planned.clash = true;
                break;
            case ExistingNames::Skip:
                planned.clash = true;
                planned.skip = true;
                break;
            }
        }
        planned.target = target;
        taken.insert(target);
    }
    return plan;
}

ExportOutcome OrderExport::Run(const OrderPlan& plan, const ExportProgress& progress) {
    ExportOutcome outcome;
    for (const PlannedPhoto& planned : plan.photos) outcome.photos.emplace_back().photo = planned.photo;
    outcome.stopReason = !plan.problem.empty()   ? plan.problem
                         : !plan.clashes.empty() ? ClashRefusal(plan.clashes)
                                                 : MakeFolders(plan);
    if (!outcome.stopReason.empty()) return outcome;
    // exiv2's XMP toolkit takes its lock from here on; it must be set before the threads start.
    EnsureExiv2Ready();

    const uint32_t format = PatternFormat(m_options.pattern);
    const int count = int(plan.photos.size());
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::mutex stopping;
    const auto exportOne = [&](int index) {
        const PlannedPhoto& planned = plan.photos[size_t(index)];
        PhotoOutcome& result = outcome.photos[size_t(index)];
        if (planned.box) result.preset = PresetToken(planned.box->preset);
        if (!planned.problem.empty()) {
            result.status = PhotoStatus::Failed;
            result.reason = planned.problem;
        } else if (planned.skip) {
            result.status = PhotoStatus::Skipped;
            result.reason = FileNameOf(planned.target) + " exists already";
        } else {
            if (progress.started) progress.started(index, FileNameOf(planned.photo), done.load());
            const PhotoCut cut = m_options.quality == kQualityAsOriginal
                                     ? CutPhotoAsOriginal(planned.photo, *planned.box, format, &m_halt)
                                     : CutPhoto(planned.photo, *planned.box, format, m_options.quality, &m_halt);
            // A cut stopped by a cancel or by a full disk is not the photo's fault.
            if (m_halt.load()) return;
            if (!cut.ok) {
                result.status = PhotoStatus::Failed;
                result.reason = cut.reason;
            } else if (std::string error;
                       !WriteFileBeside(planned.target, cut.bytes.data(), cut.bytes.size(), &error)) {
                result.status = PhotoStatus::Failed;
                result.reason = FileNameOf(planned.target) + " cannot be written: " + error;
                const std::lock_guard lock(stopping);
                if (outcome.stopReason.empty()) outcome.stopReason = result.reason;
                m_halt.store(true);
            } else {
                result.status = PhotoStatus::Written;
                result.written = planned.target;
                result.width = cut.width;
                result.height = cut.height;
                result.dpi = cut.dpi;
                FillPrintSize(result, planned.box->preset);
            }
        }
        const int finished = ++done;
        if (progress.finished) progress.finished(index, result, finished);
    };
    const auto work = [&] {
        for (int index = next++; index < count && !m_halt.load(); index = next++) exportOne(index);
    };
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int workers = std::clamp(m_options.workers > 0 ? m_options.workers : cores, 1, std::max(count, 1));
    std::vector<std::jthread> threads;
    for (int i = 1; i < workers; ++i) threads.emplace_back(work);
    work();
    threads.clear();  // joins
    outcome.cancelled = m_cancelled.load();
    return outcome;
}

}  // namespace order
