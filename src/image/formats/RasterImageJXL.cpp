// JPEG XL reading through libjxl's event loop: the basic information gives the size (checked
// against the memory limit before any pixel is decoded), the colour encoding the profile and
// how the pixels reach sRGB (RasterJxlColour.h), and the first full frame the pixels. The
// image's escape flag is looked at between events.
#include "image/formats/RasterImageJXL.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jxl/decode.h>
#include <jxl/encode.h>  // JxlColorEncodingSetToSRGB

#include "image/PictureMetadata.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterInterleavedRows.h"
#include "image/formats/RasterJxlColour.h"
#include "image/formats/RasterMetadataBlocks.h"

namespace {

// libjxl's allocations through its memory manager are held to this many bytes before the
// picture's size is known, and to the memory limit after.
constexpr uint64_t kHeaderBudget = uint64_t(64) << 20;
// Bytes a pixel may need inside libjxl while decoding (float planes of colour and alpha).
constexpr uint64_t kDecoderBytesPerPixel = 32;
constexpr size_t kAllocationHeader = 16;
// Metadata boxes (brotli-compressed ones are unpacked) are received in steps of this size up to
// the largest kept; the rest of a larger one is read and dropped.
constexpr size_t kBoxStep = size_t(64) << 10;
constexpr size_t kMaxMetadataBox = size_t(16) << 20;
constexpr uint32_t kRgb = 3;

// Counts libjxl's allocations and refuses those past the budget.
struct MemoryBudget {
    uint64_t budget = kHeaderBudget;
    uint64_t used = 0;
};

void* BudgetAlloc(void* opaque, size_t size) {
    auto* memory = static_cast<MemoryBudget*>(opaque);
    if (size > memory->budget || memory->used > memory->budget - size) return nullptr;
    auto* block = static_cast<uint8_t*>(std::malloc(size + kAllocationHeader));
    if (!block) return nullptr;
    std::memcpy(block, &size, sizeof(size));
    memory->used += size;
    return block + kAllocationHeader;
}

void BudgetFree(void* opaque, void* address) {
    if (!address) return;
    auto* block = static_cast<uint8_t*>(address) - kAllocationHeader;
    size_t size = 0;
    std::memcpy(&size, block, sizeof(size));
    static_cast<MemoryBudget*>(opaque)->used -= size;
    std::free(block);
}

struct DecoderDeleter {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};

// A metadata box being received.
struct BoxTarget {
    std::vector<uint8_t>* out = nullptr;
    std::vector<uint8_t> buffer;
    size_t used = 0;
    bool exif = false;
};

class JxlJob {
public:
    JxlJob(RasterImage& image, const uint8_t* data, size_t size, PictureMetadata* metadata)
        : m_image(image), m_data(data), m_size(size), m_metadata(metadata) {}

    bool Run();

private:
    bool Fail(const char* text) {
        m_image.SetLastError(text);
        return false;
    }
    bool OnBasicInfo();
    bool HoldsBlackChannel();
    void PreferSrgbForLinearOrUnnamedColours();
    std::vector<uint8_t> DataProfile();
    bool OnColourEncoding();
    bool OnNeedOutput();
    size_t SampleBytes() const { return m_format.data_type == JXL_TYPE_UINT16 ? sizeof(uint16_t) : 1; }
    bool OnFullImage();
    void OnBox();
    void OnBoxNeedsMore();
    void FinishBox();

