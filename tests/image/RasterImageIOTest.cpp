// Format ids from file names, loading with a given format or by content, Decode / Encode
// dispatch, and saving that never damages the file it replaces.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes EncodeBmp(RasterImage& image) {
    RasterMemFile file;
    EXPECT_TRUE(file.Open());
    EXPECT_TRUE(image.Encode(&file, RASTER_FORMAT_BMP)) << image.LastErrorText();
    return Bytes(file.GetBuffer(), file.GetBuffer() + file.Size());
}

// Names in a folder, sorted.
std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Not a picture in any format: no signature, and bytes that no header accepts.
const Bytes kNotAPicture = {'T', 'h', 'i', 's', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ', 'a', ' ',
                            'p', 'i', 'c', 't', 'u', 'r', 'e', '.', '\n'};

// ---- TypeFromExtension ---------------------------------------------------------------------

TEST(TypeFromExtension, TakesTheTextAfterTheLastDot) {
    EXPECT_EQ(RasterImage::TypeFromExtension("/home/ann/trip.2024/IMG_0001.JPEG"), uint32_t(RASTER_FORMAT_JPG));
    EXPECT_EQ(RasterImage::TypeFromExtension("photo.tif"), uint32_t(RASTER_FORMAT_TIF));
    EXPECT_EQ(RasterImage::TypeFromExtension("archive.tar.png"), uint32_t(RASTER_FORMAT_PNG));
    EXPECT_EQ(RasterImage::TypeFromExtension("photo.jpe"), uint32_t(RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RasterImage::TypeFromExtension("/pictures/photo"), uint32_t(RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RasterImage::TypeFromExtension("/pictures.bmp/photo"), uint32_t(RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RasterImage::TypeFromExtension("photo."), uint32_t(RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RasterImage::TypeFromExtension(""), uint32_t(RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RasterImage::TypeFromExtension(nullptr), uint32_t(RASTER_FORMAT_UNKNOWN));
}

TEST(TypeFromExtension, KnowsEveryExtensionInAnyCase) {
    const std::pair<const char*, uint32_t> table[] = {
        {"bmp", RASTER_FORMAT_BMP},  {"jpg", RASTER_FORMAT_JPG},  {"jpeg", RASTER_FORMAT_JPG},
        {"gif", RASTER_FORMAT_GIF},  {"png", RASTER_FORMAT_PNG},  {"mng", RASTER_FORMAT_MNG},
        {"jng", RASTER_FORMAT_MNG},  {"ico", RASTER_FORMAT_ICO},  {"tiff", RASTER_FORMAT_TIF},
        {"tif", RASTER_FORMAT_TIF},  {"tga", RASTER_FORMAT_TGA},  {"pcx", RASTER_FORMAT_PCX},
        {"wbmp", RASTER_FORMAT_WBMP}, {"wmf", RASTER_FORMAT_WMF}, {"emf", RASTER_FORMAT_WMF},
        {"jbg", RASTER_FORMAT_JBG},  {"jp2", RASTER_FORMAT_JP2},  {"j2k", RASTER_FORMAT_JP2},
        {"jpc", RASTER_FORMAT_JPC},  {"j2c", RASTER_FORMAT_JPC},  {"pgx", RASTER_FORMAT_PGX},
        {"ras", RASTER_FORMAT_RAS},  {"pnm", RASTER_FORMAT_PNM},  {"pgm", RASTER_FORMAT_PNM},
        {"ppm", RASTER_FORMAT_PNM},
    };
    for (const auto& [extension, type] : table) {
        std::string lower = std::string("a.") + extension;
        std::string upper = lower;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(RasterImage::TypeFromExtension(lower.c_str()), type) << lower;
        EXPECT_EQ(RasterImage::TypeFromExtension(upper.c_str()), type) << upper;
    }
    // No extension leads to SKA or camera raw.
    for (const char* name : {"a.ska", "a.raw", "a.cr2", "a.nef"}) {
        EXPECT_EQ(RasterImage::TypeFromExtension(name), uint32_t(RASTER_FORMAT_UNKNOWN)) << name;
    }
}

// ---- Load ----------------------------------------------------------------------------------

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_picture = testsupport::MakePatternImage(7, 5, 24);
        m_bmp = EncodeBmp(m_picture);
    }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = m_dir / name;
        testsupport::WriteFileBytes(path, bytes);
        return path;
    }

    testsupport::TempDir m_dir;
    RasterImage m_picture;
    Bytes m_bmp;
};

TEST_F(LoadTest, GivenTypeDecodesWithThatFormat) {
    const fs::path path = Write("pic.bmp", m_bmp);
    RasterImage image;
    ASSERT_TRUE(image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str()))) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_BMP));
    EXPECT_TRUE(testsupport::SamePixels(image, m_picture));

    RasterImage constructed(path.c_str(), RASTER_FORMAT_BMP);
    EXPECT_TRUE(testsupport::SamePixels(constructed, m_picture));
}

