// Reading a PNG's size and texts without decoding it: every kind of text chunk, damaged chunks
// left out, and files that are no whole PNG refused.
#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/PngTextChunks.h"

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

// A grey 3 x 2 PNG with one text chunk of each kind libpng writes, one before the pixels and
// the rest after them.
std::vector<uint8_t> PngWithTexts(const QByteArray& longText) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_infop end = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_info_struct(png, &end);
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, 3, 2, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_text plain{};
    plain.compression = PNG_TEXT_COMPRESSION_NONE;
    plain.key = const_cast<png_charp>("Thumb::MTime");
    plain.text = const_cast<png_charp>("1796760924");
    png_set_text(png, info, &plain, 1);
    png_write_info(png, info);
    uint8_t pixels[2][3] = {{1, 2, 3}, {4, 5, 6}};
    png_bytep rows[2] = {pixels[0], pixels[1]};
    png_write_image(png, rows);
    png_text after[3]{};
    after[0].compression = PNG_TEXT_COMPRESSION_zTXt;
    after[0].key = const_cast<png_charp>("Thumb::URI");
    after[0].text = const_cast<png_charp>(longText.constData());
    after[1].compression = PNG_ITXT_COMPRESSION_NONE;
    after[1].key = const_cast<png_charp>("Title");
    after[1].text = const_cast<png_charp>("Gr\xC3\xBC\xC3\x9F" "e");
    after[1].lang = const_cast<png_charp>("de");
    after[2].compression = PNG_ITXT_COMPRESSION_zTXt;
    after[2].key = const_cast<png_charp>("Comment");
    after[2].text = const_cast<png_charp>(longText.constData());
    png_set_text(png, end, after, 3);
    png_write_end(png, end);
    png_destroy_info_struct(png, &end);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Where the chunk of type starts (its length field), or 0.
size_t ChunkAt(const std::vector<uint8_t>& png, const char* type) {
    for (size_t at = 8; at + 8 <= png.size();) {
        const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        at += 12 + length;
    }
    return 0;
}

}  // namespace

TEST(PngTextChunks, EveryKindOfTextChunkIsRead) {
    const QByteArray longText = "file:///home/someone/Pictures/" + QByteArray(300, 'x') + ".jpg";
    const std::vector<uint8_t> png = PngWithTexts(longText);
    ASSERT_FALSE(png.empty());
    thumbs::PngHeaderAndTexts read;
    ASSERT_TRUE(thumbs::ReadPngHeaderAndTexts(png.data(), png.size(), read));
    EXPECT_EQ(read.width, 3u);
    EXPECT_EQ(read.height, 2u);
    EXPECT_EQ(read.Text("Thumb::MTime"), "1796760924");
    EXPECT_EQ(read.Text("Thumb::URI"), longText);
    EXPECT_EQ(read.Text("Title"), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(read.Text("Comment"), longText);
    EXPECT_TRUE(read.Text("Thumb::Size").isEmpty());
}

TEST(PngTextChunks, DamagedTextsAreLeftOutAndDamagedFilesRefused) {
    const std::vector<uint8_t> whole = PngWithTexts("file:///a.jpg");
    const size_t text = ChunkAt(whole, "tEXt");
    const size_t header = ChunkAt(whole, "IHDR");
    ASSERT_NE(text, 0u);
    ASSERT_NE(header, 0u);
    struct Case {
        const char* what;
        size_t at;             // byte changed, or the length cut to
        bool cut;
        bool read;
        bool timeKept;
    };
    const Case cases[] = {
        {"a text chunk's value", text + 8 + 13, false, true, false},
        {"the header's width", header + 9, false, false, false},
        {"no IEND", whole.size() - 4, true, false, false},
        {"inside a chunk", text + 6, true, false, false},
        {"the signature", 1, false, false, false},
        {"nothing", 0, true, false, false},
    };
    for (const Case& test : cases) {
        std::vector<uint8_t> png = whole;
        if (test.cut) {
            png.resize(test.at);
        } else {
            png[test.at] ^= 0x20;
        }
        thumbs::PngHeaderAndTexts read;
        EXPECT_EQ(thumbs::ReadPngHeaderAndTexts(png.data(), png.size(), read), test.read) << test.what;
        if (test.read) {
            EXPECT_EQ(!read.Text("Thumb::MTime").isEmpty(), test.timeKept) << test.what;
            EXPECT_EQ(read.Text("Thumb::URI"), "file:///a.jpg") << test.what;
        }
    }
}
