#include "core/bilinear_weights.h"
#include "platform/headless.h"
#include "platform/main_loop.h"
#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/button_face.h"
#include "ui/color_rect.h"
#include "ui/edit_field.h"
#include "ui/radio_group.h"
#include "ui/rect_ops.h"
#include "ui/scroll_view.h"
#include "ui/slider.h"
#include "ui/widget_window.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// A window's tree on the headless backend, driven frame by frame: input is
// injected as the native layer would deliver it, then each frame of the loop
// takes the snapshot, updates the tree and presents what changed.
struct Controls : ::testing::Test {
    void SetUp() override {
        InitBilinearWeights();
        resources = LoadTestResources();
        headless::Reset();
        TheWindowManager = new WindowManager;
        ASSERT_TRUE(TheWindowManager->IsReady());
        window = new WidgetWindow;
        ASSERT_TRUE(window->CreateNative("Controls", Size{800, 600}, Size{800, 600}, false));
        window->FitRootToClient();
        headless::Activate(window);
        window->root.AddChild(new ColorRect(window->root.bounds, 0xFF404040));
    }
    void TearDown() override {
        delete TheWindowManager;  // deletes the window
        TheWindowManager = nullptr;
        headless::Reset();
        DropTestResources(resources);
    }
    void Frame(int32_t x, int32_t y) {
        headless::MoveMouse(*window, x, y);
        WalkWindows();
    }
    void Press() { headless::PressButton(*window, MouseLeft); }
    void Release() { headless::ReleaseButton(*window, MouseLeft); }
    // Press and release between two snapshots, then the frame that sees
    // the release.
    void Click(int32_t x, int32_t y) {
        Press();
        Release();
        Frame(x, y);
        Frame(x, y);
    }
    void Keys(std::initializer_list<uint8_t> codes) {
        for (uint8_t c : codes) {
            switch (c) {
            case KeyLeft: headless::KeyPress(*window, NativeKey::Left); break;
            case KeyRight: headless::KeyPress(*window, NativeKey::Right); break;
            case KeyHome: headless::KeyPress(*window, NativeKey::Home); break;
            case KeyEnd: headless::KeyPress(*window, NativeKey::End); break;
            case KeyDelete: headless::KeyPress(*window, NativeKey::Delete); break;
            case KeyEscape: headless::KeyPress(*window, NativeKey::Escape); break;
            case KeyF1: headless::KeyPress(*window, NativeKey::F1); break;
            default: headless::KeyPress(*window, NativeKey::Other, c); break;  // typed, with 8, 9, 13
            }
        }
    }
    template <typename T>
    T* Add(T* w) {
        window->root.AddChild(w);
        return w;
    }
    const Bitmap& Screen() { return headless::Screen(*window); }

    UiResources* resources = nullptr;
    WidgetWindow* window = nullptr;
};

}  // namespace

TEST_F(Controls, ButtonPressLeaveReleaseOutsideDoesNotClick) {
    Button* push = Add(new Button(Point{10, 10}, nullptr, "Go"));
    Button* check = Add(new Button(Point{10, 40}, nullptr, "On", -1, -1, false, true, false));
    ASSERT_EQ(push->bounds, Rect(10, 10, 60, 29));
    for (Button* b : {push, check}) {
        const int32_t y = b->bounds.top() + 5;
        Frame(20, y);
        EXPECT_EQ(b->currentFace, 2);  // hover
        Press();
        Frame(20, y);
        EXPECT_TRUE(b->pressed);
        EXPECT_EQ(b->currentFace, 3);  // hover and down
        Frame(200, 200);
        EXPECT_EQ(b->currentFace, 0);  // pressed, but shown up while outside
        EXPECT_TRUE(b->pressed);
        Frame(20, y);
        EXPECT_EQ(b->currentFace, 3);  // back inside: down again
        Frame(200, 200);
        Release();
        Frame(200, 200);
        EXPECT_FALSE(b->clicked);
        EXPECT_FALSE(b->pressed);
        Frame(20, y);
        EXPECT_FALSE(b->clicked);
    }
    EXPECT_FALSE(check->on);
}

