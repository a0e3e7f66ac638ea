// The program started on a picture of a folder of three: the folder listed, a.png shown.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

#include "../browser/BrowserTestSupport.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "browser/BrowserPane.h"
#include "browser/ThumbnailList.h"
#include "view/PictureView.h"

namespace shelltest {

class ListedPicturesTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // Widths tell the pictures apart once opened; the list shows no picture shorter than 72.
        for (const auto& [name, width] : {std::pair{"a.png", 120u}, {"b.png", 150u}, {"c.png", 180u}}) {
            browsertest::WriteSolidPicture(m_pictures / name, width, 90, 0x00FF00, RASTER_FORMAT_PNG);
        }
        m_app = Start();
        ASSERT_NE(m_app->Window(), nullptr);
        ASSERT_TRUE(Pane()->OpenPath(PathOf("a.png")));
        ASSERT_TRUE(browsertest::RunEventLoopUntil([&] { return View()->Path() == PathOf("a.png"); }));
        browsertest::WaitForScan(*List());
        ASSERT_EQ(List()->count(), 3);
        QApplication::setActiveWindow(m_app->Window());
    }
    void TearDown() override {
        m_app.reset();
        ShellTest::TearDown();
    }

    QString PathOf(const std::string& name) const { return browsertest::ToQString(m_pictures / name); }
    BrowserPane* Pane() const { return qobject_cast<BrowserPane*>(m_app->Window()->Browser()); }
    ThumbnailList* List() const { return Pane()->List(); }
    PictureView* View() const { return m_app->Window()->View(); }
    QSize ShownSize() const {
        const RasterImage& shown = View()->Document()->WorkPicture();
        return QSize(int(shown.GetWidth()), int(shown.GetHeight()));
    }

    testsupport::TempDir m_pictures;
    std::unique_ptr<Application> m_app;
};

}  // namespace shelltest
