#include "wizard_fixture.h"

#include "app/pyramid.h"
#include "ui/color_rect.h"
#include "platform/window_manager.h"
#include "tests/support/failing_malloc.h"

#include <algorithm>

constexpr uint32_t Black = packPixel(0, 0, 0);
constexpr uint32_t White = packPixel(255, 255, 255);

class PreviewPanelTest : public WizardTest {
protected:
    // A picture set straight into the wizard, as a load would.
    void Show(Bitmap picture, const char* name = "/photos/pic.png") {
        wizard->files = {String(name)};
        wizard->currentIndex = 0;
        wizard->SetImage(&picture);
        Frame();
    }
    uint32_t ViewAt(int32_t i, int32_t j) { return wizard->viewPicture.at(2 + i, 2 + j); }
    void Hold(bool down) { (down ? headless::PressButton : headless::ReleaseButton)(*wizard, MouseLeft); Frame(); }
    std::pair<float, float> Centre() const { return {wizard->centreX, wizard->centreY}; }
};

TEST_F(PreviewPanelTest, DraggingStopsAtTheEdge) {
    Show(Gradient(600, 400));
    const Rect v = wizard->view->bounds, n = wizard->navigator->bounds;
    // Near the far corner of each, and where the drag starts: x and y taken for each other fall outside.
    for (const auto& [x, y, cursor] : {std::tuple{n.right() - 3, n.top() + 3, CursorMagnifier},
                                       {v.right() - 3, v.top() + 3, CursorMove},
                                       {v.left() + 300, v.top() + 100, CursorMove}}) {
        MoveTo(x, y);
        EXPECT_EQ(headless::Cursor(), cursor);
    }
    Hold(true);
    EXPECT_TRUE(wizard->dragging);
    MoveTo(v.left() + 290, v.top() + 95);  // the picture follows the mouse
    EXPECT_EQ(headless::Cursor(), CursorSizeAll);
    EXPECT_EQ(Centre(), std::pair(310.0f, 205.0f));
    MoveTo(v.left() - 5000, v.top() - 5000);
    EXPECT_EQ(Centre(), std::pair(600.0f - 0.99f, 400.0f - 0.99f));
    MoveTo(v.left() + 5000, v.top() + 5000);
    EXPECT_EQ(Centre(), std::pair(0.0f, 0.0f));
    MoveTo(v.left() - 5000, v.top() - 5000);
    // The picture's last column sits at the view's middle, grey beyond.
    EXPECT_EQ(ViewAt(223, 163), wizard->display.Level(0).at(599, 399));
    EXPECT_EQ(ViewAt(224, 163), packPixel(192, 192, 192));
    Hold(false);
    EXPECT_FALSE(wizard->dragging);
    // Zoomed out as far as the buttons go, a picture too small to halve is drawn from its one level.
    Show(Gradient(2, 1));
    wizard->zoom = 16;
    wizard->ShowView(wizard->viewMode);
    EXPECT_EQ(ViewAt(223, 163), wizard->display.Level(0).at(1, 0));  // the centre, (1, 0.5)
}

// Held on the navigator's far corner, the centre stays on the last pixel of a 1-pixel-wide picture, short or tall.
TEST_F(PreviewPanelTest, TheNavigatorKeepsTheCentreOnThePicture) {
    for (const int32_t height : {8, 400}) {
        Show(Gradient(1, height));
        MoveTo(wizard->navigator->bounds.right() - 1, wizard->navigator->bounds.bottom() - 1);
        Hold(true);
        EXPECT_EQ(wizard->centreX, 1.0f - 0.99f);
        EXPECT_NEAR(wizard->centreY, height - 0.99f, height / 100.0f);
    }
}

