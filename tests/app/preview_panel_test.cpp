#include "wizard_fixture.h"

#include "ui/button.h"
#include "ui/image_widget.h"
#include "ui/text_label.h"

namespace {

constexpr uint32_t Grey = packPixel(192, 192, 192);
constexpr uint32_t Black = packPixel(0, 0, 0);
constexpr uint32_t White = packPixel(255, 255, 255);

}  // namespace

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

// A photo with a colour profile is shown converted to sRGB, in the view and
// the navigator, while the picture the wizard works on keeps its numbers.
TEST_F(PreviewPanelTest, AProfiledPhotoIsShownInSrgbAndKeepsItsOwnColours) {
    const std::string data = std::string(VISTREL_TESTDATA_DIR) + "/photo/";
    OpenPaths({data + "p3.png"});
    ASSERT_EQ(24, wizard->source.width);
    Bitmap asSrgb;
    load(asSrgb, String((data + "p3_as_srgb.png").c_str()), nullptr);
    const uint32_t stored = wizard->source.at(12, 8), shown = asSrgb.at(12, 8);
    ASSERT_NE(stored, shown);
    for (const Bitmap* picture : {&wizard->viewPicture, &wizard->navigatorPicture}) {
        int32_t storedSeen = 0, shownSeen = 0;
        for (size_t i = 0; i < picture->pixelCount(); ++i) {
            storedSeen += picture->data[i] == stored;
            shownSeen += picture->data[i] == shown;
        }
        EXPECT_EQ(0, storedSeen);
        EXPECT_GT(shownSeen, 0);
    }
}
