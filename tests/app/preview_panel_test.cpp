#include "wizard_fixture.h"

#include "ui/button.h"
#include "ui/color_rect.h"
#include "ui/image_widget.h"
#include "ui/text_label.h"

#include <cmath>

namespace {

constexpr uint32_t Grey = packPixel(192, 192, 192);
constexpr uint32_t Black = packPixel(0, 0, 0);
constexpr uint32_t White = packPixel(255, 255, 255);

}  // namespace

TEST(PyramidTest, HalvingWeighsTheNeighbourhoodInsideThePicture) {
    Bitmap b;
    b.resize(3, 1);
    b.at(0, 0) = packPixel(0, 0, 0, 255);
    b.at(1, 0) = packPixel(100, 10, 1, 255);
    b.at(2, 0) = packPixel(200, 20, 2, 255);
    Bitmap half;
    ASSERT_TRUE(HalvePicture(b, half));
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    // (2 * 0 + 1 * 100) / 3 rounded; the edge pixel counts its two neighbours.
    EXPECT_EQ(half.at(0, 0), packPixel(33, 3, 0, 255));
    // (1 * 100 + 2 * 200) / 3 = 166.67.
    EXPECT_EQ(half.at(1, 0), packPixel(167, 17, 2, 255));

    Pyramid p;
    Bitmap picture = Gradient(40, 30);
    ASSERT_TRUE(p.Rebuild(picture));
    EXPECT_TRUE(picture.isEmpty());  // taken over
    const int32_t widths[] = {40, 20, 10, 5, 3, 2};
    const int32_t heights[] = {30, 15, 8, 4, 2, 1};
    ASSERT_EQ(p.LevelCount(), 6);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(p.Level(i).width, widths[i]);
        EXPECT_EQ(p.Level(i).height, heights[i]);
    }
}

class PreviewPanelTest : public WizardTest {
protected:
    // A picture set straight into the wizard, as a load would.
    void Show(Bitmap picture, const char* name = "/photos/pic.png") {
        wizard->files = {String(name)};
        wizard->currentIndex = 0;
        wizard->SetImage(&picture);
        Frame();
    }
    const Bitmap& ViewPicture() { return wizard->viewPicture; }
    uint32_t ViewAt(int32_t i, int32_t j) { return wizard->viewPicture.at(2 + i, 2 + j); }
};

TEST_F(PreviewPanelTest, ZoomDrawsFromTheLevelOfItsScale) {
    Show(Gradient(3000, 2000));
    ASSERT_EQ(ViewPicture().width, 450);  // 800 - 350
    ASSERT_EQ(ViewPicture().height, 330);
    const int32_t vw = 446, vh = 326;
    EXPECT_EQ(wizard->centreX, 1500.0f);
    EXPECT_EQ(wizard->centreY, 1000.0f);

    ClickWidget(wizard->zoomOutButton);
    EXPECT_EQ(wizard->zoom, 128);
    EXPECT_EQ(wizard->zoomLabel->text, "50%");
    const Bitmap& level1 = wizard->display.Level(1);
    ASSERT_EQ(level1.width, 1500);
    for (int32_t j = 0; j < vh; j += 37)
        for (int32_t i = 0; i < vw; i += 13)
            ASSERT_EQ(ViewAt(i, j), level1.at(750 - 223 + i, 500 - 163 + j)) << i << "," << j;

    ClickWidget(wizard->zoomInButton);
    ClickWidget(wizard->zoomInButton);
    EXPECT_EQ(wizard->zoom, 512);
    EXPECT_EQ(wizard->zoomLabel->text, "200%");
    const Bitmap& level0 = wizard->display.Level(0);
    // Step 0.5 from 1500 - 111.5: every source pixel covers two view columns.
    for (int32_t j = 0; j < vh; j += 29)
        for (int32_t i = 0; i < vw; i += 7)
            ASSERT_EQ(ViewAt(i, j), level0.at(static_cast<int32_t>(std::floor(1388.5 + 0.5 * i)),
                                              static_cast<int32_t>(std::floor(918.5 + 0.5 * j))))
                << i << "," << j;
}

TEST_F(PreviewPanelTest, ZoomStopsAtItsLimitsAndSmallPyramidsStretch) {
    Show(Gradient(8, 6));  // levels 8x6, 4x3, 2x2, 1x1
    for (int32_t i = 0; i < 6; ++i)
        ClickWidget(wizard->zoomOutButton);
    EXPECT_EQ(wizard->zoom, 16);
    EXPECT_EQ(wizard->zoomLabel->text, "6.25%");
    // Level 4 does not exist: the 1 x 1 level is drawn twice as large.
    const int32_t vw = 446, vh = 326;
    EXPECT_EQ(ViewAt(vw / 2, vh / 2), wizard->display.Level(3).at(0, 0));
    EXPECT_EQ(ViewAt(vw / 2 + 1, vh / 2), Grey);
    for (int32_t i = 0; i < 10; ++i)
        ClickWidget(wizard->zoomInButton);
    EXPECT_EQ(wizard->zoom, 4096);
    EXPECT_EQ(wizard->zoomLabel->text, "1600%");
    ClickWidget(wizard->zoomInButton);
    EXPECT_EQ(wizard->zoom, 4096);
}

