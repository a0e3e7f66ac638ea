// Helpers of the browser tests: picture files, waiting for the loader, and a private thumbnail
// cache for the whole test program.
#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "browser/ThumbnailList.h"

namespace browsertest {

QString ToQString(const std::filesystem::path& path);

// Writes a 24-bit picture of one colour (0x00BBGGRR) as JPEG or PNG through the image core.
void WriteSolidPicture(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color,
                       uint32_t type);
// A PNG whose left half is transparent.
void WriteHalfTransparentPng(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color);
// A JPEG of one colour carrying an EXIF block with the given embedded JPEG thumbnail.
void WriteJpegWithExifThumbnail(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t color,
                                uint32_t thumbWidth, uint32_t thumbHeight, uint32_t thumbColor);

// Runs the event loop until the list has no scan or update running or waiting (fails after 30 s).
void WaitForScan(const ThumbnailList& list);
// Runs the event loop for about the given time.
void RunEventLoop(int milliseconds);
// Runs the event loop until the condition holds or the time runs out (loaded sanitizer runs are slow);
// returns whether it held.
bool RunEventLoopUntil(const std::function<bool()>& condition, int milliseconds = 10000);

// Names and paths of the list's items, in order.
std::vector<QString> ListedNames(const ThumbnailList& list);
std::vector<QString> ListedPaths(const ThumbnailList& list);

// The colour (0x00BBGGRR) at the centre of a 24-bit picture.
uint32_t CentreColor(const RasterImage& image);

// Removes every entry of the private thumbnail cache.
void ClearThumbnailCache();

}  // namespace browsertest
