// A print order's export: every photo of the order cut by its kept box as the view's Cut cuts
// it (shape, border, white outside the picture), with its metadata kept as Save keeps it and
// the print's dpi written, each into its own file. No widget: the dialog and snipwell-cli
// both run it, so both write the same bytes.
//
// Two steps. Plan reads each photo's box and names its file; nothing is written, so a caller
// can ask about names that exist already before anything happens. Run cuts and writes on
// worker threads, one photo in flight per core at most (so memory stays bounded), and
// returns once every worker has ended.
//
// Files are written beside their name and renamed over it once whole: a cancel, a failure or
// a full disk never leaves a partial file. A file that cannot be written stops the export
// (every other photo would go to the same place); the files already written stay whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/metadata/CropSidecar.h"

namespace order {

// What to do with a file name that exists already.
enum class ExistingNames {
    Ask,        // Run refuses the plan while any name exists (the caller asks, then plans again)
    Number,     // the next free "NAME-2.jpg", "NAME-3.jpg", ...
    Overwrite,  // replaced, whole, once the new file is complete
    Skip        // the photo is not exported
};

// A photo's kept box: the crop, or an error text when it cannot be read; neither when the
// photo has no box.
struct BoxLookup {
    std::optional<KeptCrop> crop;
    std::string error;
};
using BoxSource = std::function<BoxLookup(const std::string& photo)>;
// The box the photo's sidecar keeps (ReadSidecarCrop).
BoxLookup ReadBoxFromSidecar(const std::string& photo);

struct ExportOptions {
    // The folder the files go to, made when missing; empty: a "prints" folder inside each
    // photo's own folder (kDefaultFolderName).
    std::string destination;
    std::string pattern;  // OrderNames.h; its extension decides the format
    // JPEG and lossy WebP quality, mapped for HEIF, AVIF and JPEG XL; kQualityAsOriginal: a
    // JPEG's rectangle cut on its block grid moves the blocks, others keep the photo's own
    // quality (OrderLosslessCut.h).
    int quality = 90;
    ExistingNames existing = ExistingNames::Ask;
    BoxSource boxes;  // empty: ReadBoxFromSidecar
    int workers = 0;  // threads; 0: one per core
};

// The pictures of folder (the kinds the browser lists) that have a box, sorted by name.
std::vector<std::string> PhotosWithBox(const std::string& folder, const BoxSource& boxes);

inline constexpr const char* kDefaultFolderName = "prints";
inline constexpr int kQualityAsOriginal = 0;
// The folder a photo's file goes to under options.
std::string DestinationOf(const std::string& photo, const ExportOptions& options);

// One photo of a plan.
struct PlannedPhoto {
    std::string photo;
    std::optional<KeptCrop> box;
    std::string problem;  // why it will not be cut (no box, unreadable sidecar); empty when it will
    std::string target;   // the file it is written to (full path)
    bool clash = false;   // target exists already
    bool skip = false;    // not exported: its name exists and existing names are skipped
};

struct OrderPlan {
    std::vector<PlannedPhoto> photos;
    std::string problem;               // the whole order cannot run (a bad pattern); empty when it can
    std::vector<std::string> clashes;  // targets that exist already (ExistingNames::Ask only)
};

enum class PhotoStatus { Written, Skipped, Failed, NotReached };

// What became of one photo.
struct PhotoOutcome {
    std::string photo;
    PhotoStatus status = PhotoStatus::NotReached;
    std::string written;  // the file written
    std::string reason;   // why it failed or was skipped
    std::string preset;   // the {preset} token of its box
    int width = 0;        // the cut's pixels
    int height = 0;
    int dpi = 0;             // written into the file
    double widthInches = 0;  // printed at that dpi
    double heightInches = 0;
    bool lowDpi = false;  // under cropbox::kLowPrintDpi: soft in print
};

struct ExportOutcome {
    std::vector<PhotoOutcome> photos;  // in the order's sequence
    bool cancelled = false;
    std::string stopReason;  // why writing stopped (a full disk), empty otherwise
    // The photos that failed or were not reached.
    int NotExported() const;
    bool AnyFailed() const { return !stopReason.empty() || NotExported() > 0; }
};

// Calls from Run. Both may come from any worker thread, at the same time: they must be safe
// to call so (a widget marshals them to its own thread with a queued call).
struct ExportProgress {
    // A photo is being cut: its place in the plan, its file name, and the photos done so far.
    std::function<void(int index, const std::string& name, int done)> started;
    // A photo has its outcome; done counts it.
    std::function<void(int index, const PhotoOutcome& outcome, int done)> finished;
};

class OrderExport {
public:
    explicit OrderExport(ExportOptions options);

    const ExportOptions& Options() const { return m_options; }
    // Reads every photo's box and names its file under the options' pattern and existing
    // names rule. Two photos of the order whose names meet are numbered whatever the rule: the
    // later one takes "-2".
    OrderPlan Plan(const std::vector<std::string>& photos) const;
    // Cuts and writes the planned photos (once per OrderExport: a cancel is not undone); refuses (every photo
    // NotReached, stopReason set) a plan with a problem or with clashes left to ask about.
    ExportOutcome Run(const OrderPlan& plan, const ExportProgress& progress = {});
    // Ends Run early, from any thread: no photo starts after it, a decode or encode under way
    // ends within moments, and no partial file is left.
    void Cancel();

private:
    ExportOptions m_options;
    // Set by Cancel or by a file that cannot be written; the decoders and encoders watch it.
    std::atomic<bool> m_halt{false};
    std::atomic<bool> m_cancelled{false};
};

}  // namespace order
