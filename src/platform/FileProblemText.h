// What a failed open or save tells the user: the file's name and the reason, in words, made
// from the image core's error text. Never a bare "Failed.".
#pragma once

#include <QString>

#include <cstdint>

struct RasterTooLarge;

// "Could not open NAME: REASON."; for a picture refused for its size, TooLargeText with the
// image core's present limit.
QString OpenFailureText(const QString& path, const char* coreError);
// "NAME is W x H pixels and needs 5.4 GB; on this computer a picture may take at most 4.3 GB."
// The need is rounded up and the limit down, so that the two never read as equal.
QString TooLargeText(const QString& path, const RasterTooLarge& size, uint64_t limitBytes);
// A byte count in decimal units as file managers show them, one decimal for gigabytes:
// "600 MB", "5.4 GB".
enum class Rounding { Nearest, Up, Down };
QString ByteSizeText(uint64_t bytes, Rounding rounding = Rounding::Nearest);
// "Could not save NAME: REASON."
QString SaveFailureText(const QString& path, const char* coreError);
// The reason alone, without the core's "Decode: " style prefixes; a fallback when the core
// left no text.
QString ReasonFromCoreError(const char* coreError);
// The file name of path (the part after the last slash).
QString FileNameOf(const QString& path);
