// The format table: the lists derived from it are the program's own extension table and dialog
// filters, and a sniffer never rules out data its format reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterFormatTable.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint32_t> Ids(std::span<const RasterFormat> rows) {
    std::vector<uint32_t> ids;
    for (const RasterFormat& row : rows) ids.push_back(row.id);
    return ids;
}

TEST(RasterFormatTable, HasOneRowPerFormatId) {
    std::vector<uint32_t> ids = Ids(RasterFormats());
    std::sort(ids.begin(), ids.end());
    std::vector<uint32_t> expected;
    for (uint32_t id = RASTER_FORMAT_BMP; id <= RASTER_FORMAT_LAST; ++id) expected.push_back(id);
    EXPECT_EQ(ids, expected);
    for (uint32_t id : expected) {
        ASSERT_NE(RasterFormatById(id), nullptr) << id;
        EXPECT_EQ(RasterFormatById(id)->id, id);
    }
    EXPECT_EQ(RasterFormatById(RASTER_FORMAT_UNKNOWN), nullptr);
    EXPECT_EQ(RasterFormatById(RASTER_FORMAT_LAST + 1), nullptr);
}

TEST(RasterFormatTable, RowsAreInTheSpecsDetectionOrder) {
    // BMP, JPEG, ICO, GIF, PNG, TIFF, MNG, TGA, PCX, WBMP, WMF, JBIG, the JPEG 2000 family
    // (each member on its own signature), WebP, AVIF before the rest of the HEIF family (whose
    // reader also takes AVIF), JPEG XL, SKA, camera raw.
    const std::vector<uint32_t> expected = {
        RASTER_FORMAT_BMP, RASTER_FORMAT_JPG, RASTER_FORMAT_ICO, RASTER_FORMAT_GIF,  RASTER_FORMAT_PNG,
        RASTER_FORMAT_TIF, RASTER_FORMAT_MNG, RASTER_FORMAT_TGA, RASTER_FORMAT_PCX,  RASTER_FORMAT_WBMP,
        RASTER_FORMAT_WMF, RASTER_FORMAT_JBG, RASTER_FORMAT_JP2, RASTER_FORMAT_JPC,  RASTER_FORMAT_PGX,
        RASTER_FORMAT_PNM, RASTER_FORMAT_RAS, RASTER_FORMAT_WEBP, RASTER_FORMAT_AVIF, RASTER_FORMAT_HEIF,
        RASTER_FORMAT_JXL, RASTER_FORMAT_SKA, RASTER_FORMAT_RAW,
    };
    EXPECT_EQ(Ids(RasterFormats()), expected);
}

TEST(RasterFormatTable, ExtensionsAreTheProgramsAndEachNamesOneFormat) {
    const std::vector<std::pair<const char*, uint32_t>> expected = {
        {"bmp", 1},  {"gif", 2},  {"jpg", 3},  {"jpeg", 3}, {"png", 4},  {"ico", 5},  {"tiff", 6},
        {"tif", 6},  {"tga", 7},  {"pcx", 8},  {"wbmp", 9}, {"wmf", 10}, {"emf", 10}, {"jp2", 11},
        {"j2k", 11}, {"jpc", 12}, {"j2c", 12}, {"pgx", 13}, {"pnm", 14}, {"pgm", 14}, {"ppm", 14},
        {"ras", 15}, {"jbg", 16}, {"mng", 17}, {"jng", 17}, {"webp", 20}, {"heic", 21}, {"heif", 21},
        {"hif", 21}, {"avif", 22}, {"jxl", 23},
    };
    std::set<std::string> inTable;
    for (const RasterFormat& row : RasterFormats()) {
        for (const char* extension : row.extensions) {
            if (!extension) continue;
            EXPECT_TRUE(inTable.insert(extension).second) << extension << " named twice";
            EXPECT_EQ(RasterImage::TypeFromExtension((std::string("a.") + extension).c_str()), row.id) << extension;
        }
    }
    EXPECT_EQ(inTable.size(), expected.size());
    for (const auto& [extension, id] : expected) {
        EXPECT_EQ(RasterImage::TypeFromExtension((std::string("photo.") + extension).c_str()), id) << extension;
        const std::string upper = [s = std::string(extension)]() mutable {
            for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
            return s;
        }();
        EXPECT_EQ(RasterImage::TypeFromExtension(("PHOTO." + upper).c_str()), id) << upper;
    }
    // No extension reaches SKA or camera raw.
    EXPECT_EQ(RasterFormatById(RASTER_FORMAT_SKA)->extensions[0], nullptr);
    EXPECT_EQ(RasterFormatById(RASTER_FORMAT_RAW)->extensions[0], nullptr);
}