TEST_F(Controls, ButtonClickWithinOneFrameClicksForExactlyOneFrame) {
    Button* b = Add(new Button(Point{10, 10}, nullptr, "Go"));
    Press();
    Release();
    Frame(20, 15);
    EXPECT_FALSE(b->clicked);  // the snapshot still holds the button this frame
    Frame(20, 15);
    EXPECT_TRUE(b->clicked);
    Frame(20, 15);
    EXPECT_FALSE(b->clicked);

    headless::DoubleClick(*window, 20, 15);
    Frame(20, 15);
    EXPECT_TRUE(b->doubleClicked);
    Frame(20, 15);
    EXPECT_FALSE(b->doubleClicked);
    EXPECT_TRUE(b->clicked);
}

TEST_F(Controls, DraggingInFromOutsideShowsNoHoverAndNoClick) {
    Button* b = Add(new Button(Point{10, 10}, nullptr, "Go"));
    Press();
    Frame(200, 200);
    Frame(20, 15);
    EXPECT_FALSE(b->hover);
    EXPECT_EQ(b->currentFace, 0);
    Release();
    Frame(20, 15);
    EXPECT_FALSE(b->clicked);
    EXPECT_TRUE(b->hover);
}

TEST_F(Controls, ToggleFlipsOnClickUnlessNotChangeable) {
    Button* t = Add(new Button(Point{10, 10}, nullptr, "A", -1, -1, false, true, false));
    Click(20, 15);
    EXPECT_TRUE(t->clicked);
    EXPECT_TRUE(t->on);
    EXPECT_EQ(t->currentFace, 3);
    Click(20, 15);
    EXPECT_FALSE(t->on);

    t->changeable = false;
    Press();
    Frame(20, 15);
    EXPECT_EQ(t->currentFace, 2);  // the look does not follow the press
    Release();
    Frame(20, 15);
    EXPECT_TRUE(t->clicked);
    EXPECT_FALSE(t->on);
    EXPECT_EQ(t->currentFace, 2);
}

TEST_F(Controls, RadioGroupKeepsOneMemberSelected) {
    Button* a = new Button(Point{10, 10}, nullptr, "A", -1, -1, false, true, false);
    Button* b = new Button(Point{70, 10}, nullptr, "B", -1, -1, false, true, true);
    Button* c = new Button(Point{130, 10}, nullptr, "C", -1, -1, false, true, false);
    RadioGroup* g = Add(new RadioGroup(a, b, c));
    EXPECT_EQ(g->selected, 1);
    EXPECT_FALSE(g->changed);
    EXPECT_EQ(g->bounds, Rect(10, 10, 180, 29));

    Click(140, 15);
    EXPECT_EQ(g->selected, 2);
    EXPECT_TRUE(g->changed);
    EXPECT_FALSE(b->on);
    EXPECT_EQ(b->currentFace, 0);
    EXPECT_TRUE(c->on);
    EXPECT_FALSE(c->changeable);
    EXPECT_TRUE(b->changeable);
    Frame(140, 15);
    EXPECT_FALSE(g->changed);

    // Clicking the selected member changes nothing.
    Click(140, 15);
    EXPECT_TRUE(c->clicked);
    EXPECT_TRUE(c->on);
    EXPECT_EQ(g->selected, 2);
    EXPECT_FALSE(g->changed);

    g->Select(-1);
    EXPECT_TRUE(g->changed);
    EXPECT_FALSE(a->on || b->on || c->on);
}

TEST_F(Controls, SliderArrowStepsAndGrooveClicksClamp) {
    // Decrement 10..29, groove 29..229, increment 229..248.
    Slider* s = Add(new Slider(Point{10, 100}, 200, 30, 0, 100, 95, false, true, 1, 10));
    EXPECT_EQ(s->bounds, Rect(10, 100, 248, 119));
    EXPECT_EQ(s->thumb->bounds.left(), 29 + (170 * 95 + 50) / 100);
    Click(235, 105);
    EXPECT_EQ(s->value, 96);
    EXPECT_TRUE(s->changed);
    EXPECT_EQ(s->thumb->bounds.left(), 29 + (170 * 96 + 50) / 100);
    Frame(235, 105);
    EXPECT_FALSE(s->changed);

    // A groove click after the thumb pages up, but not past the maximum.
    Click(226, 105);
    EXPECT_EQ(s->value, 100);
    Click(226, 105);
    EXPECT_EQ(s->value, 100);
    EXPECT_FALSE(s->changed);
    // Before the thumb pages down; on the thumb nothing happens.
    Click(40, 105);
    EXPECT_EQ(s->value, 90);
    const int32_t onThumb = s->thumb->bounds.left() + 3;
    Click(onThumb, 105);
    EXPECT_EQ(s->value, 90);

    for (int i = 0; i < 100; ++i)
        Click(15, 105);
    EXPECT_EQ(s->value, 0);
    EXPECT_EQ(s->thumb->bounds.left(), 29);
}

