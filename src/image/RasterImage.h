// RasterImage: the one raster picture type of Snipwell.
//
// Storage is a packed device-independent bitmap block: a 40-byte info header, the palette
// (blue, green, red, reserved per entry) and the pixel rows, bottom-up, each padded to a
// multiple of 4 bytes; 24-bit pixels are stored blue, green, red. An optional alpha plane
// (width x height bytes, no padding, same bottom-up row order, 255 = opaque) lives in a
// separate allocation. Both come from the shared block pool (RasterBlockPool), hold
// undefined bytes when new, and are C allocator blocks.
//
// Coordinates: "stored" coordinates have y = 0 at the bottom row (pixel and alpha access,
// ExtractChannel, geometry internals); "picture" coordinates have y = 0 at the top row
// (Paste, PasteAll, CopyRegion, Crop).
//
// The core never throws: failures return false or null and leave a message in the image's
// last error text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFormatIds.h"

class RasterFile;
struct PictureMetadata;

// Largest pixel block (in bytes) an image may allocate on any machine; the program sets a
// lower limit from the machine's memory (RasterImage::SetMemoryLimit).
constexpr uint32_t RASTER_MAX_MEMORY = 0xF0000000u;
// How a refusal for size starts; the error text goes on with the picture's size and the bytes
// it needs: "RASTER_MAX_MEMORY exceeded: 60000 x 30000 pixels, 5400000000 bytes".
inline constexpr char RASTER_TOO_LARGE[] = "RASTER_MAX_MEMORY exceeded";
constexpr size_t RASTER_ERROR_TEXT_SIZE = 256;
constexpr int32_t RASTER_DEFAULT_DPI = 96;
constexpr float RASTER_DEFAULT_JPEG_QUALITY = 90.0f;

// How a load treats the EXIF orientation of a JPEG picture. Cameras store the sensor's rows
// as shot and record how the camera was held.
enum class RasterUpright : uint8_t {
    AsStored,  // the rows as stored; the orientation is not read (a plain Load)
    Turn,      // turned upright; a turn that fails for lack of memory leaves the picture as stored
    Report,    // the rows as stored, the turn that makes them upright reported, for a caller
               // that turns a smaller copy (a thumbnail) instead
};

// What a load does beyond reading the picture.
struct RasterLoadOptions {
    RasterUpright upright = RasterUpright::AsStored;
    // Out, unless upright is AsStored: the EXIF orientation of a loaded JPEG picture, 1..8
    // (RASTER_EXIF_ORIENTATION_* in formats/RasterExifOrientation.h); 1 (upright) when the file
    // states none or the picture is not a JPEG one.
    int orientation = 1;
    // Out, when not null: the metadata blocks the file carries, for the formats that keep
    // them; left empty by the others. Cleared by the load first.
    PictureMetadata* metadata = nullptr;
    // Out: what the file holds besides the picture decoded, which saving over it would drop
    // (RASTER_HEIF_EXTRA_ flags of formats/RasterImageHEIF.h); 0 for the other formats.
    uint32_t extrasLostOnSave = 0;
};
constexpr uint8_t RASTER_ALPHA_OPAQUE = 255;

// Paste modes.
constexpr uint32_t RASTER_PASTE_COPY = 1;
constexpr uint32_t RASTER_PASTE_ALPHA_BLEND = 4;

// Rescale modes. The program always passes RASTER_RESCALE_AREA (area shrink when both sides
// shrink, bilinear otherwise).
constexpr int RASTER_RESCALE_NEAREST = 1;
constexpr int RASTER_RESCALE_BICUBIC = 2;
constexpr int RASTER_RESCALE_AREA = 3;
// Fixed-point weight unit of the area shrink.
constexpr int32_t RASTER_RESCALE_ACCURACY = 1000;

