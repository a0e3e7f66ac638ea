// Sections and keys of the settings store, with their defaults.
#pragma once

namespace settings {

inline constexpr const char* kSection = "Settings";

inline constexpr const char* kJpegQuality = "JPEG Quality";
inline constexpr int kJpegQualityDefault = 75;
inline constexpr int kJpegQualityMin = 0;
inline constexpr int kJpegQualityMax = 100;

inline constexpr const char* kAutoHideCropbox = "AutoHideCropbox";
// 1: a changed picture about to be left is offered for saving (the default); 0: never asked.
inline constexpr const char* kAskSaveChanges = "AskSaveChanges";
inline constexpr const char* kSaveAsFileDir = "SaveAsFileDir";
inline constexpr const char* kCompositionGuide = "CompositionGuide";   // 0 none .. 4 golden spiral
inline constexpr const char* kSpiralTurn = "GoldenSpiralTurn";        // 0..3
inline constexpr const char* kBrowserFolder = "PicPickerFolder";
inline constexpr const char* kCutterFilePath = "AlphaPicCutterFilePath";

// The crop box choices kept across runs: shape 1..3, the print-size preset's and the border's
// command ids, and the rotation flag 0 or 1.
inline constexpr const char* kCropShape = "CropShape";
inline constexpr const char* kCropPreset = "CropPreset";
inline constexpr const char* kCropBorder = "CropBorder";
inline constexpr const char* kCropRotated = "CropRotated";
// 1: each photo's box is kept in an XMP sidecar beside it (the default); 0: for the session only.
inline constexpr const char* kKeepBoxesInSidecars = "KeepBoxesInSidecars";
// 1: a rectangle box on a JPEG snaps its corner to the block grid (the default); 0: it does not.
inline constexpr const char* kSnapToJpegBlocks = "SnapToJpegBlocks";

// The print order's export: the last destination folder (empty: a prints folder beside the
// photos) and name pattern, whose extension is the format, and the quality (0: as the original;
// none yet: the quality JPEGs are saved with).
inline constexpr const char* kOrderExportFolder = "OrderExportFolder";
inline constexpr const char* kOrderExportPattern = "OrderExportPattern";
inline constexpr const char* kOrderExportQuality = "OrderExportQuality";

// The sheets of prints: the printer last printed to (empty: a PDF file), the paper of a PDF
// ("A4", "Letter"), the gap between prints in mm, cut marks 0 or 1, the preset id for photos
// whose box has no print size; the contact sheet's columns and whether it shows each photo's
// date and print size (0 or 1).
inline constexpr const char* kSheetPrinter = "SheetPrinter";
inline constexpr const char* kSheetPaper = "SheetPaper";
inline constexpr const char* kSheetGapMm = "SheetGapMm";
inline constexpr double kSheetGapMmDefault = 3;
inline constexpr const char* kSheetCutMarks = "SheetCutMarks";
inline constexpr const char* kSheetDefaultPreset = "SheetDefaultPreset";
inline constexpr const char* kContactColumns = "ContactColumns";
inline constexpr int kContactColumnsDefault = 4;
inline constexpr const char* kContactShowDate = "ContactShowDate";
inline constexpr const char* kContactShowSize = "ContactShowSize";

// In the "Workspace" sub-section.
inline constexpr const char* kApplicationLook = "ApplicationLook";
inline constexpr int kApplicationLookDefault = 216;

}  // namespace settings