TEST_F(Controls, SliderDragReachesExactlyMinimumAndMaximum) {
    for (bool horizontal : {true, false}) {
        Slider* s = Add(new Slider(Point{10, 10}, 150, 25, -7, 13, 0, true, horizontal, 1, 5));
        const Point thumb = s->thumb->bounds.topLeft;
        auto at = [&](int32_t along) { return horizontal ? Point{along, thumb.y + 5} : Point{thumb.x + 5, along}; };
        const int32_t start = (horizontal ? thumb.x : thumb.y) + 4;
        Press();
        Frame(at(start).x, at(start).y);
        Frame(at(start + 1000).x, at(start + 1000).y);
        EXPECT_EQ(s->value, 13);
        EXPECT_TRUE(s->changed);
        const Rect groove = s->groove->bounds;
        EXPECT_EQ(horizontal ? s->thumb->bounds.right() : s->thumb->bounds.bottom(),
                  horizontal ? groove.right() : groove.bottom());
        Frame(at(start - 1000).x, at(start - 1000).y);
        EXPECT_EQ(s->value, -7);
        EXPECT_EQ(s->thumb->bounds.topLeft.x, horizontal ? groove.left() : thumb.x);
        // Back to where the drag began: the starting value again.
        Frame(at(start).x, at(start).y);
        EXPECT_EQ(s->value, 0);
        Release();
        Frame(at(start).x, at(start).y);
        window->root.RemoveChild(s);
    }
}

TEST_F(Controls, EditFieldFiltersKeysAndRestoresOnEscape) {
    EditField* f = Add(new EditField(Point{10, 150}, 100, "123", "0123456789", 5));
    Press();
    Release();
    Frame(20, 155);
    EXPECT_TRUE(f->focused);
    Keys({KeyEnd, 'a', '4', 'Z', '5', '6'});
    Frame(20, 155);
    EXPECT_EQ(f->WorkingText(), "12345");
    EXPECT_EQ(f->caretIndex, 5);
    EXPECT_EQ(f->committedText, "123");

    Keys({KeyEscape});
    Frame(20, 155);
    EXPECT_FALSE(f->focused);
    EXPECT_FALSE(f->committed);
    EXPECT_EQ(f->WorkingText(), "123");
    EXPECT_EQ(f->caretIndex, 0);

    // Keys reach only a focused field.
    Keys({'7'});
    Frame(20, 155);
    EXPECT_EQ(f->WorkingText(), "123");
}

TEST_F(Controls, EditFieldEditingKeysAndCommit) {
    EditField* f = Add(new EditField(Point{10, 150}, 100, "abc", nullptr, -1));
    Click(20, 155);
    Keys({KeyHome, KeyBackspace, KeyLeft});
    Frame(20, 155);
    EXPECT_EQ(f->WorkingText(), "abc");
    EXPECT_EQ(f->caretIndex, 0);
    Keys({KeyEnd, KeyDelete, KeyRight, KeyTab, KeyF1});
    Frame(20, 155);
    EXPECT_EQ(f->WorkingText(), "abc");
    EXPECT_EQ(f->caretIndex, 3);
    Keys({KeyLeft, KeyBackspace, 'X', KeyHome, KeyDelete});
    Frame(20, 155);
    EXPECT_EQ(f->WorkingText(), "Xc");
    EXPECT_EQ(f->caretIndex, 0);
    // The caret sits at the label's left plus the width before it.
    EXPECT_EQ(f->caretImage->bounds.left(), f->label->bounds.left());

    Keys({KeyEnter, 'q'});
    Frame(20, 155);
    EXPECT_TRUE(f->committed);
    EXPECT_FALSE(f->focused);
    EXPECT_EQ(f->committedText, "Xc");
    EXPECT_EQ(f->WorkingText(), "Xc");
    Frame(20, 155);
    EXPECT_FALSE(f->committed);
}