// ExtractChannel kinds; any other value gives red.
constexpr int RASTER_CHANNEL_RED = 1;
constexpr int RASTER_CHANNEL_GREEN = 2;
constexpr int RASTER_CHANNEL_BLUE = 3;
constexpr int RASTER_CHANNEL_ALPHA = 4;

// Default JPEG codec option word: 1 x 1 chroma sampling.
constexpr uint32_t RASTER_JPEG_DEFAULT_OPTIONS = 0x2001;

#pragma pack(push, 1)
// Same layout as the Windows BITMAPINFOHEADER (little-endian host).
struct RasterBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

// A palette entry or a 4-byte colour: blue, green, red, reserved (alpha).
struct RasterRgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
#pragma pack(pop)
static_assert(sizeof(RasterBitmapInfoHeader) == 40, "info header must be 40 bytes");
static_assert(sizeof(RasterRgbQuad) == 4, "palette entry must be 4 bytes");

// A rectangle in picture coordinates (Crop: right and bottom exclusive).
struct RasterRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// COLORREF helpers: 0x00BBGGRR.
constexpr uint32_t RasterRgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t RasterRed(uint32_t c) { return uint8_t(c & 0xFF); }
constexpr uint8_t RasterGreen(uint32_t c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t RasterBlue(uint32_t c) { return uint8_t((c >> 16) & 0xFF); }

// The information fields, copied as a whole by Copy and by the format objects.
struct RasterInfo {
    uint32_t type;                             // format id
    char lastError[RASTER_ERROR_TEXT_SIZE];    // NUL-terminated
    char loadWarning[RASTER_ERROR_TEXT_SIZE];  // NUL-terminated; what a decoder recovered from
    float jpegQuality;                         // 0..255, default 90
    int32_t transparentIndex;                  // -1 = none
    RasterRgbQuad transparentColor;
    int32_t xDpi;
    int32_t yDpi;
    uint32_t progress;                         // 0..100, written by long operations
    uint32_t escape;                           // non-zero: long row loops stop early
    // When set, a raised flag counts as a set escape too: another thread can stop a decode
    // that runs on this image without touching the image itself. Not owned.
    const std::atomic<bool>* escapeFlag;
    bool borrowed;                             // only views another image's storage
    uint8_t alphaMax;
    bool paletteAlphaEnabled;
    bool littleEndianHost;
    uint32_t codecOptions[RASTER_FORMAT_COUNT];
};

// A picture refused for its size, as its error text tells it.
struct RasterTooLarge {
    uint64_t width;
    uint64_t height;
    uint64_t bytes;
};
// Reads the size out of a refusal's error text (see RASTER_TOO_LARGE), so that the program
// can say it in its own words; false for any other text.
bool RasterTooLargeFromText(const char* text, RasterTooLarge& size);
// Writes the refusal of a width x height picture that needs bytes into text
// (RASTER_ERROR_TEXT_SIZE bytes).
void RasterTooLargeText(char* text, uint64_t width, uint64_t height, uint64_t bytes);
// The same for a picture of bpp bits, as a value, for readers with error paths of their own.
struct RasterTooLargeError {
    char text[RASTER_ERROR_TEXT_SIZE];
};
RasterTooLargeError RasterTooLargeFor(uint64_t width, uint64_t height, uint32_t bpp);

// 256 x 256 table of round(i * j / 255), indexed i * 256 + j.
const uint8_t* ProductTable();

class RasterImage {
public:
    explicit RasterImage(uint32_t type = RASTER_FORMAT_UNKNOWN);
    // Loads a picture file (see Load).
    RasterImage(const char* path, uint32_t type);
    RasterImage(const RasterImage& source);
    RasterImage& operator=(const RasterImage& source);
    virtual ~RasterImage();

    // ---- life cycle --------------------------------------------------------------------
    bool Destroy();
    bool ReleaseFrames();
    // New storage block, pixels uninitialised except the bytes past each row's pixels (the
    // padding and the unused bits of a last partial byte), which are 0; returns the block,
    // or null with the last error set.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type);
    bool Copy(const RasterImage& source);
    // Moves source's storage, alpha, header and information into this image.
    bool TakeOver(RasterImage& source, bool withFrames = false);
    // Turns this image into a borrowed view of source's storage (for encoders).
    void MakeBorrowedView(const RasterImage& source);

    // ---- information -------------------------------------------------------------------
    bool IsValid() const { return m_block != nullptr; }
    uint32_t GetWidth() const { return uint32_t(m_header.biWidth); }
    uint32_t GetHeight() const { return uint32_t(m_header.biHeight); }
    uint32_t GetBpp() const { return m_header.biBitCount; }
    uint32_t GetType() const { return m_info.type; }
    void SetType(uint32_t type) { m_info.type = type; }
    bool IsBorrowed() const { return m_info.borrowed; }
    // Bytes per stored row, padded to a multiple of 4.
    uint32_t GetStride() const { return m_stride; }
    static uint64_t StrideFor(uint64_t width, uint32_t bpp);
    const RasterBitmapInfoHeader& GetHeader() const { return m_header; }
    // The whole storage block (header, palette, pixels) and its size in bytes.
    uint8_t* GetBlock() { return m_block; }
    const uint8_t* GetBlock() const { return m_block; }
    size_t GetBlockSize() const;
    // First byte of the pixel rows (stored row 0 = bottom row).
    uint8_t* GetBits() { return m_bits; }
    const uint8_t* GetBits() const { return m_bits; }

    const RasterInfo& GetInfo() const { return m_info; }
    void CopyInfoFrom(const RasterImage& source) { m_info = source.m_info; }

    const char* LastErrorText() const { return m_info.lastError; }
    void SetLastError(const char* text);
    void ClearLastError() { m_info.lastError[0] = '\0'; }

    // What was wrong with a damaged file that still loaded (the decoder filled in what it
    // could not read); empty after a sound file.
    const char* LoadWarningText() const { return m_info.loadWarning; }
    bool HasLoadWarning() const { return m_info.loadWarning[0] != '\0'; }
    void SetLoadWarning(const char* text);
    void ClearLoadWarning() { m_info.loadWarning[0] = '\0'; }

    bool IsTransparent() const { return m_info.transparentIndex >= 0; }
    int32_t GetTransparentIndex() const { return m_info.transparentIndex; }
    void SetTransparentIndex(int32_t index) { m_info.transparentIndex = index; }
    RasterRgbQuad GetTransparentColor() const { return m_info.transparentColor; }
    void SetTransparentColor(RasterRgbQuad color) { m_info.transparentColor = color; }

    float GetJpegQuality() const { return m_info.jpegQuality; }
    void SetJpegQuality(uint8_t quality) { m_info.jpegQuality = float(quality); }

    int32_t GetXDpi() const { return m_info.xDpi; }
    int32_t GetYDpi() const { return m_info.yDpi; }
    // d <= 0 is replaced by 96; also sets the pixels-per-metre header fields.
    void SetXDpi(int32_t dpi);
    void SetYDpi(int32_t dpi);

    uint32_t GetCodecOption(uint32_t type) const;
    void SetCodecOption(uint32_t type, uint32_t option);

    uint32_t GetProgress() const { return m_info.progress; }
    void SetProgress(uint32_t progress) { m_info.progress = progress; }
    bool IsEscaped() const {
        return m_info.escape != 0 || (m_info.escapeFlag && m_info.escapeFlag->load(std::memory_order_relaxed));
    }
    void SetEscape(uint32_t escape) { m_info.escape = escape; }
    // Watches flag (null: none) from now on; it must outlive the watch.
    void WatchEscapeFlag(const std::atomic<bool>* flag) { m_info.escapeFlag = flag; }

    bool IsPaletteAlphaEnabled() const { return m_info.paletteAlphaEnabled; }
    void SetPaletteAlphaEnabled(bool enabled) { m_info.paletteAlphaEnabled = enabled; }
    uint8_t GetAlphaMax() const { return m_info.alphaMax; }

    // ---- palette -----------------------------------------------------------------------
    uint32_t GetPaletteSize() const { return m_header.biClrUsed; }   // entries
    RasterRgbQuad* GetPalette();                                      // null for 24 bits
    const RasterRgbQuad* GetPalette() const;
    // Copies min(count, palette size) entries.
    void SetPalette(const RasterRgbQuad* entries, uint32_t count);
    // 0, 1/255.. grey ramp over the palette.
    void SetGrayPalette();
    bool IsGrayPalette() const;
    uint8_t GetPixelIndex(uint32_t x, uint32_t y) const;              // palette images
    void SetPixelIndex(uint32_t x, uint32_t y, uint8_t index);        // palette images

    // ---- alpha -------------------------------------------------------------------------
    bool HasAlpha() const { return m_alpha != nullptr; }
    bool CreateAlpha();
    void DeleteAlpha();
    void SetAlphaLevel(uint8_t level);
    bool CopyAlpha(const RasterImage& source);
    bool AlphaFromTransparentIndex();
    uint8_t* GetAlphaPlane() { return m_alpha; }
    const uint8_t* GetAlphaPlane() const { return m_alpha; }
    // Takes ownership of a plane of width x height bytes from the C allocator or the block
    // pool (or gives the old one back when plane is null).
    void AdoptAlphaPlane(uint8_t* plane);

    // ---- pixel access (stored coordinates, no bounds check) -----------------------------
    uint8_t* PixelPointer(uint32_t x, uint32_t y) { return m_bits + size_t(y) * m_stride + size_t(x) * 3; }
    const uint8_t* PixelPointer(uint32_t x, uint32_t y) const { return m_bits + size_t(y) * m_stride + size_t(x) * 3; }
    uint8_t* RowPointer(uint32_t y) { return m_bits + size_t(y) * m_stride; }
    const uint8_t* RowPointer(uint32_t y) const { return m_bits + size_t(y) * m_stride; }
    uint8_t* AlphaPointer(uint32_t x, uint32_t y) { return m_alpha ? m_alpha + size_t(y) * GetWidth() + x : nullptr; }
    const uint8_t* AlphaPointer(uint32_t x, uint32_t y) const { return m_alpha ? m_alpha + size_t(y) * GetWidth() + x : nullptr; }
    RasterRgbQuad GetPixelColor(uint32_t x, uint32_t y, bool withAlpha = true) const;
    // Outside the image: ignored.
    void SetPixelColor(int64_t x, int64_t y, RasterRgbQuad color, bool withAlpha = false);

    // ---- frames (multi-frame decoders only) ---------------------------------------------
    uint32_t GetFrameCount() const { return uint32_t(m_frames.size()); }
    RasterImage* GetFrame(uint32_t index) const { return index < m_frames.size() ? m_frames[index] : nullptr; }
    // Takes ownership of frame.
    bool AddFrame(RasterImage* frame);

    // ---- files (format detection, loading and saving) -----------------------------------
    static uint32_t TypeFromExtension(const char* path);
    bool Load(const char* path, uint32_t type);
    // The same with options (Load (path, type) uses the defaults); options.orientation is set
    // on success.
    bool Load(const char* path, uint32_t type, RasterLoadOptions& options);
    // Writes beside the target and renames over it only after a successful encode.
    bool Save(const char* path, uint32_t type);
    // The same, with the metadata blocks written into a JPEG or PNG file (other formats carry
    // none). A block that cannot be written is left out, cleared in metadata and counted in
    // metadata->dropped; the picture is saved all the same.
    bool Save(const char* path, uint32_t type, PictureMetadata* metadata);
    bool Decode(RasterFile* file, uint32_t type);
    bool Decode(RasterFile* file, uint32_t type, RasterLoadOptions& options);
    bool Decode(uint8_t* buffer, uint32_t size, uint32_t type);
    bool Encode(RasterFile* file, uint32_t type);

    // ---- geometry (stored coordinates unless said otherwise) ----------------------------
    bool Flip(bool flipSelection = false, bool flipAlpha = true);
    bool Mirror(bool mirrorSelection = false, bool mirrorAlpha = true);
    bool RotateLeft(RasterImage* destination = nullptr);
    bool RotateRight(RasterImage* destination = nullptr);
    bool Rescale(uint32_t newWidth, uint32_t newHeight, int mode = RASTER_RESCALE_AREA,
                 RasterImage* destination = nullptr);
    // Single-byte plane resize; gives plane (C allocator or block pool) back to the pool and
    // returns a new plane from the pool, or null when a size is below 1.
    static uint8_t* RescalePlane(uint8_t* plane, uint32_t width, uint32_t height,
                                 uint32_t newWidth, uint32_t newHeight);
    // rect in picture coordinates, right and bottom exclusive.
    bool Crop(const RasterRect& rect, RasterImage* destination = nullptr);
    bool IncreaseBpp(uint32_t bpp);

    // ---- tones ---------------------------------------------------------------------------
    bool AdjustLight(int32_t brightness, int32_t contrast);
    bool ApplyLut(const uint8_t* table);
    bool GrayAverage();
    bool ShiftChannels(int32_t red, int32_t green, int32_t blue);

    // ---- compositing and channels --------------------------------------------------------
    void FillColor(uint32_t color);
    // Source rectangle in picture coordinates, corners inclusive.
    bool Paste(const RasterImage& source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
               int32_t srcBottom, int32_t dstX, int32_t dstY, uint32_t mode, double opacity);
    bool PasteAll(const RasterImage& source, int32_t srcLeft, int32_t srcTop, int32_t dstX,
                  int32_t dstY, uint32_t mode, double opacity);
    bool FlattenAlpha(uint32_t color);
    // New plane of width x height bytes in stored row order from the block pool; the caller
    // frees it (std::free, or better RasterBlockPool::Shared().Release).
    uint8_t* ExtractChannel(int kind) const;
    bool CopyRegion(int32_t x, int32_t y, RasterImage& destination) const;

    // Bytes of the padded rows of a width x height picture of bpp bits.
    static uint64_t PixelBytes(uint64_t width, uint64_t height, uint32_t bpp);
    // Checks the pixel bytes of width x height x bpp against the memory limit, without
    // overflow. Sides past INT32_MAX never fit (the info header holds them signed).
    static bool FitsMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp);
    // The same; when it does not fit, the last error says so with the picture's size.
    bool CheckMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp);
    // Sets the refusal of a width x height picture that needs bytes as the last error; false.
    bool RefuseTooLarge(uint64_t width, uint64_t height, uint64_t bytes);
    // The largest pixel block any image may take from now on (and the largest working block
    // a decoder may ask its library for), in bytes; RASTER_MAX_MEMORY at most and at start.
    // One setting for the whole process, which the program makes from the machine's memory.
    static void SetMemoryLimit(uint64_t bytes);
    static uint64_t MemoryLimit();

protected:
    // Encode, then the metadata blocks written into the bytes when the format keeps them.
    bool EncodeWithMetadata(RasterFile* file, uint32_t type, PictureMetadata* metadata);
    void ResetInfo(uint32_t type);
    void ClearHeaderAndPointers();
    void ClearRowEnds();

    uint8_t* m_block = nullptr;       // header + palette + pixels (block pool)
    uint8_t* m_bits = nullptr;        // pixel rows inside m_block
    uint8_t* m_alpha = nullptr;       // alpha plane (block pool) or null
    uint32_t m_stride = 0;
    RasterBitmapInfoHeader m_header{};
    RasterInfo m_info{};
    std::vector<RasterImage*> m_frames;
};
