// Folder watches: what each scope hears, and that they all share one inotify instance (the
// system allows a user only a few), with a folder's watch kept while anyone still holds it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <filesystem>
#include <fstream>
#include <functional>

#include "TestSupport.h"
#include "platform/FolderWatch.h"

namespace {

QString ToQString(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

// The inotify instances this process holds, as the system lists them.
int InotifyDescriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string() == "anon_inode:inotify") ++count;
    }
    return count;
}

// Runs the event loop until happened() or two seconds pass.
bool Within2s(const std::function<bool()>& happened) {
    QElapsedTimer clock;
    clock.start();
    while (!happened() && clock.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return happened();
}

void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

TEST(FolderWatch, ScopesHearTheirEventsThroughOneSharedInstance) {
    testsupport::TempDir dir;
    const int before = InotifyDescriptors();
    int filesHeard = 0;
    int foldersHeard = 0;
    {
        FolderWatch files;
        FolderWatch folders(nullptr, FolderWatch::Scope::Subfolders);
        QObject::connect(&files, &FolderWatch::changed, [&] { ++filesHeard; });
        QObject::connect(&folders, &FolderWatch::changed, [&] { ++foldersHeard; });
        ASSERT_TRUE(files.Watch(ToQString(dir.path())));
        ASSERT_TRUE(folders.Watch(ToQString(dir.path())));
        FolderWatch idle;
        EXPECT_EQ(InotifyDescriptors(), before + 1) << "watchers share one instance";

        std::ofstream(dir / "a.jpg") << "x";
        ASSERT_TRUE(Within2s([&] { return filesHeard > 0; }));
        Settle();
        EXPECT_EQ(foldersHeard, 0) << "a file is no subfolder";

        std::filesystem::create_directory(dir / "2026-12-10");
        ASSERT_TRUE(Within2s([&] { return foldersHeard > 0; }));

        // The folder's watch stays while the other watcher holds it.
        files.Stop();
        filesHeard = foldersHeard = 0;
        std::filesystem::rename(dir / "2026-12-10", dir / "2026-12-11");
        ASSERT_TRUE(Within2s([&] { return foldersHeard > 0; }));
        EXPECT_EQ(filesHeard, 0) << "a stopped watch hears nothing";

        // The watched folder itself going away is heard.
        foldersHeard = 0;
        std::filesystem::remove_all(dir / "2026-12-11");
        ASSERT_TRUE(Within2s([&] { return foldersHeard > 0; }));
    }
    EXPECT_EQ(InotifyDescriptors(), before) << "the instance closes with its last watcher";
}

TEST(FolderWatch, AWatchedFolderRemovedIsHeardAndItsWatchLetGoCleanly) {
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir / "card");
    FolderWatch watch(nullptr, FolderWatch::Scope::Subfolders);
    FolderWatch other;
    int heard = 0;
    QObject::connect(&watch, &FolderWatch::changed, [&] { ++heard; });
    ASSERT_TRUE(watch.Watch(ToQString(dir / "card")));
    ASSERT_TRUE(other.Watch(ToQString(dir / "card")));
    std::filesystem::remove(dir / "card");
    ASSERT_TRUE(Within2s([&] { return heard > 0; }));
    Settle();
    other.Stop();
    watch.Stop();
    // A folder made anew under the old name is watched anew.
    std::filesystem::create_directory(dir / "card");
    ASSERT_TRUE(watch.Watch(ToQString(dir / "card")));
    heard = 0;
    std::filesystem::create_directory(dir / "card" / "DCIM");
    ASSERT_TRUE(Within2s([&] { return heard > 0; }));
}
