// snipwell-cli's "cut": opens a picture in the program's own picture view, laid out at a given
// client size, and runs its Cut with a given crop box shape, print size and border. This is
// the one operation that needs the program's Qt parts; everything it needs to know is read
// from the command line before any file is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RasterImage;
struct PictureMetadata;

namespace rastertool {

// A crop box in client pixels, right and bottom exclusive.
struct ClientBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct ViewCutArgs {
    int clientWidth = 0;
    int clientHeight = 0;
    int shape = 0;            // the view's shape numbers: 1 rectangle, 2 round corner, 3 oval
    uint32_t presetId = 0;    // print-size command id
    uint32_t borderId = 0;    // border-width command id
    bool rotated = false;     // the view's rotation flag before the picture is opened
    std::optional<ClientBox> box;  // absent: the view's default placement
};

// The synopsis and one-line description shown by --help.
extern const char* const kViewCutSynopsis;
extern const char* const kViewCutHelp;

// Reads "CLIENT_W CLIENT_H SHAPE PRESET_ID BORDER_ID ROTATED [L T R B]" from words[next...]
// (just after the word "cut") and moves next past them. The box is read when the word after
// ROTATED is a number. Returns the error text, empty when the arguments are sound.
std::string ParseViewCutArgs(const std::vector<std::string>& words, size_t& next, ViewCutArgs& args);

// Opens path in the picture view as the program does (by its extension, normalised, turned
// upright by its EXIF orientation, the box matched to its orientation), lays the view out at
// the client size, places the box and cuts. The working picture afterwards is copied into
// result. Returns the error text, empty on success; a message the view would have shown in
// a box is part of that text. metadata, when not null, receives the metadata the view keeps
// beside the cut picture.
std::string RunViewCut(const std::string& path, const ViewCutArgs& args, RasterImage& result,
                       PictureMetadata* metadata = nullptr);

// From now on only Qt's critical messages reach standard error, as during RunViewCut.
void QuietQtNotes();

}  // namespace rastertool
