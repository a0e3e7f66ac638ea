// The folder tree's model: places at the top, folders listed on demand, arrows only where
// there are subfolders, paths found under the first place that holds them, volumes that come
// and go.
#include <gtest/gtest.h>

#include <QDir>

#include "BrowserTestSupport.h"
#include "browser/FolderTreeModel.h"
#include "TestSupport.h"

using browsertest::ToQString;

namespace {

class FolderTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"home/photos/2024", "home/empty", "home/.hidden/inner", "card/DCIM"}) {
            std::filesystem::create_directories(m_dir / folder);
        }
        browsertest::WriteSolidPicture(m_dir / "home" / "empty" / "a.png", 100, 100, 0x00FF00, RASTER_FORMAT_PNG);
        m_model.SetPlaces({Place("Home", "home"), Place("Card", "card"), {"File System", "/", "drive-harddisk"}});
    }
    places::Place Place(const char* name, const char* folder) const {
        return {name, ToQString(m_dir / folder), "user-home"};
    }
    QString Path(const char* relative) const { return ToQString(m_dir / relative); }

    testsupport::TempDir m_dir;
    FolderTreeModel m_model;
};

}  // namespace

TEST_F(FolderTree, PlacesComeFirstAndFoldersShowAnArrowOnlyWithSubfolders) {
    ASSERT_EQ(m_model.rowCount(), 3);
    EXPECT_EQ(m_model.data(m_model.index(0, 0)).toString(), "Home");
    EXPECT_EQ(m_model.PathOf(m_model.index(2, 0)), "/");
    EXPECT_FALSE(m_model.data(m_model.index(0, 0), Qt::DecorationRole).isNull());

    const QModelIndex home = m_model.index(0, 0);
    EXPECT_TRUE(m_model.hasChildren(home));
    ASSERT_TRUE(m_model.canFetchMore(home));
    m_model.fetchMore(home);
    ASSERT_EQ(m_model.rowCount(home), 2) << "hidden folders are left out";
    const QModelIndex empty = m_model.index(0, 0, home);
    const QModelIndex photos = m_model.index(1, 0, home);
    EXPECT_EQ(m_model.PathOf(empty), Path("home/empty"));
    EXPECT_FALSE(m_model.hasChildren(empty)) << "a folder with only files has no arrow";
    EXPECT_TRUE(m_model.hasChildren(photos));
    EXPECT_EQ(m_model.parent(photos), home);
    EXPECT_FALSE(m_model.data(photos, Qt::DecorationRole).isNull());
}

TEST_F(FolderTree, PathIsFoundUnderTheFirstPlaceThatHoldsIt) {
    const QModelIndex found = m_model.IndexOf(Path("home/photos/2024"));
    ASSERT_TRUE(found.isValid());
    EXPECT_EQ(m_model.PathOf(found), Path("home/photos/2024"));
    EXPECT_EQ(m_model.parent(m_model.parent(found)), m_model.index(0, 0)) << "under Home, not File System";

    const QModelIndex outside = m_model.IndexOf(ToQString(m_dir.path()));
    ASSERT_TRUE(outside.isValid());
    QModelIndex top = outside;
    while (top.parent().isValid()) top = top.parent();
    EXPECT_EQ(m_model.PathOf(top), "/");

    EXPECT_FALSE(m_model.IndexOf(Path("home/.hidden/inner")).isValid());
    EXPECT_FALSE(m_model.IndexOf(Path("home/gone")).isValid());
}

TEST_F(FolderTree, VolumesThatComeAndGoAreInsertedAndRemovedKeepingTheOtherPlaces) {
    const QModelIndex photos = m_model.IndexOf(Path("home/photos"));
    const QPersistentModelIndex kept(photos);
    m_model.SetPlaces({Place("Home", "home"), {"File System", "/", "drive-harddisk"}});
    ASSERT_EQ(m_model.rowCount(), 2);
    EXPECT_EQ(m_model.data(m_model.index(1, 0)).toString(), "File System");
    EXPECT_TRUE(kept.isValid()) << "what is expanded under Home stays";
    EXPECT_EQ(m_model.PathOf(kept), Path("home/photos"));

    m_model.SetPlaces({Place("Home", "home"), Place("Stick", "card"), {"File System", "/", "drive-harddisk"}});
    ASSERT_EQ(m_model.rowCount(), 3);
    EXPECT_EQ(m_model.data(m_model.index(1, 0)).toString(), "Stick");
    EXPECT_EQ(m_model.PathOf(m_model.IndexOf(Path("card/DCIM"))), Path("card/DCIM"));
}