TEST_F(Controls, ClickingFromOneFieldIntoAnotherCommitsAndMovesFocus) {
    EditField* first = Add(new EditField(Point{10, 150}, 100, "1", nullptr, -1));
    EditField* second = Add(new EditField(Point{150, 150}, 100, "2", nullptr, -1));
    Click(20, 155);
    Keys({KeyEnd, '5'});
    Frame(20, 155);
    ASSERT_TRUE(first->focused);
    Press();
    Frame(160, 155);
    EXPECT_FALSE(first->focused);
    EXPECT_TRUE(first->committed);
    EXPECT_EQ(first->committedText, "15");
    EXPECT_TRUE(second->focused);
    EXPECT_FALSE(second->committed);
    Release();
    Frame(160, 155);
    EXPECT_FALSE(first->committed);
    EXPECT_TRUE(second->focused);
}

TEST_F(Controls, ScrollViewBarsFollowTheContent) {
    ScrollView* v = Add(new ScrollView(Point{0, 0}, Size{119, 119}));
    ASSERT_EQ(v->Content()->bounds, Rect(0, 0, 100, 100));
    v->Content()->AddChild(new ColorRect(Rect(0, 0, 101, 50), 0xFF0000FF));
    Frame(300, 200);
    ASSERT_NE(v->hBar, nullptr);
    EXPECT_EQ(v->hBar->maximum, 0);  // one pixel too wide: nothing to scroll
    EXPECT_EQ(v->vBar, nullptr);

    v->Content()->DeleteChildren();
    Widget* wide = new ColorRect(Rect(0, 0, 300, 250), 0xFF00FF00);
    v->Content()->AddChild(wide);
    Frame(300, 200);
    ASSERT_NE(v->hBar, nullptr);
    ASSERT_NE(v->vBar, nullptr);
    EXPECT_EQ(v->hBar->maximum, 199);
    EXPECT_EQ(v->vBar->maximum, 149);
    EXPECT_EQ(v->hBar->bounds, Rect(0, 100, 100, 119));
    EXPECT_EQ(v->vBar->bounds, Rect(100, 0, 119, 100));

    // The horizontal increment arrow scrolls by one step.
    Click(90, 110);
    EXPECT_EQ(v->hBar->value, 16);
    EXPECT_EQ(wide->bounds.left(), -16);
    EXPECT_EQ(wide->bounds.top(), 0);
    // Painting stays inside the viewport.
    EXPECT_EQ(Screen().at(50, 50), 0xFF00FF00u);
    EXPECT_EQ(Screen().at(110, 110), 0xFF404040u);
}

TEST(ButtonFace, CornersBorderAndShadow) {
    Bitmap face;
    RenderButtonFace(FaceNormal, face, nullptr, nullptr, 20, 10, false, -1);
    ASSERT_EQ(face.width, 20);
    ASSERT_EQ(face.height, 10);
    const uint32_t grey = packPixel(192, 192, 192);
    const uint32_t black = 0xFF000000;
    // Outline corners cut, the pixels diagonally inside take the border.
    EXPECT_EQ(face.at(0, 0), 0u);
    EXPECT_EQ(face.at(18, 0), 0u);
    EXPECT_EQ(face.at(0, 8), 0u);
    EXPECT_EQ(face.at(1, 1), grey);
    EXPECT_EQ(face.at(17, 1), grey);
    EXPECT_EQ(face.at(1, 7), grey);
    EXPECT_EQ(face.at(17, 7), grey);
    EXPECT_EQ(face.at(5, 0), grey);
    EXPECT_EQ(face.at(18, 4), grey);
    // The shadow: bottom row from x 2, right column from y 2, and the
    // corner pixel between them.
    EXPECT_EQ(face.at(1, 9), 0u);
    for (int32_t x = 2; x <= 18; ++x)
        EXPECT_EQ(face.at(x, 9), black) << x;
    EXPECT_EQ(face.at(19, 1), 0u);
    for (int32_t y = 2; y <= 8; ++y)
        EXPECT_EQ(face.at(19, y), black) << y;
    EXPECT_EQ(face.at(18, 8), black);
    EXPECT_EQ(face.at(19, 9), 0u);
    // The background swells toward the middle row: 160 + 96 sin(y pi / 10).
    EXPECT_EQ(face.at(5, 5), packPixel(255, 255, 255));
    EXPECT_EQ(face.at(5, 1), packPixel(190, 190, 190));

    RenderButtonFace(FaceHover, face, nullptr, nullptr, 20, 10, false, -1);
    EXPECT_EQ(face.at(5, 0), 0xFFFFFFFFu);
}

