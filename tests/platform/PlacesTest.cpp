// The places of the folder tree: which mounts are the user's volumes and what they are called,
// and the user's own folders first, the file system last.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/Places.h"

using places::Mount;
using places::Place;

TEST(Places, OnlyVolumesUnderTheUsersMountFoldersAreShownByTheirLabel) {
    const QList<Mount> mounts = {
        {"/", "", false},
        {"/boot/efi", "EFI", false},
        {"/home", "", false},
        {"/media/ann/CAMERA", "CAMERA", true},
        {"/run/media/ann/3A1F-22C0", "", true},
        {"/mnt/backup", "Backup disk", false},
        {"/media", "", false},
        {"/mnt", "", false},
        {"/mediadata", "", false},
        {"/run/user/1000/doc", "", false},
    };
    const QList<Place> expected = {
        {"CAMERA", "/media/ann/CAMERA", "drive-removable-media"},
        {"3A1F-22C0", "/run/media/ann/3A1F-22C0", "drive-removable-media"},
        {"Backup disk", "/mnt/backup", "drive-harddisk"},
    };
    EXPECT_EQ(places::VolumePlaces(mounts), expected);
}

TEST(Places, HomeComesFirstAndTheFileSystemLast) {
    const QList<Place> list = places::CurrentPlaces();
    ASSERT_GE(list.size(), 2);
    if (QDir::cleanPath(QDir::homePath()) != "/") {
        EXPECT_EQ(list.front().path, QDir::cleanPath(QDir::homePath()));
        EXPECT_EQ(list.front().iconName, "user-home");
    }
    EXPECT_EQ(list.back().path, "/");
    EXPECT_EQ(list.back().name, "File System");
    for (qsizetype i = 0; i < list.size(); ++i) {
        EXPECT_TRUE(QDir(list[i].path).exists()) << list[i].path.toStdString();
        for (qsizetype j = 0; j < i; ++j) EXPECT_NE(list[i].path, list[j].path) << "each folder once";
    }
}
