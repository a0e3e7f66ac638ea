// The box a photo keeps in its XMP sidecar: written, merged, read back by exiftool and read from
// what exiftool wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "TestSupport.h"
#include "image/metadata/CropSidecar.h"

namespace {

KeptCrop OwnCrop() {
    KeptCrop crop;
    crop.left = 0.125;
    crop.top = 0.0625;
    crop.right = 0.8751234567;
    crop.bottom = 1.0;
    crop.angle = -3.2;
    crop.ownFields = true;
    crop.shape = 2;
    crop.preset = 32790;
    crop.border = 32801;
    crop.placedWidth = 4032;
    crop.placedHeight = 3024;
    return crop;
}

void ExpectSame(const KeptCrop& a, const KeptCrop& b) {
    EXPECT_NEAR(a.left, b.left, 5e-7);
    EXPECT_NEAR(a.top, b.top, 5e-7);
    EXPECT_NEAR(a.right, b.right, 5e-7);
    EXPECT_NEAR(a.bottom, b.bottom, 5e-7);
    EXPECT_NEAR(a.angle, b.angle, 5e-7);
    EXPECT_EQ(a.ownFields, b.ownFields);
    EXPECT_EQ(a.shape, b.shape);
    EXPECT_EQ(a.preset, b.preset);
    EXPECT_EQ(a.border, b.border);
    EXPECT_EQ(a.placedWidth, b.placedWidth);
    EXPECT_EQ(a.placedHeight, b.placedHeight);
}

bool HaveExiftool() { return std::system("command -v exiftool >/dev/null 2>&1") == 0; }

// What exiftool prints for one tag of a file (-s3: the value only).
std::string ExiftoolValue(const std::string& path, const std::string& tag) {
    const std::string out = path + ".value";
    const std::string command = "exiftool -s3 -" + tag + " '" + path + "' > '" + out + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return "<failed>";
    std::ifstream in(out);
    std::string value((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

TEST(CropSidecar, PacketsKeepTheCropAndEverythingElseInThem) {
    std::string packet;
    ASSERT_TRUE(WriteKeptCrop(packet, OwnCrop()));
    const std::optional<KeptCrop> read = ReadKeptCrop(packet);
    ASSERT_TRUE(read.has_value());
    ExpectSame(*read, OwnCrop());
    // Six decimals, as Camera Raw writes them.
    EXPECT_NE(packet.find("0.875123"), std::string::npos) << packet;
    // Another crop merged in replaces it; taking it out leaves nothing.
    KeptCrop free = OwnCrop();
    free.ownFields = false;
    ASSERT_TRUE(WriteKeptCrop(packet, free));
    const std::optional<KeptCrop> freeRead = ReadKeptCrop(packet);
    ASSERT_TRUE(freeRead.has_value());
    EXPECT_FALSE(freeRead->ownFields);
    EXPECT_EQ(freeRead->preset, 0u);
    ASSERT_TRUE(RemoveKeptCrop(packet));
    EXPECT_TRUE(packet.empty());
    EXPECT_FALSE(ReadKeptCrop(packet).has_value());
}

TEST(CropSidecar, DamagedOrHostilePacketsGiveNoCropAndAReason) {
    const struct {
        const char* packet;
        bool error;
    } cases[] = {
        {"not xml at all <<<", true},
        {"<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
         "<rdf:Description xmlns:crs='http://ns.adobe.com/camera-raw-settings/1.0/' crs:HasCrop='True' "
         "crs:CropLeft='0.9' crs:CropTop='0' crs:CropRight='0.2' crs:CropBottom='1'/></rdf:RDF></x:xmpmeta>",
         true},
        {"<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
         "<rdf:Description xmlns:crs='http://ns.adobe.com/camera-raw-settings/1.0/' crs:HasCrop='True' "
         "crs:CropLeft='nan' crs:CropTop='0' crs:CropRight='1' crs:CropBottom='1'/></rdf:RDF></x:xmpmeta>",
         true},
        {"<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
         "<rdf:Description xmlns:crs='http://ns.adobe.com/camera-raw-settings/1.0/' crs:HasCrop='False' "
         "crs:CropLeft='0.1' crs:CropTop='0' crs:CropRight='1' crs:CropBottom='1'/></rdf:RDF></x:xmpmeta>",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packet);
        std::string error;
        EXPECT_FALSE(ReadKeptCrop(c.packet, &error).has_value());
        EXPECT_EQ(!error.empty(), c.error) << error;
    }
    std::string broken = "not xml at all <<<";
    EXPECT_FALSE(WriteKeptCrop(broken, OwnCrop()));
    EXPECT_EQ(broken, "not xml at all <<<");
}

TEST(CropSidecar, ReadsWhatExiftoolWritesAndExiftoolReadsWhatItWritesKeepingOtherFields) {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    testsupport::TempDir dir;
    const std::string photo = (dir / "IMG_0001.jpg").string();
    // Another tool's sidecar, NAME.xmp, with a crop and a keyword.
    const std::string tool = (dir / "IMG_0001.xmp").string();
    const std::string make = "exiftool -q -o '" + tool +
                             "' -XMP-crs:HasCrop=True -XMP-crs:CropLeft=0.1 -XMP-crs:CropTop=0.2 "
                             "-XMP-crs:CropRight=0.9 -XMP-crs:CropBottom=0.7 -XMP-crs:CropAngle=1.5 "
                             "-XMP-dc:Subject=holiday >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::string error;
    const std::optional<KeptCrop> found = ReadSidecarCrop(photo, &error);
    ASSERT_TRUE(found.has_value()) << error;
    EXPECT_FALSE(found->ownFields);
    EXPECT_NEAR(found->left, 0.1, 1e-9);
    EXPECT_NEAR(found->bottom, 0.7, 1e-9);
    EXPECT_NEAR(found->angle, 1.5, 1e-9);

    ASSERT_TRUE(WriteSidecarCrop(photo, OwnCrop(), &error)) << error;
    const std::string own = SidecarPathOf(photo);
    EXPECT_EQ(ExiftoolValue(own, "XMP-crs:CropLeft"), "0.125000");
    EXPECT_EQ(ExiftoolValue(own, "XMP-crs:CropRight"), "0.875123");
    EXPECT_EQ(ExiftoolValue(own, "XMP-crs:HasCrop"), "True");
    EXPECT_EQ(ExiftoolValue(own, "XMP-dc:Subject"), "holiday");   // merged, not replaced
    const std::optional<KeptCrop> back = ReadSidecarCrop(photo, &error);
    ASSERT_TRUE(back.has_value()) << error;
    ExpectSame(*back, OwnCrop());

    // exiftool changes a field of ours; we read its change.
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -XMP-crs:CropTop=0.25 '" + own + "' >/dev/null 2>&1").c_str()), 0);
    EXPECT_NEAR(ReadSidecarCrop(photo)->top, 0.25, 1e-9);

    // Taking the crop out keeps the keyword; the other tool's sidecar is never touched.
    ASSERT_TRUE(RemoveSidecarCrop(photo, &error)) << error;
    EXPECT_EQ(ExiftoolValue(own, "XMP-dc:Subject"), "holiday");
    EXPECT_EQ(ExiftoolValue(own, "XMP-crs:HasCrop"), "");
    EXPECT_EQ(ExiftoolValue(tool, "XMP-crs:CropLeft"), "0.1");
}

}  // namespace