TEST(RasterFormatTable, OnlyJpegPngGifBmpAndWebpAreWritable) {
    std::set<uint32_t> writable;
    for (const RasterFormat& row : RasterFormats()) {
        if (row.encode) writable.insert(row.id);
    }
    EXPECT_EQ(writable, (std::set<uint32_t>{RASTER_FORMAT_BMP, RASTER_FORMAT_GIF, RASTER_FORMAT_JPG, RASTER_FORMAT_PNG,
                                            RASTER_FORMAT_WEBP, RASTER_FORMAT_HEIF, RASTER_FORMAT_AVIF, RASTER_FORMAT_JXL}));
}

TEST(RasterFormatTable, ListPositionsCountFromOneWithoutGaps) {
    std::vector<int> open;
    std::vector<int> save;
    for (const RasterFormat& row : RasterFormats()) {
        if (row.openListAt) open.push_back(row.openListAt);
        if (row.saveListAt) {
            save.push_back(row.saveListAt);
            EXPECT_NE(row.encode, nullptr) << row.name << " offered for saving but not writable";
            EXPECT_NE(row.saveLabel, nullptr) << row.name;
        }
    }
    std::sort(open.begin(), open.end());
    std::sort(save.begin(), save.end());
    for (size_t i = 0; i < open.size(); ++i) EXPECT_EQ(open[i], int(i + 1));
    for (size_t i = 0; i < save.size(); ++i) EXPECT_EQ(save[i], int(i + 1));
}

TEST(RasterFormatTable, DerivedListsAreTheSystemsOwnTexts) {
    // The cutter's file-open filter, the Save As filter and the browser's list.
    EXPECT_EQ(RasterOpenFilter("Image Files"),
              "Image Files (*.bmp *.gif *.jpg *.jpeg *.png *.tif *.tiff *.tga *.pcx *.wbmp *.wmf *.emf *.j2k *.jp2 *.jbg "
              "*.j2c *.jpc *.pgx *.pnm *.pgm *.ppm *.ras *.webp *.heic *.heif *.hif *.avif *.jxl)");
    EXPECT_EQ(RasterSaveFilter(),
              "JPEG files (*.jpg *.jpeg);;PNG files (*.png);;GIF files (*.gif);;Bitmap files (*.bmp);;WebP files (*.webp);;"
              "HEIF files (*.heic *.heif *.hif);;AVIF files (*.avif);;JPEG XL files (*.jxl)");
    std::vector<std::string> browsed = RasterBrowsedExtensions();
    std::sort(browsed.begin(), browsed.end());
    EXPECT_EQ(browsed, (std::vector<std::string>{"avif", "bmp", "gif", "heic", "heif", "hif", "jpeg", "jpg", "jxl", "png", "tif",
                                                  "tiff", "webp"}));
}