TEST_F(LoadTest, UnknownExtensionLoadsByContent) {
    const fs::path path = Write("pic.xyz", m_bmp);
    RasterImage image;
    ASSERT_TRUE(image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str()))) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_BMP));
    EXPECT_TRUE(testsupport::SamePixels(image, m_picture));
}

TEST_F(LoadTest, ContentNotMatchingAKnownExtensionFailsWithoutDetectionAndKeepsThePicture) {
    for (const char* name : {"pic.png", "pic.jpg", "pic.gif"}) {
        SCOPED_TRACE(name);
        const fs::path path = Write(name, m_bmp);
        RasterImage image = testsupport::MakeSolidImage(2, 3, RasterRgb(1, 2, 3));
        EXPECT_FALSE(image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str())));
        EXPECT_STRNE(image.LastErrorText(), "");
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 2u);
        EXPECT_EQ(testsupport::PictureColor(image, 1, 1), RasterRgb(1, 2, 3));
    }
}

TEST_F(LoadTest, NonPictureFailsDetection) {
    const fs::path path = Write("notes.txt", kNotAPicture);
    RasterImage image;
    EXPECT_FALSE(image.Load(path.c_str(), RASTER_FORMAT_UNKNOWN));
    EXPECT_STREQ(image.LastErrorText(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(image.IsValid());
}

TEST_F(LoadTest, UnsupportedTypeDetectsButKeepsTheEarlierErrorWhenDetectionFails) {
    const fs::path good = Write("pic.dat", m_bmp);
    const fs::path bad = Write("notes.dat", kNotAPicture);
    RasterImage image;
    EXPECT_TRUE(image.Load(good.c_str(), 99));
    image.SetLastError("earlier");
    EXPECT_FALSE(image.Load(bad.c_str(), 99));
    EXPECT_STREQ(image.LastErrorText(), "earlier");
}

TEST_F(LoadTest, AFileThatCannotBeOpenedSaysWhy) {
    RasterImage image;
    for (const char* name : {"missing.bmp", "missing.xyz"}) {
        image.SetLastError("earlier");
        EXPECT_FALSE(image.Load((m_dir / name).c_str(), RasterImage::TypeFromExtension(name)));
        EXPECT_STREQ(image.LastErrorText(), "No such file or directory") << name;
    }
    image.SetLastError("earlier");
    EXPECT_FALSE(image.Load(nullptr, RASTER_FORMAT_BMP));
    EXPECT_STREQ(image.LastErrorText(), "earlier");
}

// ---- Decode and Encode dispatch ------------------------------------------------------------

TEST(DecodeDispatch, NullStreamsAndUnknownTypes) {
    RasterImage image;
    EXPECT_FALSE(image.Decode(nullptr, RASTER_FORMAT_BMP));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
    EXPECT_FALSE(image.Decode(nullptr, 0, RASTER_FORMAT_BMP));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");

    RasterImage picture = testsupport::MakePatternImage(3, 3, 8);
    Bytes bmp = EncodeBmp(picture);
    EXPECT_FALSE(image.Decode(bmp.data(), uint32_t(bmp.size()), RASTER_FORMAT_LAST + 1));
    EXPECT_STREQ(image.LastErrorText(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(image.IsValid());
}

TEST(DecodeDispatch, DetectionStartsAtTheStreamPosition) {
    RasterImage picture = testsupport::MakePatternImage(4, 4, 4);
    Bytes data = kNotAPicture;
    const Bytes bmp = EncodeBmp(picture);
    data.insert(data.end(), bmp.begin(), bmp.end());
    RasterMemFile file(data.data(), uint32_t(data.size()));
    ASSERT_TRUE(file.Seek(int64_t(kNotAPicture.size()), RASTER_SEEK_SET));
    RasterImage image;
    ASSERT_TRUE(image.Decode(&file, RASTER_FORMAT_UNKNOWN)) << image.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(DecodeDispatch, OptionsTravelIntoTheDecodedPictureButNotTheOldPicturesTransparency) {
    RasterImage picture = testsupport::MakePatternImage(2, 2, 8);
    Bytes bmp = EncodeBmp(picture);
    RasterImage image = testsupport::MakePatternImage(3, 3, 8);
    image.SetJpegQuality(55);
    image.SetCodecOption(RASTER_FORMAT_JPG, 0x1234);
    image.SetTransparentIndex(0);
    image.SetTransparentColor(RasterRgbQuad{1, 2, 3, 0});
    image.SetPaletteAlphaEnabled(true);
    image.SetLastError("earlier");
    ASSERT_TRUE(image.Decode(bmp.data(), uint32_t(bmp.size()), RASTER_FORMAT_BMP));
    EXPECT_EQ(image.GetJpegQuality(), 55.0f);
    EXPECT_EQ(image.GetCodecOption(RASTER_FORMAT_JPG), 0x1234u);
    EXPECT_FALSE(image.IsTransparent());
    EXPECT_EQ(image.GetTransparentColor().rgbRed, 0);
    EXPECT_FALSE(image.IsPaletteAlphaEnabled());
    EXPECT_STREQ(image.LastErrorText(), "");
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(DecodeDispatch, BorrowedViewCannotReceiveAPictureAndSaysSo) {
    RasterImage owner = testsupport::MakePatternImage(3, 2, 24);
    RasterImage other = testsupport::MakePatternImage(5, 5, 8);
    Bytes bmp = EncodeBmp(other);
    RasterImage view;
    view.MakeBorrowedView(owner);
    for (uint32_t type : {uint32_t(RASTER_FORMAT_BMP), uint32_t(RASTER_FORMAT_UNKNOWN)}) {
        EXPECT_FALSE(view.Decode(bmp.data(), uint32_t(bmp.size()), type));
        EXPECT_STREQ(view.LastErrorText(), "Decode: the image only views another image");
    }
    EXPECT_EQ(view.GetBlock(), owner.GetBlock());
    EXPECT_TRUE(testsupport::SamePixels(view, owner));
}

TEST(DecodeDispatch, PictureFromAMemoryResource) {
    RasterImage picture = testsupport::MakePatternImage(9, 2, 24);
    const Bytes resource = EncodeBmp(picture);
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    ASSERT_EQ(file.Write(resource.data(), 1, resource.size()), resource.size());
    ASSERT_TRUE(file.Seek(0, RASTER_SEEK_SET));
    RasterImage image;
    ASSERT_TRUE(image.Decode(&file, RASTER_FORMAT_BMP)) << image.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(EncodeDispatch, RefusesMissingStreamEmptyImageAndUnknownFormat) {
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    RasterImage picture = testsupport::MakePatternImage(2, 2, 24);
    EXPECT_FALSE(picture.Encode(nullptr, RASTER_FORMAT_BMP));
    EXPECT_STREQ(picture.LastErrorText(), "null file handler");
    RasterImage empty;
    EXPECT_FALSE(empty.Encode(&file, RASTER_FORMAT_BMP));
    EXPECT_STREQ(empty.LastErrorText(), "null image!!!");
    for (uint32_t type : {0u, RASTER_FORMAT_LAST + 1, 0xFFFFFFFFu}) {
        EXPECT_FALSE(picture.Encode(&file, type));
        EXPECT_STREQ(picture.LastErrorText(), "Encode: Unknown format");
    }
    EXPECT_EQ(file.Size(), 0);
}

// ---- Save ----------------------------------------------------------------------------------

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_picture = testsupport::MakePatternImage(6, 4, 24);
        m_target = m_dir / "photo.bmp";
        m_old = Bytes(3000, 0x42);   // longer than the new file: no old tail may survive
        testsupport::WriteFileBytes(m_target, m_old);
    }

    testsupport::TempDir m_dir;
    RasterImage m_picture;
    fs::path m_target;
    Bytes m_old;
};

TEST_F(SaveTest, WritesExactlyTheEncodedFileAndNothingElse) {
    ASSERT_TRUE(m_picture.Save(m_target.c_str(), RASTER_FORMAT_BMP)) << m_picture.LastErrorText();
    EXPECT_EQ(testsupport::ReadFileBytes(m_target), EncodeBmp(m_picture));
    EXPECT_EQ(Listing(m_dir.path()), std::vector<std::string>{"photo.bmp"});
}

TEST_F(SaveTest, FailingEncodeLeavesTheTargetUnchangedAndNoTemporaryFile) {
    struct Case {
        uint32_t type;
        bool emptyImage;
        const char* error;
    };
    for (const Case& c : {Case{RASTER_FORMAT_UNKNOWN, false, "Encode: Unknown format"},
                          Case{RASTER_FORMAT_BMP, true, "null image!!!"},
                          Case{RASTER_FORMAT_WMF, false, nullptr}}) {
        SCOPED_TRACE(c.type);
        RasterImage empty;
        RasterImage& image = c.emptyImage ? empty : m_picture;
        EXPECT_FALSE(image.Save(m_target.c_str(), c.type));
        if (c.error) {
            EXPECT_STREQ(image.LastErrorText(), c.error);
        } else {
            EXPECT_STRNE(image.LastErrorText(), "");   // the format's own refusal
        }
        EXPECT_EQ(testsupport::ReadFileBytes(m_target), m_old);
        EXPECT_EQ(Listing(m_dir.path()), std::vector<std::string>{"photo.bmp"});
    }
    // A failing save to a new name creates nothing.
    EXPECT_FALSE(m_picture.Save((m_dir / "new.bmp").c_str(), RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(Listing(m_dir.path()), std::vector<std::string>{"photo.bmp"});
}

TEST_F(SaveTest, KeepsThePermissionsOfTheReplacedFile) {
    for (mode_t mode : {mode_t(0640), mode_t(0604), mode_t(0755)}) {
        ASSERT_EQ(chmod(m_target.c_str(), mode), 0);
        ASSERT_TRUE(m_picture.Save(m_target.c_str(), RASTER_FORMAT_BMP)) << m_picture.LastErrorText();
        EXPECT_EQ(ModeOf(m_target), mode);
    }
}

TEST_F(SaveTest, WriteProtectedFileIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write anything";
    ASSERT_EQ(chmod(m_target.c_str(), 0444), 0);
    EXPECT_FALSE(m_picture.Save(m_target.c_str(), RASTER_FORMAT_BMP));
    EXPECT_EQ(testsupport::ReadFileBytes(m_target), m_old);
    EXPECT_EQ(ModeOf(m_target), mode_t(0444));
    EXPECT_EQ(Listing(m_dir.path()), std::vector<std::string>{"photo.bmp"});
}

TEST_F(SaveTest, NewFileGetsTheDefaultPermissions) {
    const fs::path fresh = m_dir / "fresh.bmp";
    ASSERT_TRUE(m_picture.Save(fresh.c_str(), RASTER_FORMAT_BMP)) << m_picture.LastErrorText();
    EXPECT_EQ(ModeOf(fresh), mode_t(0666 & ~CurrentUmask()));
    EXPECT_EQ(testsupport::ReadFileBytes(fresh), EncodeBmp(m_picture));
}

TEST_F(SaveTest, SymbolicLinkKeepsPointingAtTheSavedFile) {
    fs::create_directory(m_dir / "real");
    const fs::path real = m_dir / "real" / "photo.bmp";
    fs::rename(m_target, real);
    fs::create_symlink("real/photo.bmp", m_target);        // relative link
    const fs::path absolute = m_dir / "absolute.bmp";
    fs::create_symlink(real, absolute);
    for (const fs::path& link : {m_target, absolute}) {
        SCOPED_TRACE(link.string());
        ASSERT_TRUE(m_picture.Save(link.c_str(), RASTER_FORMAT_BMP)) << m_picture.LastErrorText();
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(testsupport::ReadFileBytes(real), EncodeBmp(m_picture));
    }
    EXPECT_EQ(Listing(m_dir / "real"), std::vector<std::string>{"photo.bmp"});

    // A link whose file does not exist yet: the file is made where the link points.
    const fs::path dangling = m_dir / "dangling.bmp";
    fs::create_symlink("real/later.bmp", dangling);
    ASSERT_TRUE(m_picture.Save(dangling.c_str(), RASTER_FORMAT_BMP)) << m_picture.LastErrorText();
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "real" / "later.bmp"), EncodeBmp(m_picture));
}

TEST_F(SaveTest, UnwritablePlacesFailCleanly) {
    EXPECT_FALSE(m_picture.Save((m_dir / "no" / "such" / "folder.bmp").c_str(), RASTER_FORMAT_BMP));
    EXPECT_FALSE(m_picture.Save(nullptr, RASTER_FORMAT_BMP));
    EXPECT_FALSE(m_picture.Save("", RASTER_FORMAT_BMP));
    // A folder in the way of the target.
    fs::create_directory(m_dir / "taken.bmp");
    EXPECT_FALSE(m_picture.Save((m_dir / "taken.bmp").c_str(), RASTER_FORMAT_BMP));
    EXPECT_TRUE(fs::is_directory(m_dir / "taken.bmp"));
    EXPECT_EQ(Listing(m_dir.path()), (std::vector<std::string>{"photo.bmp", "taken.bmp"}));
    if (geteuid() != 0) {
        const fs::path locked = m_dir / "locked";
        fs::create_directory(locked);
        ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
        EXPECT_FALSE(m_picture.Save((locked / "photo.bmp").c_str(), RASTER_FORMAT_BMP));
        chmod(locked.c_str(), 0755);
        EXPECT_TRUE(fs::is_empty(locked));
    }
}

}  // namespace
