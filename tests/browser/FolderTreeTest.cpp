// The folder tree's model: places at the top, folders listed on demand on threads of their own,
// arrows only where there are subfolders, paths found under the first place that holds them,
// volumes that come and go.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

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
    // Places are listed as soon as they are shown.
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.rowCount(home) == 2; }))
        << "hidden folders are left out";
    EXPECT_FALSE(m_model.canFetchMore(home));
    const QModelIndex empty = m_model.index(0, 0, home);
    const QModelIndex photos = m_model.index(1, 0, home);
    EXPECT_EQ(m_model.PathOf(empty), Path("home/empty"));
    EXPECT_FALSE(m_model.hasChildren(empty)) << "a folder with only files has no arrow";
    EXPECT_TRUE(m_model.hasChildren(photos));
    EXPECT_EQ(m_model.parent(photos), home);
    EXPECT_FALSE(m_model.data(photos, Qt::DecorationRole).isNull());
    // A folder below a place is listed when it is expanded.
    ASSERT_TRUE(m_model.canFetchMore(photos));
    m_model.fetchMore(photos);
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.rowCount(photos) == 1; }));
    EXPECT_EQ(m_model.PathOf(m_model.index(0, 0, photos)), Path("home/photos/2024"));
    EXPECT_FALSE(m_model.hasChildren(m_model.index(0, 0, photos)));
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

namespace {

// The tree shown in a view that it follows, Home listed and photos expanded.
class FolderTreeOnDisk : public FolderTree {
protected:
    void SetUp() override {
        FolderTree::SetUp();
        m_view.setModel(&m_model);
        m_model.FollowView(&m_view);
        ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.rowCount(Home()) == 2; }));
        m_photos = m_model.index(1, 0, Home());
        m_view.expand(m_photos);
        ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.rowCount(m_photos) == 1; }));
    }
    QModelIndex Home() const { return m_model.index(0, 0); }
    // Home's subfolders, as the tree shows them.
    QStringList Names(const QModelIndex& parent) const {
        QStringList names;
        for (int row = 0; row < m_model.rowCount(parent); ++row) names << m_model.index(row, 0, parent).data().toString();
        return names;
    }
    bool ShowsWithin2s(const QModelIndex& parent, const QStringList& names) {
        return browsertest::RunEventLoopUntil([&] { return Names(parent) == names; }, 2000);
    }

    QTreeView m_view;
    QPersistentModelIndex m_photos;
};

}  // namespace

// Folders made, renamed and removed on disk appear, change and go in the tree; what is expanded
// and selected elsewhere stays.
TEST_F(FolderTreeOnDisk, FoldersMadeRenamedAndRemovedOnDiskFollowInTheTree) {
    const QPersistentModelIndex year(m_model.index(0, 0, m_photos));
    m_view.setCurrentIndex(year);

    std::filesystem::create_directory(m_dir / "home/2026-12-10");
    EXPECT_TRUE(ShowsWithin2s(Home(), {"2026-12-10", "empty", "photos"}));
    std::filesystem::rename(m_dir / "home/empty", m_dir / "home/zebra");
    EXPECT_TRUE(ShowsWithin2s(Home(), {"2026-12-10", "photos", "zebra"}));
    std::filesystem::remove(m_dir / "home/2026-12-10");
    EXPECT_TRUE(ShowsWithin2s(Home(), {"photos", "zebra"}));
    std::filesystem::create_directory(m_dir / "home/photos/2025");
    EXPECT_TRUE(ShowsWithin2s(m_photos, {"2024", "2025"}));
    std::filesystem::create_directory(m_dir / "home/.cache");
    std::filesystem::create_directory(m_dir / "home/zebra/inner");
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.hasChildren(m_model.index(1, 0, Home())); }, 2000))
        << "a folder that gains a subfolder gains its arrow";
    EXPECT_EQ(Names(Home()), QStringList({"photos", "zebra"})) << "hidden folders stay out";

    EXPECT_TRUE(m_view.isExpanded(m_photos));
    EXPECT_EQ(m_view.currentIndex(), QModelIndex(year));
    EXPECT_EQ(m_model.PathOf(year), Path("home/photos/2024"));
}