    RasterImage& m_image;
    const uint8_t* m_data;
    size_t m_size;
    PictureMetadata* m_metadata;
    MemoryBudget m_memory;
    std::unique_ptr<JxlDecoder, DecoderDeleter> m_decoder;
    JxlBasicInfo m_info{};
    JxlPixelFormat m_format{};
    // Grey or linear-light pixels, decoded as 16-bit samples and converted to sRGB.
    bool m_convert = false;
    JxlToSrgb m_toSrgb;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    // Left uninitialised: a file that claims a large picture but ends early touches little.
    std::unique_ptr<uint8_t[]> m_pixels;
    BoxTarget m_box;
};

bool JxlJob::Run() {
    const JxlMemoryManager manager{&m_memory, BudgetAlloc, BudgetFree};
    m_decoder.reset(JxlDecoderCreate(&manager));
    if (!m_decoder) return Fail("JPEG XL: the decoder could not be set up");
    JxlDecoder* decoder = m_decoder.get();
    int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE;
    if (m_metadata) {
        events |= JXL_DEC_BOX;
        // cjxl and others store EXIF and XMP brotli-compressed ("brob").
        JxlDecoderSetDecompressBoxes(m_decoder.get(), JXL_TRUE);
    }
    if (JxlDecoderSubscribeEvents(decoder, events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder, m_data, m_size) != JXL_DEC_SUCCESS) {
        return Fail("JPEG XL: the decoder could not be set up");
    }
    JxlDecoderCloseInput(decoder);
    for (;;) {
        if (m_image.IsEscaped()) return Fail("JPEG XL: decoding stopped");
        switch (JxlDecoderProcessInput(decoder)) {
            case JXL_DEC_BASIC_INFO:
                if (!OnBasicInfo()) return false;
                break;
            case JXL_DEC_COLOR_ENCODING:
                if (!OnColourEncoding()) return false;
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                if (!OnNeedOutput()) return false;
                break;
            case JXL_DEC_BOX:
                OnBox();
                break;
            case JXL_DEC_BOX_NEED_MORE_OUTPUT:
                OnBoxNeedsMore();
                break;
            case JXL_DEC_FULL_IMAGE:
                // The first frame is the picture; what follows it is not read.
                FinishBox();
                return OnFullImage();
            case JXL_DEC_NEED_MORE_INPUT:
                return Fail("JPEG XL: the picture data ends early");
            case JXL_DEC_SUCCESS:
                return Fail("JPEG XL: the file holds no picture");
            default:
                return Fail("JPEG XL: damaged picture data");
        }
    }
}

bool JxlJob::OnBasicInfo() {
    if (JxlDecoderGetBasicInfo(m_decoder.get(), &m_info) != JXL_DEC_SUCCESS) return Fail("JPEG XL: damaged header");
    // The pixels come turned by the orientation: orientations 5 to 8 swap the sides.
    const bool transposed = m_info.orientation >= JXL_ORIENT_TRANSPOSE;
    m_width = transposed ? m_info.ysize : m_info.xsize;
    m_height = transposed ? m_info.xsize : m_info.ysize;
    if (m_width == 0 || m_height == 0) return Fail("JPEG XL: the picture has no size");
    if (!RasterImage::FitsMemoryLimit(m_width, m_height, 64)) return Fail(RasterTooLargeFor(m_width, m_height, 64).text);
    const uint64_t pixels = uint64_t(m_width) * m_height;
    m_memory.budget = kHeaderBudget + pixels * kDecoderBytesPerPixel;
    if (m_memory.budget > RASTER_MAX_MEMORY) m_memory.budget = RASTER_MAX_MEMORY;
    if (HoldsBlackChannel()) return Fail("JPEG XL: CMYK pictures (black in an extra channel) are not supported");
    return true;
}

bool JxlJob::HoldsBlackChannel() {
    for (uint32_t index = 0; index < m_info.num_extra_channels; ++index) {
        JxlExtraChannelInfo extra;
        if (JxlDecoderGetExtraChannelInfo(m_decoder.get(), index, &extra) == JXL_DEC_SUCCESS &&
            extra.type == JXL_CHANNEL_BLACK) {
            return true;
        }
    }
    return false;
}

// A lossy file's pixels can come in any colour encoding that has a name; unasked, libjxl gives
// linear light for a file tagged with a profile it cannot name. The program's own sRGB is
// asked for then, and for files whose own colours are linear light.
void JxlJob::PreferSrgbForLinearOrUnnamedColours() {
    JxlDecoder* decoder = m_decoder.get();
    JxlColorEncoding original;
    const bool named = JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                          &original) == JXL_DEC_SUCCESS;
    if (named && original.transfer_function != JXL_TRANSFER_FUNCTION_LINEAR) return;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, m_info.num_color_channels == 1 ? JXL_TRUE : JXL_FALSE);
    JxlDecoderSetPreferredColorProfile(decoder, &srgb);
}

// The profile of the pixels the decoder will hand over; empty when it gives none.
std::vector<uint8_t> JxlJob::DataProfile() {
    size_t size = 0;
    JxlDecoder* decoder = m_decoder.get();
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS ||
        size == 0 || size > m_size + kHeaderBudget) {
        return {};
    }
    std::vector<uint8_t> icc(size);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), size) !=
        JXL_DEC_SUCCESS) {
        icc.clear();
    }
    return icc;
}