// On a square photo centred off the middle the navigator's box is centred on the diagonal: both sides map the same way.
TEST_F(PreviewPanelTest, TheNavigatorBoxFollowsTheCentreAlikeAcrossAndDown) {
    Show(Gradient(900, 900));
    wizard->centreX = wizard->centreY = 300.0f;
    wizard->ShowView(wizard->viewMode);
    const Bitmap& nav = wizard->navigatorOverlay;
    int32_t left = nav.width, right = -1, top = nav.height, bottom = -1;
    for (int32_t y = 0; y < nav.height; ++y)
        for (int32_t x = 0; x < nav.width; ++x)
            if (nav.at(x, y) == Black && wizard->navigatorPicture.at(x, y) != Black) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GT(bottom, top);
    EXPECT_EQ(left + right, top + bottom);
}

// The navigator draws from a halving less than twice its size: a fine pattern shows as even grey, without moire, and
// stripes of two pixels on a picture exactly twice its width keep the halving's blur. A picture no larger than the
// navigator is drawn from itself, its finest pattern kept.
TEST_F(PreviewPanelTest, AFinePatternShowsEvenInTheNavigator) {
    for (const auto& [width, stripe, contrast] : {std::tuple{1200, 2, 0}, {502, 2, 127}, {256, 1, 255}}) {
        Show(generated(width, width * 3 / 4, [&](int32_t x, int32_t) { return x / stripe % 2 ? White : Black; }));
        const Bitmap& thumb = wizard->navigatorPicture;
        int32_t lo = 255, hi = 0;
        for (int32_t x = 8; x < thumb.width - 8; ++x) {
            lo = std::min(lo, static_cast<int32_t>(thumb.at(x, thumb.height / 2) & 0xFF));
            hi = std::max(hi, static_cast<int32_t>(thumb.at(x, thumb.height / 2) & 0xFF));
        }
        EXPECT_NEAR(hi - lo, contrast, 8) << width << ": " << lo << " to " << hi;
    }
}

// A photo with a colour profile is shown converted to sRGB, in the view and
// the navigator, while the picture the wizard works on keeps its numbers.
TEST_F(PreviewPanelTest, AProfiledPhotoIsShownInSrgbAndKeepsItsOwnColours) {
    const std::string data = std::string(VISTREL_TESTDATA_DIR) + "/photo/";
    OpenPaths({data + "p3.png"});
    ASSERT_EQ(24, wizard->source.width);
    const uint32_t stored = wizard->source.at(12, 8), shown = Loaded(data + "p3_as_srgb.png").at(12, 8);
    ASSERT_NE(stored, shown);
    for (const Bitmap* picture : {&wizard->viewPicture, &wizard->navigatorPicture}) {
        const std::vector<uint32_t> seen = pixels(*picture);
        EXPECT_EQ(0, std::count(seen.begin(), seen.end(), stored));
        EXPECT_GT(std::count(seen.begin(), seen.end(), shown), 0);
    }
}

