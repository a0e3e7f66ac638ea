// The list follows its folder: files added, removed, rewritten and renamed by anyone appear,
// vanish or change in place while the selection stays (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <string>

#include "BrowserTestSupport.h"
#include "browser/FolderChanges.h"
#include "browser/FolderListing.h"
#include "browser/ThumbnailList.h"
#include "TestSupport.h"

using browsertest::ListedNames;
using browsertest::RunEventLoopUntil;
using browsertest::ToQString;
using browsertest::WriteSolidPicture;

namespace {

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;

std::vector<QString> Names(std::initializer_list<const char*> names) {
    std::vector<QString> list;
    for (const char* name : names) list.push_back(QString::fromLatin1(name));
    return list;
}

class ThumbnailListLive : public ::testing::Test {
protected:
    void List(std::initializer_list<const char*> names) {
        for (const char* name : names) WriteSolidPicture(m_dir / name, 120, 90, kGreen, RASTER_FORMAT_PNG);
        m_list.resize(400, 300);
        m_list.SetFolder(ToQString(m_dir.path()));
        browsertest::WaitForScan(m_list);
    }
    bool ListedAs(const std::vector<QString>& names) {
        return RunEventLoopUntil([&] { return ListedNames(m_list) == names; });
    }
    uint32_t CentreOf(const QString& name) const {
        for (int row = 0; row < m_list.count(); ++row) {
            if (m_list.Thumb(row)->m_name == name) return browsertest::CentreColor(m_list.Thumb(row)->m_thumb);
        }
        return 0xFFFFFFFF;
    }

    testsupport::TempDir m_dir;
    testsupport::TempDir m_elsewhere;
    ThumbnailList m_list;
};

}  // namespace

TEST_F(ThumbnailListLive, AddedRemovedRewrittenAndRenamedFilesAreFollowedWithoutLosingTheSelection) {
    List({"a.png", "b.png", "c.png"});
    ASSERT_EQ(ListedNames(m_list), Names({"a.png", "b.png", "c.png"}));
    m_list.setCurrentRow(1);
    browsertest::RunEventLoop(200);   // the open of the selection has gone out
    int opened = 0;
    QObject::connect(&m_list, &ThumbnailList::pictureChosen, [&] { ++opened; });

    WriteSolidPicture(m_dir / "b2.png", 120, 90, kBlue, RASTER_FORMAT_PNG);
    EXPECT_TRUE(ListedAs(Names({"a.png", "b.png", "b2.png", "c.png"}))) << "added in name order";

    std::filesystem::remove(m_dir / "a.png");
    EXPECT_TRUE(ListedAs(Names({"b.png", "b2.png", "c.png"})));

    // Written in place by another program, the same size as before.
    WriteSolidPicture(m_elsewhere / "red.png", 120, 90, kRed, RASTER_FORMAT_PNG);
    testsupport::WriteFileBytes(m_dir / "c.png", testsupport::ReadFileBytes(m_elsewhere / "red.png"));
    EXPECT_TRUE(RunEventLoopUntil([&] { return CentreOf("c.png") == kRed; })) << std::hex << CentreOf("c.png");

    std::filesystem::rename(m_dir / "b.png", m_dir / "d.png");
    EXPECT_TRUE(ListedAs(Names({"b2.png", "c.png", "d.png"})));
    EXPECT_EQ(m_list.CurrentPath(), ToQString(m_dir / "d.png")) << "the selection follows the renamed file";

    // A picture that is no longer readable keeps its cell, which tells why instead.
    testsupport::WriteFileBytes(m_dir / "b2.png", {1, 2, 3});
    EXPECT_TRUE(RunEventLoopUntil([&] { return m_list.TipText(0).startsWith("Could not open b2.png: "); }))
        << m_list.TipText(0).toStdString();
    EXPECT_EQ(ListedNames(m_list), Names({"b2.png", "c.png", "d.png"}));

    browsertest::WaitForScan(m_list);
    EXPECT_EQ(m_list.CurrentPath(), ToQString(m_dir / "d.png"));
    EXPECT_EQ(opened, 0) << "no change of the folder opens a picture";
}