bool JxlJob::OnColourEncoding() {
    if (!m_info.uses_original_profile) PreferSrgbForLinearOrUnnamedColours();
    std::vector<uint8_t> icc = DataProfile();
    const bool grey = m_info.num_color_channels == 1;
    const uint32_t alpha = m_info.alpha_bits > 0 ? 1 : 0;
    m_convert = grey || JxlPixelsNeedConverting(icc);
    if (m_convert) {
        const uint32_t colour = grey ? 1 : kRgb;
        if (!m_toSrgb.Open(icc, colour, alpha != 0))
            return Fail("JPEG XL: the picture's colour encoding is not usable");
        m_format = JxlPixelFormat{colour + alpha, JXL_TYPE_UINT16, JXL_NATIVE_ENDIAN, 0};
    } else {
        m_format = JxlPixelFormat{kRgb + alpha, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    }
    // Converted pixels are sRGB, which needs no profile; others keep the one they are in.
    if (m_metadata) m_metadata->icc = m_convert ? std::vector<uint8_t>() : std::move(icc);
    return true;
}

bool JxlJob::OnNeedOutput() {
    if (m_width == 0 || m_format.num_channels == 0) return Fail("JPEG XL: damaged header");
    size_t size = 0;
    if (JxlDecoderImageOutBufferSize(m_decoder.get(), &m_format, &size) != JXL_DEC_SUCCESS ||
        size != size_t(m_width) * m_height * m_format.num_channels * SampleBytes()) {
        return Fail("JPEG XL: unexpected picture layout");
    }
    m_pixels.reset(new (std::nothrow) uint8_t[size]);
    if (!m_pixels) return Fail("RasterImage::Create can't allocate memory");
    if (JxlDecoderSetImageOutBuffer(m_decoder.get(), &m_format, m_pixels.get(), size) != JXL_DEC_SUCCESS) {
        return Fail("JPEG XL: unexpected picture layout");
    }
    return true;
}

bool JxlJob::OnFullImage() {
    if (!m_pixels) return Fail("JPEG XL: the file holds no picture");
    const bool alpha = m_info.alpha_bits > 0;
    if (!m_image.Create(m_width, m_height, 24, RASTER_FORMAT_JXL)) return false;
    if (alpha && !m_image.CreateAlpha()) return false;
    const size_t rowBytes = size_t(m_width) * m_format.num_channels * SampleBytes();
    for (uint32_t y = 0; y < m_height; ++y) {
        const uint32_t stored = m_height - 1 - y;
        const uint8_t* row = m_pixels.get() + size_t(y) * rowBytes;
        uint8_t* alphaRow = alpha ? m_image.AlphaPointer(0, stored) : nullptr;
        if (m_convert) {
            m_toSrgb.ConvertRow(reinterpret_cast<const uint16_t*>(row), m_width, m_image.RowPointer(stored), alphaRow);
        } else {
            PutInterleavedRow(row, m_width, m_format.num_channels, m_image.RowPointer(stored), alphaRow);
        }
    }
    if (alpha && m_info.alpha_premultiplied) UnpremultiplyPicture(m_image);
    return true;
}

void JxlJob::OnBox() {
    FinishBox();
    JxlBoxType type;
    if (JxlDecoderGetBoxType(m_decoder.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS) return;
    const bool exif = std::memcmp(type, "Exif", 4) == 0;
    const bool xmp = std::memcmp(type, "xml ", 4) == 0;
    if (!exif && !xmp) return;
    m_box.exif = exif;
    m_box.out = exif ? &m_metadata->exif : &m_metadata->xmp;
    m_box.buffer.resize(kBoxStep);
    m_box.used = 0;
    if (JxlDecoderSetBoxBuffer(m_decoder.get(), m_box.buffer.data(), m_box.buffer.size()) != JXL_DEC_SUCCESS) {
        m_box = BoxTarget{};
    }
}

void JxlJob::OnBoxNeedsMore() {
    JxlDecoder* decoder = m_decoder.get();
    const size_t unused = JxlDecoderReleaseBoxBuffer(decoder);
    const size_t filled = m_box.buffer.size() - m_box.used;
    m_box.used += filled >= unused ? filled - unused : 0;
    if (m_box.out && m_box.buffer.size() + kBoxStep <= kMaxMetadataBox) {
        m_box.buffer.resize(m_box.buffer.size() + kBoxStep);
    } else {
        // Too large to keep: what follows goes into the last step's room and is dropped.
        m_box.out = nullptr;
        if (m_box.buffer.size() < kBoxStep) m_box.buffer.resize(kBoxStep);
        m_box.used = m_box.buffer.size() - kBoxStep;
    }
    JxlDecoderSetBoxBuffer(decoder, m_box.buffer.data() + m_box.used, m_box.buffer.size() - m_box.used);
}

void JxlJob::FinishBox() {
    if (m_box.buffer.empty()) return;
    const size_t unused = JxlDecoderReleaseBoxBuffer(m_decoder.get());
    const size_t filled = m_box.buffer.size() - m_box.used;
    m_box.buffer.resize(m_box.used + (filled >= unused ? filled - unused : 0));
    if (m_box.out && m_box.out->empty()) {
        if (m_box.exif) ExifFromOffsetBlock(m_box.buffer.data(), m_box.buffer.size(), *m_box.out);
        else *m_box.out = std::move(m_box.buffer);
    }
    m_box = BoxTarget{};
}

}  // namespace

bool RasterImageJXL::Decode(RasterFile* file) {
    RasterStreamBytes bytes;
    if (!OpenWholeFormatData(*this, file, bytes, &Sniff, "Not a JPEG XL file")) return false;
    JxlJob job(*this, bytes.Data(), bytes.Size(), m_metadata);
    if (job.Run()) return true;
    if (m_metadata) m_metadata->Clear();
    Destroy();
    return false;
}

bool RasterImageJXL::Sniff(const uint8_t* head, size_t count, uint64_t) {
    const JxlSignature signature = JxlSignatureCheck(head, count);
    return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}