// At device scale 2 the view shows screen pixels: at 100 % one photo pixel each, and zoom, the navigator's rectangle
// and dragging count in them. Back at 1 the window's pictures are as before with nothing shown over them.
TEST_F(PreviewPanelTest, AtScaleTwoTheViewShowsOnePhotoPixelPerScreenPixel) {
    // The thumbnail in its frame fills the navigator's 256 x 192 box across or from top to bottom, whichever binds;
    // a smaller photo is not enlarged.
    for (const auto& r : {std::array<int32_t, 4>{120, 60, 124, 64}, {60, 120, 64, 124}, {1600, 900, 256, 146},
                          {1200, 900, 255, 192}}) {
        Show(Gradient(r[0], r[1]));
        EXPECT_EQ(wizard->navigatorPicture.bounds(), Rect(0, 0, r[2], r[3]));
    }
    Bitmap atScaleOne, navigatorAtOne;
    atScaleOne.copyFrom(wizard->viewPicture), navigatorAtOne.copyFrom(wizard->navigatorOverlay);
    EXPECT_TRUE(headless::DeviceLayers(*wizard).empty() && wizard->viewDevicePicture.isEmpty() &&
                wizard->navigatorDevicePicture.isEmpty());  // none drawn at 1
    headless::SetDeviceScale(*wizard, 2);
    Frame();

    const Bitmap &level = wizard->display.Level(0), &device = wizard->viewDevicePicture;
    ASSERT_EQ(device.bounds(), Rect(0, 0, 2 * wizard->viewPicture.width, 2 * wizard->viewPicture.height));
    const int32_t vw = wizard->viewPicture.width - 4, vh = wizard->viewPicture.height - 4;
    // Centred on (600, 450): the screen's 2 vw pixels start at 600 - vw.
    for (int32_t i : {0, 1, 2, 3, 2 * vw - 1}) {
        EXPECT_EQ(device.at(4 + i, 4), level.at(600 - vw + i, 450 - vh));
        EXPECT_EQ(device.at(4 + i, 4 + 2 * vh - 1), level.at(600 - vw + i, 450 + vh - 1));
    }
    // The window's own picture behind it samples every other photo pixel.
    EXPECT_EQ(ViewAt(1, 1), level.at(600 - vw + 2, 450 - vh + 2));
    // The frame is twice as thick.
    EXPECT_EQ(std::tuple(device.at(1, 100), device.at(2, 100), device.at(3, 100)), std::tuple(White, Black, Black));
    EXPECT_EQ(std::pair(device.at(device.width - 2, device.height - 3), device.at(device.width - 3, device.height - 4)),
              std::pair(White, Black));

    // The navigator's rectangle covers twice the photo, drawn in 2 x 2 blocks over a thumbnail of twice the pixels.
    const Bitmap &nav = wizard->navigatorOverlay, &navDevice = wizard->navigatorDeviceOverlay;
    ASSERT_EQ(navDevice.bounds(), Rect(0, 0, 2 * nav.width, 2 * nav.height));
    int32_t outline = 0, outlineAtOne = 0;
    for (int32_t y = 0; y < nav.height; ++y)
        for (int32_t x = 0; x < nav.width; ++x) {
            outlineAtOne += navigatorAtOne.at(x, y) != wizard->navigatorPicture.at(x, y);
            if (nav.at(x, y) == wizard->navigatorPicture.at(x, y)) continue;
            ++outline;
            for (int32_t d : {0, 1, 2, 3})
                EXPECT_EQ(navDevice.at(2 * x + d % 2, 2 * y + d / 2), nav.at(x, y)) << x << "," << y;
        }
    EXPECT_GT(outline, outlineAtOne * 3 / 2);
    EXPECT_EQ(std::pair(navDevice.at(5, 1), navDevice.at(2, 2)), std::pair(White, Black));
    EXPECT_NE(wizard->navigatorDevicePicture.at(4, 4), wizard->navigatorDevicePicture.at(5, 4));

    const std::vector<DeviceLayer> layers = headless::DeviceLayers(*wizard);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(std::pair(layers[0].picture, layers[1].picture), std::pair(&navDevice, &device));
    EXPECT_EQ(layers[1].shown, wizard->view->bounds);

    // 200 %: each photo pixel covers 2 x 2 screen pixels.
    const Rect v = wizard->view->bounds;
    ClickAt(wizard->zoomInButton->bounds.left() + 5, wizard->zoomInButton->bounds.top() + 5);
    EXPECT_TRUE(wizard->zoom == 512 && device.at(4, 4) == device.at(5, 5));
    EXPECT_EQ(device.at(4, 4), level.at(600 - vw / 2, 450 - vh / 2));
    EXPECT_NE(device.at(4, 4), device.at(6, 4));

    // Dragging by 10 client pixels at 200 % moves 10 photo pixels.
    MoveTo(v.left() + 100, v.top() + 100);
    Hold(true);
    MoveTo(v.left() + 90, v.top() + 100);
    EXPECT_EQ(wizard->centreX, 610.0f);
    Hold(false);

    headless::SetDeviceScale(*wizard, 1);
    Frame();
    EXPECT_TRUE(headless::DeviceLayers(*wizard).empty());
    wizard->zoom = 256, wizard->centreX = 600.0f;
    wizard->ShowView(wizard->viewMode);
    EXPECT_TRUE(samePixels(wizard->viewPicture, atScaleOne));
    EXPECT_TRUE(samePixels(wizard->navigatorOverlay, navigatorAtOne));
}