// A collapsed folder lets go of its watch; expanded again, it shows what changed meanwhile.
TEST_F(FolderTreeOnDisk, ACollapsedFolderIsReleasedAndListedAgainWhenExpanded) {
    EXPECT_TRUE(m_model.IsWatched(m_photos));
    m_view.collapse(m_photos);
    EXPECT_FALSE(m_model.IsWatched(m_photos));
    m_view.collapse(Home());
    EXPECT_TRUE(m_model.IsWatched(Home())) << "places stay watched";

    std::filesystem::create_directory(m_dir / "home/photos/2023");
    m_view.expand(m_photos);
    EXPECT_TRUE(m_model.IsWatched(m_photos));
    EXPECT_TRUE(ShowsWithin2s(m_photos, {"2023", "2024"}));
}

// The shown folder, collapsed, gains its arrow when a subfolder is made in it, and lets go of
// its watch once another folder is shown.
TEST_F(FolderTreeOnDisk, TheShownFolderGainsItsArrowWhenASubfolderIsMadeInIt) {
    const QPersistentModelIndex year(m_model.index(0, 0, m_photos));
    m_view.setCurrentIndex(year);
    EXPECT_TRUE(m_model.IsWatched(year));
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return !m_model.IsListing(); }, 2000));
    EXPECT_FALSE(m_model.hasChildren(year));
    std::filesystem::create_directory(m_dir / "home/photos/2024/march");
    EXPECT_TRUE(browsertest::RunEventLoopUntil([&] { return m_model.hasChildren(year); }, 2000));
    m_view.expand(year);
    m_view.collapse(year);
    EXPECT_TRUE(m_model.IsWatched(year)) << "the current folder keeps its watch";
    m_view.setCurrentIndex(m_photos);
    EXPECT_FALSE(m_model.IsWatched(year));
    EXPECT_TRUE(m_model.IsWatched(m_photos));
}

// The shown folder removed from under the program: its nearest remaining parent is shown.
TEST_F(FolderTreeOnDisk, TheShownFolderRemovedSelectsItsNearestParent) {
    m_view.setCurrentIndex(m_model.index(0, 0, m_photos));
    std::filesystem::remove_all(m_dir / "home/photos");
    ASSERT_TRUE(ShowsWithin2s(Home(), {"empty"}));
    EXPECT_EQ(m_view.currentIndex(), Home());
}

namespace {

// A lister that holds every listing until it is opened (or five seconds pass), as a hung
// network share would.
class HeldLister {
public:
    FolderTreeModel::Lister Lister() {
        return [this](const QString& folder) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_opened.wait_for(lock, std::chrono::seconds(5), [this] { return m_open; });
            ++m_listed;
            return thumbs::ReadSubfolders(folder);
        };
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    int Listed() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listed;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
    int m_listed = 0;
};

}  // namespace

// Expanding a folder whose volume does not answer returns at once; its subfolders appear once
// the listing is done, and the place keeps its arrow meanwhile.
TEST(FolderTreeListing, AFolderThatTakesLongToListDoesNotHoldUpTheWindow) {
    testsupport::TempDir dir;
    for (const char* folder : {"slow/a", "slow/b"}) std::filesystem::create_directories(dir / folder);
    HeldLister held;
    FolderTreeModel model(nullptr, held.Lister());
    QElapsedTimer clock;
    clock.start();
    model.SetPlaces({{"Slow", ToQString(dir / "slow"), "drive-removable-media"}});
    const QModelIndex place = model.index(0, 0);
    model.fetchMore(place);
    EXPECT_LT(clock.elapsed(), 2000) << "nothing waited for the listing";
    EXPECT_TRUE(model.hasChildren(place));
    EXPECT_EQ(model.rowCount(place), 0);
    EXPECT_TRUE(model.IsListing());
    held.Open();
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return model.rowCount(place) == 2; }));
    EXPECT_EQ(held.Listed(), 1) << "the place is listed once, not again for its expansion";
    EXPECT_EQ(model.PathOf(model.index(1, 0, place)), ToQString(dir / "slow/b"));
}

// A model gone before its listings end is not reached by them.
TEST(FolderTreeListing, ListingsThatEndAfterTheModelIsGoneGoNowhere) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "slow/a");
    HeldLister held;
    auto model = std::make_unique<FolderTreeModel>(nullptr, held.Lister());
    model->SetPlaces({{"Slow", ToQString(dir / "slow"), "drive-removable-media"}});
    model.reset();
    held.Open();
    ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return held.Listed() == 1; }));
    // The listing's result, had it been posted, would arrive now.
    browsertest::RunEventLoopUntil([] { return false; }, 100);
}
