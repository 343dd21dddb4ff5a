#include "wizard_fixture.h"

#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/color_rect.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

#include <filesystem>

namespace {

String S(const std::string& s) { return String(s.c_str()); }

// The black one-pixel rows in a tree: underlines.
int32_t Underlines(const Widget& root) {
    int32_t n = 0;
    for (int32_t i = 0; i < root.ChildCount(); ++i) {
        const Widget* w = root.Child(i);
        if (w->TypeId() == TypeColorRect && w->bounds.height() == 1 &&
            static_cast<const ColorRect*>(w)->colour == packPixel(0, 0, 0))
            ++n;
    }
    return n;
}

}  // namespace

class AboutTest : public WizardTest {
protected:
    AboutPanel* About() { return TheApplication->about; }
    void Hover(AboutPanel& about, const Widget* w) {
        headless::MoveMouse(about, w->bounds.left() + 3, w->bounds.top() + 3);
        Frame();
    }
};

TEST_F(AboutTest, OpensAtStartUpAndTheMenuRaisesInsteadOfDuplicating) {
    ASSERT_NE(About(), nullptr);
    AboutPanel& about = *About();
    EXPECT_EQ(headless::WindowTitle(about), "About Vistrel 1.3");
    EXPECT_EQ(about.ClientSize().width, 629);
    EXPECT_EQ(about.ClientSize().height, 510);
    EXPECT_EQ(about.okButton->bounds.left(), 629 - 65);
    EXPECT_EQ(about.slots[0]->text, "Denoising Examples");
    EXPECT_EQ(about.slots[2]->text, "Orbwell Software");
    EXPECT_EQ(TheWindowManager->WindowCount(), 2);

    const int32_t raised = headless::RaiseCount(about);
    ASSERT_TRUE(headless::ChooseMenu(110));
    EXPECT_EQ(TheWindowManager->WindowCount(), 2);
    EXPECT_EQ(About(), &about);
    EXPECT_EQ(headless::RaiseCount(about), raised + 1);

    headless::Click(about, about.okButton->bounds.left() + 5, about.okButton->bounds.top() + 5);
    Frame();
    Frame();
    EXPECT_EQ(About(), nullptr);
    EXPECT_EQ(TheWindowManager->WindowCount(), 1);
    ASSERT_TRUE(headless::ChooseMenu(110));
    EXPECT_NE(About(), nullptr);
    EXPECT_EQ(TheWindowManager->WindowCount(), 2);
}

TEST_F(AboutTest, LinksUnderlineOnHoverOneAtATime) {
    AboutPanel& about = *About();
    headless::Activate(&about);
    Hover(about, about.slots[0]);
    EXPECT_EQ(about.hoveredSlot, 0);
    EXPECT_EQ(headless::Cursor(), 2);
    ASSERT_NE(about.underline, nullptr);
    const Rect link = about.slots[0]->bounds;
    EXPECT_EQ(about.underline->bounds, Rect(link.left(), link.bottom() - 2, link.right(), link.bottom() - 1));
    EXPECT_EQ(Underlines(about.root), 1);

    Hover(about, about.slots[1]);  // straight onto the next link
    EXPECT_EQ(about.hoveredSlot, 1);
    EXPECT_EQ(about.underline->bounds.top(), about.slots[1]->bounds.bottom() - 2);
    EXPECT_EQ(Underlines(about.root), 1);

    Hover(about, about.slots[3]);  // the rights notice is black: no link
    EXPECT_EQ(about.hoveredSlot, -1);
    EXPECT_EQ(about.underline, nullptr);
    EXPECT_EQ(Underlines(about.root), 0);
    EXPECT_EQ(headless::Cursor(), 0);
}