// The navigator's halvings weigh 1-2-1 each way and leave out what lies past the edges: 3 x 2 halves to 2 x 1.
TEST(Pyramid, HalvingWeighsNeighboursAndStopsAtTheEdges) {
    const uint8_t red[6] = {0, 60, 240, 30, 90, 180};
    const Bitmap source = generated(3, 2, [&red](int32_t x, int32_t y) { return packPixel(red[3 * y + x], 0, 0); });
    Bitmap half;
    ASSERT_TRUE(HalvePicture(source, half));
    ASSERT_EQ(Rect(0, 0, 2, 1), half.bounds());
    // (2 * (2 * 0 + 60) + (2 * 30 + 90)) / 9 and (2 * (60 + 2 * 240) + (90 + 2 * 180)) / 9
    EXPECT_EQ(std::pair(packPixel(30, 0, 0), packPixel(170, 0, 0)), std::pair(half.at(0, 0), half.at(1, 0)));
    // A picture one pixel across or down is not halved.
    for (const auto& [w, h] : {std::pair{1, 8}, {8, 1}}) {
        Bitmap thin = generated(w, h, [](int32_t, int32_t) { return 0u; });
        Pyramid pyramid;
        ASSERT_TRUE(pyramid.Rebuild(thin));
        EXPECT_EQ(1, pyramid.LevelCount()) << w << " x " << h;
    }
    // Halvings built again start over from level 0, as it now is: 4 x 4, 2 x 2, 1 x 1.
    Bitmap copy;
    Pyramid pyramid;
    ASSERT_TRUE(copy.copyFrom(source) && pyramid.Rebuild(copy));
    ASSERT_TRUE(pyramid.Level(0).copyFrom(generated(4, 4, [](int32_t, int32_t) { return 0u; })));
    ASSERT_TRUE(pyramid.BuildHalvings());
    ASSERT_EQ(3, pyramid.LevelCount());
    EXPECT_EQ(1, pyramid.Level(2).width);
}

// The label shows the name after either separator; a name without one, with one only in front, or a folder, whole.
TEST(DisplayFileName, ShowsWhatFollowsTheLastSeparator) {
    for (const auto& [path, shown] : {std::pair{"/home/ann/cat.jpg", "cat.jpg"},
                                      {"C:\\Photos/2024\\dog.png", "dog.png"}, {"a/cat.jpg", "cat.jpg"},
                                      {"cat.jpg", "cat.jpg"}, {"/home/ann/", "/home/ann/"}, {"/cat.jpg", "/cat.jpg"}})
        EXPECT_TRUE(DisplayFileName(String(path)) == shown) << path;
}

TEST_F(PreviewPanelTest, TheViewFollowsTheWindowsSize) {
    Show(Gradient(600, 400));
    headless::Resize(*wizard, {1000, 800});
    EXPECT_EQ(wizard->root.bounds, Rect(0, 0, 1000, 800));
    EXPECT_EQ(wizard->background->bounds, wizard->root.bounds);
    EXPECT_EQ(wizard->viewPicture.bounds(), Rect(0, 0, 650, 530));
    headless::Resize(*wizard, {1000, 700});  // taller or shorter alone
    EXPECT_EQ(wizard->viewPicture.bounds(), Rect(0, 0, 650, 430));
#if VISTREL_FAILING_MALLOC
    // A size memory cannot hold a buffer for leaves one of a single pixel, which the window draws into safely.
    FailAllocation(0, 1000000), headless::Resize(*wizard, {1200, 900}), FailAllocation(-1);
    EXPECT_EQ(std::pair(wizard->ClientSize().width, wizard->ClientSize().height), std::pair(1, 1));
    Frame();
#endif
}
