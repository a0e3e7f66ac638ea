// snipwell-cli's "sheet" and "contact": mistakes refused before anything is written, each
// with its own words; the photos that cannot be printed named, the rest printed; a soft
// print named; the PDF's pages as the packing says.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/CommandIds.h"

#include "image/RasterImage.h"
#include "image/metadata/CropSidecar.h"

#include "CliRun.h"
#include "PdfMeasure.h"
#include "TestSupport.h"

namespace {

using testsupport::RunCli;
using testsupport::TempDir;

std::string SavedPhoto(const TempDir& dir, const std::string& name, uint32_t width, uint32_t height) {
    const std::string path = (dir / name).string();
    EXPECT_TRUE(testsupport::MakeSolidImage(width, height, 0x336699).Save(path.c_str(), RASTER_FORMAT_PNG));
    return path;
}

TEST(SheetCommandTest, MistakesAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const std::string photo = SavedPhoto(dir, "photo.png", 60, 40);
    const std::string out = (dir / "out.pdf").string();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"sheet", out, photo}, "--paper"},
        {{"sheet", "--paper", "b5", out, photo}, "'b5'"},
        {{"sheet", "--paper", "a4", "--size", "6x5", out, photo}, "'6x5'"},
        {{"sheet", "--paper", "a4", "--size", "Free", out, photo}, "'Free'"},
        {{"sheet", "--paper", "a4", "--gap", "-1", out, photo}, "'-1'"},
        {{"sheet", "--paper", "a4", out}, "no photo"},
        {{"sheet", "--paper", "a4"}, "no output"},
        {{"sheet", "--paper", "a4", photo, out}, ".pdf"},
        {{"sheet", "--paper", "a4", (dir / "none" / "out.pdf").string(), photo}, "does not exist"},
        {{"sheet", "--paper", "a4", "--columns", "2", out, photo}, "--columns"},
        {{"sheet", "--paper", "a4", out, (dir / "gone.png").string()}, "no photo can be printed"},
        {{"contact", "--columns", "0", out, photo}, "'0'"},
        {{"contact", "--marks", out, photo}, "--marks"},
        {{"contact", out, (dir / "gone.png").string()}, "none of the photos"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "] ";
        const testsupport::RunResult r = RunCli(dir, c.args);
        EXPECT_EQ(r.exitCode, 1) << shown;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << shown << " stderr: " << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_FALSE(std::filesystem::exists(out)) << shown;
    }
}

TEST(SheetCommandTest, PrintsWhatItCanAndNamesTheRest) {
    if (const std::string missing = pdfmeasure::MissingTools(); !missing.empty()) GTEST_SKIP() << missing;
    TempDir dir;
    // Three sharp 6x4 prints by --size, one soft one: two sheets of A4.
    std::vector<std::string> photos;
    for (const char* name : {"a.png", "b.png", "c.png"}) photos.push_back(SavedPhoto(dir, name, 1800, 1200));
    photos.push_back(SavedPhoto(dir, "soft.png", 600, 400));
    photos.push_back((dir / "gone.png").string());
    const std::string out = (dir / "sheets.pdf").string();
    std::vector<std::string> args = {"sheet", "--paper", "a4", "--size", "6x4", "--marks", out};
    args.insert(args.end(), photos.begin(), photos.end());
    testsupport::RunResult r = RunCli(dir, args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("gone.png: not printed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("soft.png prints at 100 dpi"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("4 prints on 2 sheets"), std::string::npos) << r.out;
    // The PDF's page box is in whole points: within half a point.
    pdfmeasure::PdfFacts facts = pdfmeasure::ReadFacts(QString::fromStdString(out));
    EXPECT_EQ(facts.pages, 2);
    EXPECT_NEAR(facts.pageWidth, 210.0 * pdfmeasure::kPointsPerMm, 0.5);
    EXPECT_EQ(facts.images.size(), 4);

    // Letter, the contact sheet of the same photos.
    const std::string contact = (dir / "contact.pdf").string();
    r = RunCli(dir, {"contact", "--columns", "3", "--date", "--size", "--paper", "letter", contact, photos[0], photos[3]});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    facts = pdfmeasure::ReadFacts(QString::fromStdString(contact));
    EXPECT_EQ(facts.pages, 1);
    EXPECT_NEAR(facts.pageWidth, 612, 0.5);
    EXPECT_NEAR(facts.pageHeight, 792, 0.5);
}

}  // namespace
