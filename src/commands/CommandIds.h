// Every command id of Snipwell, the status bar pane ids, the timer ids, and the tooltip of each
// command ("description\ntitle"). Commands reach the program as these ids from the ribbon,
// the accelerator keys and the view's context menu, and are routed by the CommandRouter.
#pragma once

#include <cstdint>
#include <string_view>

namespace cmd {

// ---- framework commands -------------------------------------------------------------------
constexpr uint32_t ID_FILE_NEW = 57600;
constexpr uint32_t ID_FILE_OPEN = 57601;
constexpr uint32_t ID_FILE_SAVE = 57603;
constexpr uint32_t ID_FILE_SAVE_AS = 57604;
constexpr uint32_t ID_FILE_PRINT = 57607;
constexpr uint32_t ID_EDIT_COPY = 57634;
constexpr uint32_t ID_EDIT_CUT = 57635;
constexpr uint32_t ID_EDIT_PASTE = 57637;
constexpr uint32_t ID_EDIT_UNDO = 57643;
constexpr uint32_t ID_EDIT_REDO = 57644;
constexpr uint32_t ID_APP_ABOUT = 57664;
constexpr uint32_t ID_APP_EXIT = 57665;
constexpr uint32_t ID_NEXT_PANE = 57680;
constexpr uint32_t ID_PREV_PANE = 57681;
constexpr uint32_t ID_WINDOW_MANAGER = 131;  // "Windows" tab-row button: always disabled

// ---- visual styles (menu 200) ---------------------------------------------------------------
constexpr uint32_t ID_VIEW_APPLOOK_OFF_2007_BLUE = 215;
constexpr uint32_t ID_VIEW_APPLOOK_OFF_2007_BLACK = 216;
constexpr uint32_t ID_VIEW_APPLOOK_OFF_2007_SILVER = 217;
constexpr uint32_t ID_VIEW_APPLOOK_OFF_2007_AQUA = 218;

// ---- status bar panes ---------------------------------------------------------------------------
constexpr uint32_t ID_STATUSBAR_PANE_FILE = 120;
constexpr uint32_t ID_STATUSBAR_PANE_IMAGE = 121;
constexpr uint32_t ID_STATUSBAR_PANE_CROPBOX = 32836;

// ---- picture view and document commands -------------------------------------------------------
constexpr uint32_t ID_CUT = 32771;
constexpr uint32_t ID_CROPBOX = 32772;          // menu button (menu 312): text shows the preset
constexpr uint32_t ID_SHAPE_RECTANGLE = 32773;
constexpr uint32_t ID_SHAPE_ROUND_CORNER = 32774;
constexpr uint32_t ID_SHAPE_OVAL = 32775;
constexpr uint32_t ID_BORDER = 32776;           // menu button (menu 313): text shows the width
constexpr uint32_t ID_ROTATE_LEFT = 32777;
constexpr uint32_t ID_CONTRAST = 32778;         // slider
constexpr uint32_t ID_BRIGHTNESS = 32779;       // slider
constexpr uint32_t ID_MIRROR = 32780;
constexpr uint32_t ID_FLIP = 32781;
constexpr uint32_t ID_COOL_TONE = 32782;
constexpr uint32_t ID_WARM_TONE = 32783;
constexpr uint32_t ID_SEPIA = 32784;
constexpr uint32_t ID_DELETE = 32785;
constexpr uint32_t ID_PRESET_FIRST = 32786;     // print-size presets 32786..32799
constexpr uint32_t ID_PRESET_6X4 = 32792;
constexpr uint32_t ID_PRESET_FREE = 32799;
constexpr uint32_t ID_PRESET_LAST = 32799;
constexpr uint32_t ID_BORDER_NONE = 32801;      // border widths 32801 ("No") .. 32826 ("25%")
constexpr uint32_t ID_BORDER_5 = 32806;
constexpr uint32_t ID_BORDER_LAST = 32826;
constexpr uint32_t ID_ROTATE_RIGHT = 32827;
constexpr uint32_t ID_ROTATE_CROPBOX = 32828;
constexpr uint32_t ID_CONFIRM_OVERWRITE = 32829;
constexpr uint32_t ID_CONFIRM_DELETE = 32830;
constexpr uint32_t ID_HIDE_CROPBOX = 32833;
constexpr uint32_t ID_AUTO_SHOW_CROPBOX = 32834;
constexpr uint32_t ID_EXT_CUTTER = 32837;
constexpr uint32_t ID_CUTTER_STATE = 32844;          // cutter dialog: enable OK / Reverse Alpha
constexpr uint32_t ID_JPEG_QUALITY = 32845;          // edit box
constexpr uint32_t ID_CUTTER_BUILD = 32850;          // cutter dialog: build the backdrop
constexpr uint32_t ID_CUSTOMIZATION = 32851;         // "Order"
constexpr uint32_t ID_ASK_SAVE_CHANGES = 32852;      // option: offer to save a changed picture
constexpr uint32_t ID_GUIDE_NEXT = 32860;            // O: the next composition guide in the box
constexpr uint32_t ID_GUIDE_TURN_SPIRAL = 32861;     // Shift+O: the golden spiral winds to the next corner
constexpr uint32_t ID_APPLY_TO_SELECTED = 32862;     // the box's choices to every selected photo
constexpr uint32_t ID_EXPORT_ORDER = 32863;          // the print order's export dialog
constexpr uint32_t ID_KEEP_BOXES = 32864;            // option: boxes kept in XMP sidecars
constexpr uint32_t ID_SNAP_TO_BLOCKS = 32880;        // "Lossless": a rectangle box snaps to the JPEG block grid
constexpr uint32_t ID_STRAIGHTEN = 32881;            // slider: the straighten turn, tenths of a degree
constexpr uint32_t ID_STRAIGHTEN_BY_LINE = 32882;    // the next drag draws a line along the horizon
constexpr uint32_t ID_PRINT_SHEETS = 32865;          // the print order's prints packed on sheets
constexpr uint32_t ID_CONTACT_SHEET = 32866;         // the photos as a grid with their names

// ---- timers ---------------------------------------------------------------------------------------
constexpr int TIMER_OPEN_SELECTED = 8001;  // 100 ms after the last thumbnail selection change
constexpr int TIMER_WAIT_LOADER = 8002;    // every 50 ms while a loader thread is stopping
constexpr int TIMER_OPEN_SELECTED_MS = 100;
constexpr int TIMER_WAIT_LOADER_MS = 50;

// ---- tooltips ----------------------------------------------------------------------------------------
struct CommandTooltip {
    uint32_t id;
    std::string_view text;  // "description\ntitle"
};

inline constexpr CommandTooltip kCommandTooltips[] = {
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an folder and scan pictures\nOpen Folder"},
    {ID_FILE_SAVE, "Save the the current picture\nSave"},
    {ID_FILE_SAVE_AS, "Save the current picture with a new name (JPEG and PNG keep the photo's EXIF, XMP, IPTC and "
                      "colour profile; GIF and BMP carry none)\nSave As"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_DELETE, "Delete the current picture file\nDelete"},
    {ID_APPLY_TO_SELECTED, "Give every selected photo a centred box of this print size, shape and border\nApply to Selected"},
    {ID_EXPORT_ORDER, "Cut every photo of the print order and write the prints to a folder\nExport Order"},
    {ID_KEEP_BOXES, "Keep each photo's box in an XMP sidecar file beside it\nKeep Boxes in Sidecars"},
    {ID_SNAP_TO_BLOCKS,
     "Keep a rectangle box's corner on the JPEG's block grid, so that its cut is saved without re-encoding\n"
     "Lossless"},
    {ID_STRAIGHTEN, "Turn the picture to level a crooked horizon, -45 to +45 degrees\nStraighten"},
    {ID_STRAIGHTEN_BY_LINE, "Draw a line along the horizon (or a plumb line): the picture turns to level it\n"
                            "Straighten by Line"},
    {ID_PRINT_SHEETS, "Print the order's photos at their print sizes, as many to a sheet as fit\nPrint Sheets"},
    {ID_CONTACT_SHEET, "Print the photos as a grid of small pictures with their names\nContact Sheet"},
    {ID_CROPBOX, "Select standard photo print crop box or free-size crop box\nCropbox Type"},
    {ID_BORDER, "White border width inside the crop box.\nBorder Width"},
    {ID_ROTATE_CROPBOX, "Rotate the cropbox\nRotate"},
    {ID_SHAPE_RECTANGLE, "Rectangle crop box\nRectangle"},
    {ID_SHAPE_ROUND_CORNER, "Round corner rectangle crop box\nRound corner"},
    {ID_SHAPE_OVAL, "Oval crop box\nOval"},
    {ID_CUT, "Crop the current picture with the selected crop box.\nCut"},
    {ID_EXT_CUTTER,
     "Cut the picture using an external cutter.  An external cutter is a picture with alpha channel or of "
     "grayscale.\nExt Cutter"},
    {ID_ROTATE_LEFT, "Rotate the picture left by 90 degree\nRotate left"},
    {ID_ROTATE_RIGHT, "Rotate the picture right by 90 degrees\nRotate right"},
    {ID_MIRROR, "Flip the picture horizontally\nMirror"},
    {ID_FLIP, "Flip the picture vertically\nFlip"},
    {ID_CONTRAST, "Adjust the contrast\nContrast"},
    {ID_BRIGHTNESS, "Adjust the brightness\nBrightness"},
    {ID_COOL_TONE, "Convert the picture to grayscale\nCool tone"},
    {ID_WARM_TONE, "Convert the picture to light brown\nWarm tone"},
    {ID_SEPIA, "Convert the picture to brown\nSepia"},
    {ID_CONFIRM_OVERWRITE,
     "Prompt you when you click the [Save] button and a file will be overwritten\nConfirm Overwritten"},
    {ID_CONFIRM_DELETE,
     "Prompt you when you click the [Delete] button and a file is going to be deleted\nConfirm Delete"},
    {ID_HIDE_CROPBOX,
     "Check to hide the crop box so that you have a clear view of the picture. You can also double click the "
     "window to show or hide crop box.\nHide Crop Box"},
    {ID_AUTO_SHOW_CROPBOX,
     "Automatically show the crop box when a new picture loaded, and hide the crop box after the [Crop] button "
     "is clicked.\nAuto Show/Hide Crop Box"},
    {ID_CUSTOMIZATION,
     "Visit our web site to have this software customized for your studio or business\nCustomization"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
    {ID_EDIT_UNDO, "Undo the last change of the picture\nUndo"},
    {ID_EDIT_REDO, "Redo the change undone last\nRedo"},
    {ID_ASK_SAVE_CHANGES, "Ask whether to save a changed picture before it is left\nAsk to save changes"},
    {ID_FILE_PRINT, "Print the picture at its print size\nPrint"},
};

// The tooltip of a command ("description\ntitle"), or empty when it has none.
constexpr std::string_view TooltipOf(uint32_t id) {
    for (const CommandTooltip& t : kCommandTooltips) {
        if (t.id == id) return t.text;
    }
    return {};
}

}  // namespace cmd
