// The crop box rules in plain code, without a window: presets and borders, the ratio, the
// fitted view size, default placement, orientation matching, handles, hit testing, and the
// drag, wheel and nudge steps. Everything is in the view's client pixels. Rounding is halves
// away from zero; halving and "div" truncate toward zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace cropbox {

// Halves away from zero; saturates beyond the int range.
int Round(double value);
// Integer division by 2 toward zero.
constexpr int Halve(int value) { return value / 2; }

// Prints with fewer dots per inch than this look soft: the status bar flags them.
inline constexpr int kLowPrintDpi = 150;
// The resolution of a sharp photo print, for the number of pixels the flag asks for.
inline constexpr int kSharpPrintDpi = 300;

struct PrintSizePreset {
    const char* name;       // null ends the table
    double width;           // inches of the print; the first number of the name is the long side
    double height;
    uint32_t commandId;
    const char* menuLabel;
};

// The preset table, in order, ending with a record whose name is null.
extern const PrintSizePreset kPrintSizePresets[];
// The first record with this command id, or null.
const PrintSizePreset* FindPreset(uint32_t commandId);
// The preset ids in the order of the "Cropbox" menu ("Free" first).
extern const uint32_t kPresetMenuOrder[14];

// "No" for the first border id, "n%" for the others (menu labels and the Border button).
std::string BorderLabel(uint32_t borderId);

enum Shape : int { kShapeRectangle = 1, kShapeRoundCorner = 2, kShapeOval = 3 };
enum DragMode : int { kDragNone = 0, kDragLeft = 1, kDragTop = 2, kDragRight = 3, kDragBottom = 4, kDragMove = 5 };

struct Point {
    int x = 0;
    int y = 0;
};

// left <= x < right, top <= y < bottom; empty when it has no area.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool operator==(const Rect&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// Size of the view copy of a w x h picture in a client of cw x ch: fitted into four fifths of
// the client, never enlarged. An empty size when the fit area has no pixels.
Size FitViewSize(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);

// The crop box state of a document and its rules.
class CropBoxModel {
public:
    CropBoxModel();

    // Fields, as the document keeps them.
    int m_shape;
    uint32_t m_presetId;
    uint32_t m_borderId;
    int m_dragMode;
    Point m_lastPoint;
    Rect m_crop;          // client pixels; empty = no crop box
    bool m_rotated;
    bool m_showCropBox;
    bool m_autoHide;

    // Width / height of the preset (inverted when rotated); 0 means free.
    double CropBoxRatio() const;
    // 0 .. 0.30 for the border ids; 0 outside them.
    double BorderFraction() const;
    // rounded(BorderFraction x ((width + height) halved)).
    int BorderInset(int width, int height) const;

    // Default placement over a view copy of viewSize centred in the client; workSize is the
    // full-resolution picture whose ratio decides which side is kept. Empty box for an empty view.
    void PlaceCropBox(Size client, Size viewSize, Size workSize);
    // Inverts the rotation flag when the picture and the preset disagree about landscape/portrait.
    void MatchOrientation(int pictureWidth, int pictureHeight);

    // Left, top, right, bottom handles (8 x 8 squares on the edge middles); empty without a box.
    std::array<Rect, 4> GetHandleRects() const;
    // 0..5 for a point; 0 unless the box exists, is visible and picturesValid.
    int HitTest(Point point, bool picturesValid) const;

    // Starts a drag at point with the hit code mode.
    void BeginDrag(int mode, Point point);
    // One mouse move of the drag; true when the box changed (m_lastPoint then follows the mouse).
    bool DragStep(Point point);
    // One wheel message; true when it applied (the message is consumed).
    bool WheelStep(int delta);
    // One arrow key (dx, dy of -1, 0 or 1); true when the box moved.
    bool NudgeStep(int dx, int dy);

    // Cut's enable rule: visible box and both sides minus twice the inset above 32.
    bool CutEnabled(bool picturesValid) const;

    // Status texts of panes 121 and 32836 (exact formats of the status bar); crop is the box's
    // size in picture pixels, as Cut maps it.
    static std::string ImageStatusText(bool workValid, int workWidth, int workHeight);
    std::string CropStatusText(bool picturesValid, Size crop) const;

    // Dots per inch of a crop of that size printed at the preset: the crop's long side over the
    // print's long side, rounded; 0 for the free size or an empty crop.
    int PrintDpi(Size crop) const;
    // Empty while the print has pixels enough; under kLowPrintDpi, a note that says how many
    // pixels the crop has and how many a sharp print of the preset takes.
    std::string LowPrintResolutionNote(Size crop) const;
};

}  // namespace cropbox