TEST(ButtonFace, DownFaceShiftsAndDropsTheShadow) {
    Bitmap face;
    RenderButtonFace(FaceDown, face, nullptr, nullptr, 20, 10, false, -1);
    const uint32_t grey = packPixel(192, 192, 192);
    for (int32_t x = 0; x < 20; ++x)
        EXPECT_EQ(face.at(x, 0), 0u) << x;
    for (int32_t y = 0; y < 10; ++y)
        EXPECT_EQ(face.at(0, y), 0u) << y;
    EXPECT_EQ(face.at(1, 1), 0u);
    EXPECT_EQ(face.at(19, 9), 0u);
    EXPECT_EQ(face.at(2, 2), grey);
    EXPECT_EQ(face.at(19, 5), grey);
    EXPECT_EQ(face.at(5, 9), grey);
    // Darker base: 80 + 96 sin(5 pi / 10) at row 5.
    EXPECT_EQ(face.at(5, 5), packPixel(176, 176, 176));
}

TEST(ButtonFace, ProgressModeFillsThePercentInRed) {
    Bitmap face;
    RenderButtonFace(FaceDown, face, nullptr, nullptr, 22, 10, true, 50);
    // Progress faces never shift: p = (22 - 2) * 50 / 100 = 10 red pixels.
    const int32_t level = 80 + 96 - 64;
    EXPECT_EQ(face.at(9, 5), packPixel(level, 0, 0));
    EXPECT_EQ(face.at(10, 5), packPixel(level, level, level));
    EXPECT_EQ(face.at(5, 0), packPixel(192, 64, 64));
    EXPECT_EQ(face.at(21, 5), 0xFF000000u);  // shadow kept

    // Out-of-range percentages stay inside the face.
    RenderButtonFace(FaceNormal, face, nullptr, nullptr, 300, 10, true, -1);
    EXPECT_EQ(face.at(5, 5), packPixel(255 - 64, 255 - 64, 255 - 64));
    RenderButtonFace(FaceNormal, face, nullptr, nullptr, 30, 10, true, 1000);
    EXPECT_EQ(face.at(27, 5), packPixel(255 - 64, 0, 0));
}

TEST(ButtonFace, DefaultSizes) {
    Bitmap icon, face;
    icon.resize(7, 5);
    icon.fill(0xFF000000);
    RenderButtonFace(FaceNormal, face, &icon, nullptr, -1, -1, false, -1);
    EXPECT_EQ(face.width, 7);
    EXPECT_EQ(face.height, 5);
    RenderButtonFace(FaceNormal, face, &icon, "x", -1, -1, false, -1);
    EXPECT_EQ(face.width, 50);
    EXPECT_EQ(face.height, 19);
    RenderButtonFace(FaceNormal, face, nullptr, nullptr, 0, 19, false, -1);
    EXPECT_TRUE(face.isEmpty());
}

TEST_F(Controls, PresentShowsOnlyWhatChanged) {
    Frame(700, 500);
    EXPECT_EQ(Screen().at(300, 300), 0xFF404040u);
    headless::ClearInvalidations(*window);
    Frame(700, 500);
    EXPECT_TRUE(headless::Invalidations(*window).empty());

    ColorRect* patch = Add(new ColorRect(Rect(10, 20, 30, 25), 0xFF00FF00));
    Frame(700, 500);
    ASSERT_EQ(headless::Invalidations(*window).size(), 1u);
    EXPECT_EQ(headless::Invalidations(*window)[0], Rect(10, 20, 30, 25));
    EXPECT_EQ(Screen().at(10, 20), 0xFF00FF00u);
    EXPECT_EQ(Screen().at(30, 20), 0xFF404040u);

    // A resize loses the back buffer's pixels: everything is painted again.
    headless::ClearInvalidations(*window);
    headless::Resize(*window, Size{900, 650});
    EXPECT_EQ(window->root.bounds, Rect(0, 0, 900, 650));
    EXPECT_EQ(window->BackBuffer().at(15, 22), patch->colour);
    EXPECT_EQ(Screen().at(15, 22), patch->colour);
}