TEST_F(AboutTest, ExampleLinksOpenTheirPagesOrNameTheMissingPath) {
    AboutPanel& about = *About();
    headless::Activate(&about);
    const Rect first = about.slots[0]->bounds;
    headless::Click(about, first.left() + 3, first.top() + 3);
    Frame();
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastMessage()->request.text, S("Couldn't open file " + Path("Help") + PathSeparator + "denoiseexamples.html"));
    EXPECT_EQ(LastMessage()->request.icon, MessageIcon::Warning);
    EXPECT_TRUE(headless::DesktopRequests().empty());

    std::filesystem::create_directory(Path("Help"));
    WriteText("Help/magnifyexamples.html", "<html></html>");
    const Rect second = about.slots[1]->bounds;
    headless::Click(about, second.left() + 3, second.top() + 3);
    Frame();
    EXPECT_EQ(MessageCount(), 1);
    ASSERT_EQ(headless::DesktopRequests().size(), 1u);
    EXPECT_EQ(headless::DesktopRequests()[0], S(Path("Help") + PathSeparator + "magnifyexamples.html"));

    // A browser that refuses the page is reported the same way.
    headless::SetDesktopHandlerAccepts(false);
    headless::Click(about, second.left() + 3, second.top() + 3);
    Frame();
    ASSERT_EQ(MessageCount(), 2);
    EXPECT_EQ(LastMessage()->request.text, S("Couldn't open file " + Path("Help") + PathSeparator + "magnifyexamples.html"));
}

TEST_F(AboutTest, HelpMenuAndStripOpenOurPages) {
    std::filesystem::create_directory(Path("Help"));
    for (const char* page : {"Help/index.html", "Help/about.html", "Help/support.html"})
        WriteText(page, "<html></html>");
    ASSERT_TRUE(headless::ChooseMenu(106));
    ASSERT_TRUE(headless::ChooseMenu(109));
    ASSERT_TRUE(headless::ChooseMenu(108));
    ASSERT_EQ(headless::DesktopRequests().size(), 3u);
    EXPECT_EQ(headless::DesktopRequests()[0], S(Path("Help") + PathSeparator + "index.html"));
    EXPECT_EQ(headless::DesktopRequests()[1], S(Path("Help") + PathSeparator + "support.html"));
    EXPECT_EQ(headless::DesktopRequests()[2], S(Path("Help") + PathSeparator + "about.html"));

    // The strip's link on the first page: underline, hand, and a click.
    ASSERT_NE(wizard->homeLink, nullptr);
    EXPECT_EQ(wizard->homeLink->bounds.left(), 502);
    headless::Activate(wizard);
    const Rect link = wizard->homeLink->bounds;
    MoveTo(link.left() + 2, link.top() + 2);
    EXPECT_EQ(headless::Cursor(), 2);
    ASSERT_NE(wizard->linkUnderline, nullptr);
    EXPECT_EQ(wizard->linkUnderline->bounds, Rect(link.left(), link.bottom() - 2, link.right(), link.bottom() - 1));
    headless::Click(*wizard, link.left() + 2, link.top() + 2);
    Frame();
    EXPECT_EQ(headless::DesktopRequests().size(), 4u);
    MoveTo(10, 500);
    EXPECT_EQ(wizard->linkUnderline, nullptr);
    EXPECT_EQ(headless::Cursor(), 0);

    // The "?" of the options step opens the help index too.
    OpenPaths({WriteImage("p.png", Gradient(8, 8))});
    ClickWidget(wizard->helpButton);
    EXPECT_EQ(headless::DesktopRequests().back(), S(Path("Help") + PathSeparator + "index.html"));
}

TEST_F(AboutTest, ExitEndsTheLoop) {
    ASSERT_TRUE(headless::ChooseMenu(105));
    EXPECT_FALSE(DrainMessages());
}

TEST_F(AboutTest, TheRightsNoticeLeavesRoomForTheSign) {
    // Both places put the sign 66 pixels and the maker's link 122 pixels
    // right of the notice's start.
    const Font& font = TheUiResources->font0;
    const String notice(RightsNotice);
    int32_t gapStart = 0;
    while (gapStart < notice.length && notice.data[gapStart] != ' ')
        ++gapStart;
    int32_t gapEnd = gapStart;
    while (gapEnd < notice.length && notice.data[gapEnd] == ' ')
        ++gapEnd;
    EXPECT_LE(TextWidth(font, notice, gapStart), 66);
    EXPECT_GE(TextWidth(font, notice, gapEnd), 66 + 17);
    EXPECT_LT(TextWidth(font, notice), 122 - 2);
    AboutPanel& about = *About();
    EXPECT_EQ(about.slots[3]->bounds.left() + 66, 101);
    EXPECT_EQ(about.slots[3]->bounds.left() + 122, about.slots[2]->bounds.left());
}
