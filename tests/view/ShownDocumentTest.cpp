// A view and several documents: the commands go to the document the view shows, the others
// stay as they are, and the documents outlive the view.
#include <gtest/gtest.h>

#include "RoutedViewFixture.h"
#include "TestSupport.h"
#include "commands/CommandIds.h"
#include "doc/PictureDocument.h"

namespace {

using testsupport::MakePatternImage;
using testsupport::SamePixels;

class ShownDocument : public RoutedViewFixture {
protected:
    static void Paste(PictureDocument& document, uint32_t width, uint32_t height) {
        RasterImage pattern = MakePatternImage(width, height);
        document.TakePasted(pattern);
    }
};

TEST_F(ShownDocument, CommandsGoToTheDocumentTheViewShows) {
    auto first = std::make_unique<PictureDocument>();
    auto second = std::make_unique<PictureDocument>();
    Paste(*first, 400, 300);
    Paste(*second, 600, 200);
    const RasterImage secondBefore(second->WorkPicture());

    m_view->SetDocument(first.get());
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 400u) << "laid out in the view's client";
    ASSERT_TRUE(m_router->QueryUpdate(cmd::ID_ROTATE_LEFT).enabled);
    m_router->Execute(cmd::ID_ROTATE_LEFT);
    m_router->Execute(cmd::ID_HIDE_CROPBOX);
    EXPECT_EQ(first->WorkPicture().GetWidth(), 300u);
    EXPECT_FALSE(first->Box().m_showCropBox);
    EXPECT_TRUE(SamePixels(second->WorkPicture(), secondBefore));
    EXPECT_TRUE(second->Box().m_showCropBox);

    m_view->SetDocument(second.get());
    EXPECT_EQ(m_view->ViewPicture().GetWidth(), 600u);
    m_router->Execute(cmd::ID_MIRROR);
    EXPECT_FALSE(SamePixels(second->WorkPicture(), secondBefore));
    EXPECT_EQ(first->WorkPicture().GetWidth(), 300u);
    m_router->Execute(cmd::ID_EDIT_UNDO);
    EXPECT_TRUE(SamePixels(second->WorkPicture(), secondBefore));
    EXPECT_TRUE(first->History().CanUndo()) << "the turn stays on the first document's history";

    // A document closed while shown leaves the view empty; the view lets go of the others.
    second.reset();
    EXPECT_FALSE(m_view->PicturesValid());
    EXPECT_FALSE(m_router->QueryUpdate(cmd::ID_ROTATE_RIGHT).enabled);
    m_view->SetDocument(first.get());
    m_router->Execute(cmd::ID_ROTATE_RIGHT);
    EXPECT_EQ(first->WorkPicture().GetWidth(), 400u);
    m_view.reset();
    first->RunPictureCommand(cmd::ID_FLIP);
    EXPECT_EQ(first->WorkPicture().GetWidth(), 400u);
}

}  // namespace
