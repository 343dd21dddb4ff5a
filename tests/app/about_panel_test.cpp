#include "wizard_fixture.h"

#include "platform/menu_table.h"
#include "platform/window_manager.h"
#include "ui/color_rect.h"
#include "ui/ui_resources.h"

#include <utility>

// The hovered link's underline moves from link to link and goes with the hover, leaving no line behind.
TEST(AboutPanel, TheUnderlineFollowsTheHoveredLinkAndGoesWithIt) {
    Widget root, first, second;
    first.bounds = Rect(10, 10, 60, 24), second.bounds = Rect(10, 30, 90, 44);
    ColorRect* underline = nullptr;
    for (const auto& [link, line] : {std::pair{&first, Rect(10, 22, 60, 23)}, {&second, Rect(10, 42, 90, 43)}}) {
        UnderlineLink(root, underline, link);
        ASSERT_EQ(root.ChildCount(), 1);
        EXPECT_EQ(root.Child(0)->bounds, line);
    }
    UnderlineLink(root, underline, nullptr);
    EXPECT_TRUE(root.ChildCount() == 0 && underline == nullptr);
}

// The three blue texts are the links: hovered, each is underlined under a hand; pressed, it opens its page. The rights
// notice is plain text, and a window that is not active follows no pointer.
TEST_F(WizardTest, EachAboutLinkOpensItsOwnPage) {
    AboutPanel& about = *TheApplication->about;
    std::filesystem::create_directory(Path("Help"));
    const char* const pages[3] = {DenoiseExamplesPage, MagnifyExamplesPage, HomePage};
    for (const char* page : pages) WriteText(page, "<p>help</p>");
    const auto hover = [&](int32_t slot) {  // the mouse to the slot's centre
        const Rect r = about.slots[slot]->bounds;
        const Point at{r.left() + r.width() / 2, r.top() + r.height() / 2};
        return headless::MoveMouse(about, at.x, at.y), at;
    };
    headless::Activate(&about);
    for (int32_t slot = 0; slot < 3; ++slot) {
        const Point at = hover(slot);
        Frame();
        EXPECT_EQ(std::pair(about.hoveredSlot, headless::Cursor()), (std::pair<int32_t, int32_t>(slot, CursorHand)));
        ASSERT_NE(about.underline, nullptr);
        EXPECT_EQ(about.underline->bounds.left(), about.slots[slot]->bounds.left());
        headless::Click(about, at.x, at.y);
        Frames(2);
        ASSERT_EQ(headless::DesktopRequests().size(), static_cast<size_t>(slot + 1));
        EXPECT_EQ(headless::DesktopRequests().back(), S(Path(pages[slot])));
    }
    const Point notice = hover(3);
    headless::Click(about, notice.x, notice.y);
    Frames(2);
    EXPECT_EQ(std::pair(about.hoveredSlot, headless::Cursor()), (std::pair<int32_t, int32_t>(-1, CursorArrow)));
    EXPECT_TRUE(about.underline == nullptr && headless::DesktopRequests().size() == 3u);

    headless::Activate(wizard);
    hover(0);
    Frame();
    EXPECT_EQ(about.underline, nullptr);
}

// The help menu's pages, and "About" raising the open window or opening a closed one again.
TEST_F(WizardTest, TheHelpMenuOpensItsPagesAndTheAboutWindow) {
    std::filesystem::create_directory(Path("Help"));
    for (const auto& [command, page] : {std::pair{MenuContents, HelpIndexPage}, {MenuHomepage, HomePage},
                                        {MenuSupport, SupportPage}}) {
        WriteText(page, "<p>help</p>");
        ASSERT_TRUE(headless::ChooseMenu(command));
        ASSERT_FALSE(headless::DesktopRequests().empty());
        EXPECT_EQ(headless::DesktopRequests().back(), S(Path(page)));
    }
    EXPECT_EQ(std::pair(headless::DesktopRequests().size(), MessageCount()), std::pair(size_t(3), 0));

    AboutPanel* open = TheApplication->about;
    const int32_t raised = headless::RaiseCount(*open);
    ASSERT_TRUE(headless::ChooseMenu(MenuAbout));
    EXPECT_EQ(std::pair(TheApplication->about, headless::RaiseCount(*open)), std::pair(open, raised + 1));
    delete open;
    TheUiResources->aboutPicture.clear();  // as when memory ran out for it: the window keeps its width
    ASSERT_TRUE(headless::ChooseMenu(MenuAbout));
    EXPECT_TRUE(TheApplication->about && TheApplication->about->IsOpen());
    EXPECT_EQ(TheApplication->about->ClientSize().width, 629);
}

// The main window's ways in: the maker's link on step one (underlined, under a hand, when hovered), "Open", help.
TEST_F(WizardTest, TheWizardsLinkAndButtonsOpenThePagesAndTheDialog) {
    std::filesystem::create_directory(Path("Help"));
    WriteText(HelpIndexPage, "<p>help</p>"), WriteText(HomePage, "<p>home</p>");
    const Rect link = wizard->homeLink->bounds;
    MoveTo(link.left() + 2, link.top() + 2);
    EXPECT_TRUE(wizard->linkUnderline != nullptr && headless::Cursor() == CursorHand);
    ClickWidget(wizard->homeLink);
    ASSERT_EQ(headless::DesktopRequests().size(), 1u);
    EXPECT_EQ(headless::DesktopRequests().back(), S(Path(HomePage)));
    MoveTo(link.left() - 2, link.top() + 2);
    EXPECT_TRUE(wizard->linkUnderline == nullptr && headless::Cursor() == CursorArrow);
    // A picture opened while the link is hovered takes the first step away with its underline.
    MoveTo(link.left() + 2, link.top() + 2);
    const Rect underline = wizard->linkUnderline->bounds;
    OpenPaths({WriteImage("b.png", Gradient(10, 8))});
    for (int32_t i = 0; i < wizard->root.ChildCount(); ++i) EXPECT_NE(wizard->root.Child(i)->bounds, underline) << i;

    const std::string a = WriteImage("a.png", Gradient(10, 8));
    headless::QueueFileDialogAnswer({true, {S(a)}});
    ClickWidget(wizard->openButton);
    WorkerSettles();
    EXPECT_EQ(headless::FileDialogs().size(), 2u);  // b's and a's
    EXPECT_EQ(wizard->files, std::vector<String>{S(a)});
    ASSERT_TRUE(wizard->optionsPresent);
    ClickWidget(wizard->helpButton);
    ASSERT_EQ(headless::DesktopRequests().size(), 2u);
    EXPECT_EQ(headless::DesktopRequests().back(), S(Path(HelpIndexPage)));
}
