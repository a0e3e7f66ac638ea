#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/IconAtlas.h"
#include "app/Version.h"
#include "platform/ShellOpen.h"

namespace {

// A full-size atlas whose About cell is transparent except one half-transparent white pixel.
QImage MakeAtlasWithAboutPixel(int x, int y) {
    QImage atlas(ATLAS_WIDTH, ATLAS_HEIGHT, QImage::Format_ARGB32);
    atlas.fill(qRgba(255, 255, 255, 0));
    atlas.setPixel(ATLAS_ABOUT_ICON_X + x, ATLAS_ABOUT_ICON_Y + y, qRgba(255, 255, 255, 128));
    return atlas;
}

}  // namespace

TEST(AppIcon, TakesTheIconsSizeAroundTheSameCentre) {
    QImage atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    AppIcon icon;
    icon.setGeometry(10, 10, 32, 33);
    ASSERT_TRUE(icon.AttachIcon(&atlas));
    EXPECT_EQ(icon.geometry(), QRect(2, 2, 48, 48));   // 10 + 16 - 24, 10 + 16 - 24
    EXPECT_EQ(icon.Icon().size(), QSize(48, 48));
}

TEST(AppIcon, StaysAsItIsWhenTheIconCannotBeCut) {
    const QImage small(100, 20, QImage::Format_ARGB32);
    AppIcon icon;
    icon.setGeometry(10, 10, 32, 32);
    EXPECT_FALSE(icon.AttachIcon(&small));
    EXPECT_FALSE(icon.AttachIcon(nullptr));
    EXPECT_EQ(icon.geometry(), QRect(10, 10, 32, 32));
    EXPECT_TRUE(icon.Icon().isNull());
}

TEST(AppIcon, BlendsThePremultipliedIconOverWhatLiesBelow) {
    const QImage atlas = MakeAtlasWithAboutPixel(5, 7);
    AppIcon icon;
    ASSERT_TRUE(icon.AttachIcon(&atlas));
    QImage target(48, 48, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    icon.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    // White at alpha 128 over black gives grey 128; colour taken as not premultiplied would
    // give 64.
    EXPECT_EQ(qRed(target.pixel(5, 7)), 128);
    EXPECT_EQ(qBlue(target.pixel(5, 7)), 128);
    EXPECT_EQ(target.pixel(6, 7), QColor(Qt::black).rgb());
}

TEST(AboutDialog, ShowsTheProductLineWithTheBuildsVersionAndTheCopyright) {
    QImage atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    AboutDialog dialog(nullptr, &atlas);
    EXPECT_EQ(dialog.windowTitle(), "About Snipwell");
    EXPECT_EQ(dialog.ProductLine()->text(), "NORVANE Snipwell, Version " + QString::fromLatin1(version::kNumber));
    EXPECT_EQ(dialog.CopyrightLine()->text(), "Copyright (C) 2026 NORVANE");
    EXPECT_EQ(dialog.findChild<QLabel*>("productLine"), dialog.ProductLine());
    EXPECT_EQ(dialog.findChild<AppIcon*>("programIcon"), dialog.IconControl());
    EXPECT_EQ(dialog.IconControl()->size(), QSize(48, 48));
    EXPECT_FALSE(dialog.IconControl()->Icon().isNull());
}

TEST(AboutDialog, TheLinkOpensTheProductPageAndOkClosesTheDialog) {
    QImage atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    AboutDialog dialog(nullptr, &atlas);
    QStringList opened;
    ShellOpen::SetOpener([&](const QString& url) {
        opened << url;
        return true;
    });
    const QString url = QString::fromLatin1(ABOUT_PRODUCT_PAGE_URL);
    EXPECT_TRUE(dialog.Link()->text().contains("href=\"" + url + "\""));
    EXPECT_TRUE(dialog.Link()->text().contains(QString::fromLatin1(ABOUT_WEB_SITE_TEXT)));
    EXPECT_FALSE(dialog.Link()->toolTip().isEmpty());
    emit dialog.Link()->linkActivated(url);
    ShellOpen::SetOpener(nullptr);
    EXPECT_EQ(opened, QStringList{url});

    dialog.show();
    dialog.OkButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}