TEST(RasterFormatTable, EveryListedExtensionLoadsAsItsFormat) {
    // What the dialogs offer and the browser lists is what TypeFromExtension maps.
    for (const RasterFormat& row : RasterFormats()) {
        if (!row.openListAt && !row.browsed && !row.saveListAt) continue;
        for (const char* extension : row.extensions) {
            if (!extension) continue;
            EXPECT_EQ(RasterImage::TypeFromExtension((std::string("x.") + extension).c_str()), row.id);
        }
    }
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Detection without sniffers, as it was before the table: every format in turn, the JPEG 2000
// family as one try (its members are told apart by their signatures, and the file and code
// stream forms by content, so asking for JP2 reads either form).
uint32_t DetectByTryingEveryFormat(std::vector<uint8_t>& bytes, RasterImage& image) {
    const uint32_t order[] = {
        RASTER_FORMAT_BMP, RASTER_FORMAT_JPG, RASTER_FORMAT_ICO, RASTER_FORMAT_GIF, RASTER_FORMAT_PNG,
        RASTER_FORMAT_TIF, RASTER_FORMAT_MNG, RASTER_FORMAT_TGA, RASTER_FORMAT_PCX, RASTER_FORMAT_WBMP,
        RASTER_FORMAT_WMF, RASTER_FORMAT_JBG, RASTER_FORMAT_JP2, RASTER_FORMAT_PGX, RASTER_FORMAT_PNM,
        RASTER_FORMAT_RAS, RASTER_FORMAT_WEBP, RASTER_FORMAT_AVIF, RASTER_FORMAT_HEIF, RASTER_FORMAT_JXL,
        RASTER_FORMAT_SKA, RASTER_FORMAT_RAW,
    };
    for (uint32_t id : order) {
        if (!image.Decode(bytes.data(), uint32_t(bytes.size()), id)) continue;
        // Asked for JP2, the family's reader says JP2 for both forms; found by content, a
        // bare code stream (SOC then SIZ marker) is one.
        const bool codestream = bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0x4F && bytes[2] == 0xFF &&
                                bytes[3] == 0x51;
        return id == RASTER_FORMAT_JP2 && codestream ? uint32_t(RASTER_FORMAT_JPC) : image.GetType();
    }
    return RASTER_FORMAT_UNKNOWN;
}

// Every file at hand, pictures of every format and hostile ones: detection with sniffers
// finds what trying every format in turn finds, so no sniffer rules out data its format reads.
TEST(RasterFormatTable, SniffingDetectionFindsWhatTryingEveryFormatFinds) {
    std::vector<fs::path> files;
    for (const char* folder : {SNIPWELL_FUZZ_SEEDS, SNIPWELL_TEST_DATA, SNIPWELL_CORPUS}) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
            if (entry.is_regular_file() && entry.file_size() > 0 && entry.file_size() <= (8u << 20)) {
                files.push_back(entry.path());
            }
        }
    }
    ASSERT_GT(files.size(), 50u);
    size_t decoded = 0;
    for (const fs::path& path : files) {
        std::vector<uint8_t> bytes = ReadFile(path);
        RasterImage tried;
        const uint32_t expected = DetectByTryingEveryFormat(bytes, tried);
        RasterImage sniffed;
        const bool found = sniffed.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_UNKNOWN);
        EXPECT_EQ(found ? sniffed.GetType() : RASTER_FORMAT_UNKNOWN, expected) << path;
        if (found && expected != RASTER_FORMAT_UNKNOWN) {
            ++decoded;
            EXPECT_TRUE(testsupport::SamePixels(sniffed, tried)) << path;
        }
        // The sniffer of the format found lets the file through.
        if (expected != RASTER_FORMAT_UNKNOWN) {
            const RasterFormat* format = RasterFormatById(expected);
            ASSERT_NE(format, nullptr);
            ASSERT_NE(format->sniff, nullptr) << format->name;
            EXPECT_TRUE(format->sniff(bytes.data(), std::min(bytes.size(), RASTER_SNIFF_BYTES), bytes.size())) << path;
        }
    }
    EXPECT_GT(decoded, 30u);
}

}  // namespace
