// Sections and keys of the settings store, with their defaults.
#pragma once

namespace settings {

inline constexpr const char* kSection = "Settings";

inline constexpr const char* kJpegQuality = "JPEG Quality";
inline constexpr int kJpegQualityDefault = 75;
inline constexpr int kJpegQualityMin = 0;
inline constexpr int kJpegQualityMax = 100;

inline constexpr const char* kAutoHideCropbox = "AutoHideCropbox";
inline constexpr const char* kSaveAsFileDir = "SaveAsFileDir";
inline constexpr const char* kPicPickerFolder = "PicPickerFolder";
inline constexpr const char* kAlphaPicCutterFilePath = "AlphaPicCutterFilePath";

// In the "Workspace" sub-section.
inline constexpr const char* kApplicationLook = "ApplicationLook";
inline constexpr int kApplicationLookDefault = 216;

}  // namespace settings
