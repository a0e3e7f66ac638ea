// rastertool built without the program's Qt parts: "cut" is known but refused at once, before
// any file is read.
#include "ViewCut.h"

namespace rastertool {

const char* const kViewCutSynopsis = "cut ...";
const char* const kViewCutHelp = "not available: this rastertool was built without the program's Qt parts";

std::string ParseViewCutArgs(const std::vector<std::string>&, size_t&, ViewCutArgs&) {
    return "cut needs the program's Qt parts; this rastertool was built without them";
}

std::string RunViewCut(const std::string&, const ViewCutArgs&, RasterImage&, PictureMetadata*) {
    return "cut needs the program's Qt parts; this rastertool was built without them";
}

}  // namespace rastertool
