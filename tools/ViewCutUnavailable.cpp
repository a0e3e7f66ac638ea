// snipwell-cli built without the program's Qt parts: "cut" is known but refused at once,
// before any file is read.
#include "CutNames.h"
#include "ViewCut.h"

namespace {

constexpr const char* kNoQt = "cut needs the program's Qt parts; this snipwell-cli was built without them";

}  // namespace

namespace rastertool {

const char* const kViewCutSynopsis = "cut ...";
const char* const kViewCutHelp = "not available: this snipwell-cli was built without the program's Qt parts";

std::string ParseViewCutArgs(const std::vector<std::string>&, size_t&, ViewCutArgs&) { return kNoQt; }

std::string RunViewCut(const std::string&, const ViewCutArgs&, RasterImage&, PictureMetadata*) { return kNoQt; }

}  // namespace rastertool

namespace cli {

// The names are those of the view's choices; the refusal above comes right after.
std::string CutNamesToNumbers(std::vector<std::string>&, size_t) { return {}; }

std::string CutNamesHelp() { return {}; }

}  // namespace cli