TEST_F(PreviewPanelTest, DraggingStopsAtTheEdge) {
    Show(Gradient(600, 400));
    const Rect v = wizard->view->bounds;
    MoveTo(v.left() + 100, v.top() + 100);
    EXPECT_EQ(headless::Cursor(), 4);
    headless::PressButton(*wizard, MouseLeft);
    Frame();
    EXPECT_TRUE(wizard->dragging);
    MoveTo(v.left() + 90, v.top() + 95);  // the picture follows the mouse
    EXPECT_EQ(headless::Cursor(), 1);
    EXPECT_EQ(wizard->centreX, 310.0f);
    EXPECT_EQ(wizard->centreY, 205.0f);
    MoveTo(v.left() - 5000, v.top() - 5000);
    EXPECT_FLOAT_EQ(wizard->centreX, 599.01f);
    EXPECT_FLOAT_EQ(wizard->centreY, 399.01f);
    // The picture's last column sits at the view's middle, grey beyond.
    EXPECT_EQ(ViewAt(223, 163), wizard->display.Level(0).at(599, 399));
    EXPECT_EQ(ViewAt(224, 163), Grey);
    headless::ReleaseButton(*wizard, MouseLeft);
    Frame();
    EXPECT_FALSE(wizard->dragging);
}

TEST_F(PreviewPanelTest, NavigatorFramesTheThumbnailAndMarksTheView) {
    Show(Gradient(100, 50));
    EXPECT_EQ(wizard->navigatorPicture.width, 104);  // never enlarged
    EXPECT_EQ(wizard->navigatorPicture.height, 54);
    EXPECT_EQ(wizard->navigator->bounds, Rect(330, 15, 434, 69));
    EXPECT_EQ(wizard->navigatorPicture.at(0, 0), White);
    EXPECT_EQ(wizard->navigatorPicture.at(1, 1), Black);
    EXPECT_EQ(wizard->navigatorPicture.at(2, 2), Gradient(100, 50).at(0, 0));
    EXPECT_EQ(wizard->fileNameLabel->text, "pic.png");
    EXPECT_EQ(wizard->fileNameLabel->bounds.left(), 434 + 15);

    Show(Gradient(3000, 2000));
    ASSERT_EQ(wizard->navigatorPicture.width, 256);  // 252 x 168 inside the frame
    ASSERT_EQ(wizard->navigatorPicture.height, 172);
    // Centre (128, 86); half sizes 18 and 13 at 100 %.
    const Bitmap& overlay = wizard->navigatorOverlay;
    EXPECT_EQ(overlay.at(110, 86), Black);
    EXPECT_EQ(overlay.at(146, 86), Black);
    EXPECT_EQ(overlay.at(128, 73), Black);
    EXPECT_EQ(overlay.at(128, 99), Black);
    EXPECT_EQ(overlay.at(109, 86), White);
    EXPECT_EQ(overlay.at(128, 100), White);
    EXPECT_EQ(overlay.at(111, 86), wizard->navigatorPicture.at(111, 86));

    // Holding the button in the navigator moves the view there.
    const Rect n = wizard->navigator->bounds;
    MoveTo(n.left() + n.width() / 4, n.top() + n.height() / 2);
    EXPECT_EQ(headless::Cursor(), 3);
    headless::PressButton(*wizard, MouseLeft);
    Frame();
    EXPECT_EQ(wizard->centreX, 3000.0f * 64 / 256);
    EXPECT_EQ(wizard->centreY, 2000.0f * 86 / 172);
    MoveTo(n.right() + 40, n.top());  // outside: nothing follows
    EXPECT_EQ(wizard->centreX, 750.0f);
    headless::ReleaseButton(*wizard, MouseLeft);
    Frame();
}

TEST_F(PreviewPanelTest, ResizingTheWindowResizesTheView) {
    Show(Gradient(60, 40));
    headless::Resize(*wizard, Size{1000, 700});
    Frame();
    EXPECT_EQ(wizard->viewPicture.width, 650);
    EXPECT_EQ(wizard->viewPicture.height, 430);
    EXPECT_EQ(wizard->viewPicture.at(0, 0), White);
    EXPECT_EQ(wizard->viewPicture.at(1, 1), Black);
    EXPECT_EQ(wizard->background->bounds, Rect(0, 0, 1000, 700));
    const Bitmap& screen = headless::Screen(*wizard);
    EXPECT_EQ(screen.at(330 + 2 + 323, 250 + 2 + 213), Gradient(60, 40).at(30, 20));
}