TEST_F(ThumbnailListLive, NamesDifferingOnlyInLetterCaseAreTwoPictures) {
    List({"a.png", "A.PNG"});
    ASSERT_EQ(ListedNames(m_list), Names({"A.PNG", "a.png"}));

    // Delete of the second: the first, sorted ahead of it, keeps its thumbnail.
    std::filesystem::remove(m_dir / "a.png");
    m_list.RemoveFile(ToQString(m_dir / "a.png"));
    EXPECT_EQ(ListedNames(m_list), Names({"A.PNG"}));

    WriteSolidPicture(m_dir / "a.png", 120, 90, kBlue, RASTER_FORMAT_PNG);
    EXPECT_TRUE(ListedAs(Names({"A.PNG", "a.png"})));
    EXPECT_EQ(CentreOf("A.PNG"), kGreen);
    EXPECT_EQ(CentreOf("a.png"), kBlue);

    std::filesystem::remove(m_dir / "A.PNG");
    EXPECT_TRUE(ListedAs(Names({"a.png"})));
}

TEST_F(ThumbnailListLive, FolderFilledWhileItIsListedEndsCompleteAndInNameOrder) {
    List({"p5.png"});
    std::vector<QString> expected;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".png";
        if (i != 5) WriteSolidPicture(m_dir / name, 100, 100, kGreen, RASTER_FORMAT_PNG);
        expected.push_back(QString::fromStdString(name));
        if (i % 4 == 0) QCoreApplication::processEvents();
    }
    std::sort(expected.begin(), expected.end(), thumbs::NaturalLess);
    EXPECT_TRUE(ListedAs(expected));
}

TEST_F(ThumbnailListLive, WrittenFileIsLookedAtAtOnceOnlyWhenItLiesInTheListedFolder) {
    List({"a.png"});
    m_list.FileWritten(ToQString(m_elsewhere / "a.png"));
    EXPECT_FALSE(m_list.IsUpdatePending());
    m_list.FileWritten(ToQString(m_dir / "sub" / ".." / "a.png"));
    EXPECT_TRUE(m_list.IsUpdatePending());
    WriteSolidPicture(m_dir / "saved.png", 100, 100, kGreen, RASTER_FORMAT_PNG);
    m_list.FileWritten(ToQString(m_dir / "saved.png"));
    EXPECT_TRUE(ListedAs(Names({"a.png", "saved.png"})));
}

TEST(FolderChanges, StampsComparedGiveAddedRemovedRewrittenAndRenamedFiles) {
    const FileStamp a{1, 10, 100, 1000};
    const FileStamp b{1, 11, 200, 2000};
    const FileStamp c{1, 12, 300, 3000};
    FileStamp cRewritten = c;
    cRewritten.modifiedNs += 1;
    FileStamp aReplaced = a;   // written beside and renamed over: another file, same content
    aReplaced.inode = 99;
    const struct {
        const char* what;
        thumbs::FolderStamps before;
        thumbs::FolderStamps now;
        QStringList removed;
        std::vector<std::pair<QString, QString>> renamed;
        QStringList changed;
    } cases[] = {
        {"nothing", {{"a", a}}, {{"a", a}}, {}, {}, {}},
        {"added", {{"a", a}}, {{"a", a}, {"b", b}}, {}, {}, {"b"}},
        {"removed", {{"a", a}, {"b", b}}, {{"b", b}}, {"a"}, {}, {}},
        {"rewritten", {{"c", c}}, {{"c", cRewritten}}, {}, {}, {"c"}},
        {"replaced", {{"a", a}}, {{"a", aReplaced}}, {}, {}, {"a"}},
        {"renamed", {{"a", a}, {"b", b}}, {{"z", a}, {"b", b}}, {}, {{"a", "z"}}, {}},
        {"renamed and rewritten", {{"c", c}}, {{"d", cRewritten}}, {"c"}, {}, {"d"}},
        {"swapped", {{"a", a}, {"b", b}}, {{"a", b}, {"b", a}}, {}, {}, {"a", "b"}},
        {"natural order", {}, {{"x10", a}, {"x9", b}, {"x100", c}}, {}, {}, {"x9", "x10", "x100"}},
    };
    for (const auto& test : cases) {
        const thumbs::FolderChanges changes = thumbs::CompareStamps(test.before, test.now);
        EXPECT_EQ(changes.removed, test.removed) << test.what;
        EXPECT_EQ(changes.renamed, test.renamed) << test.what;
        EXPECT_EQ(changes.changed, test.changed) << test.what;
    }
}
