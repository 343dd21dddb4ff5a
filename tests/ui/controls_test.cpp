#include "core/bilinear_weights.h"
#include "platform/headless.h"
#include "platform/main_loop.h"
#include "platform/window_manager.h"
#include "ui/color_rect.h"
#include "ui/edit_field.h"
#include "ui/scroll_view.h"
#include "ui/slider.h"
#include "ui/ui_resources.h"
#include "ui/widget_window.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// A window's tree on the headless backend, driven frame by frame: input is injected as the native layer would
// deliver it, then each frame of the loop takes the snapshot, updates the tree and presents what changed.
struct Controls : ::testing::Test {
    void SetUp() override {
        InitBilinearWeights();
        TheUiResources = new UiResources;
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
        delete TheUiResources;  // the destructor empties it
    }
    void Frame(int32_t x, int32_t y) { headless::MoveMouse(*window, x, y); WalkWindows(); }
    void Press() { headless::PressButton(*window, MouseLeft); }
    void Release() { headless::ReleaseButton(*window, MouseLeft); }
    // Press and release between two snapshots, then the frame that sees the release.
    void Click(int32_t x, int32_t y) { Press(); Release(); Frame(x, y); Frame(x, y); }
    // Named keys or typed characters, then the frame that sees them.
    void Keys(std::initializer_list<uint8_t> codes) {
        static const std::pair<uint8_t, NativeKey> named[] = {
            {KeyEnd, NativeKey::End},   {KeyEscape, NativeKey::Escape}, {KeyHome, NativeKey::Home},
            {KeyLeft, NativeKey::Left}, {KeyRight, NativeKey::Right},   {KeyDelete, NativeKey::Delete}};
        for (uint8_t c : codes) {
            NativeKey key = NativeKey::Other;
            for (const auto& [code, native] : named) key = c == code ? native : key;
            headless::KeyPress(*window, key, key == NativeKey::Other ? c : 0);
        }
        WalkWindows();
    }
    template <typename T>
    T* Add(T* w, Widget* parent = nullptr) { (parent ? *parent : window->root).AddChild(w); return w; }
    const Bitmap& Screen() { return headless::Screen(*window); }

    WidgetWindow* window = nullptr;
};

}  // namespace

TEST_F(Controls, SliderArrowStepsAndGrooveClicksClamp) {
    // Decrement 10..29, groove 29..229, increment 229..248.
    Slider* s = Add(new Slider(Point{10, 100}, 200, 30, 0, 100, 95, false, true, 1, 10));
    EXPECT_EQ(s->bounds, Rect(10, 100, 248, 119));
    EXPECT_EQ(s->thumb->bounds.left(), 29 + (170 * 95 + 50) / 100);
    Click(235, 105);
    EXPECT_EQ(std::pair(s->value, s->changed), std::pair(96, true));
    EXPECT_EQ(s->thumb->bounds.left(), 29 + (170 * 96 + 50) / 100);
    Frame(235, 105);
    EXPECT_FALSE(s->changed);

    // A groove click after the thumb pages up, but not past the maximum.
    for (int i = 0; i < 2; ++i) { Click(226, 105); EXPECT_EQ(s->value, 100); }
    EXPECT_FALSE(s->changed);
    // Before the thumb pages down; on the thumb nothing happens.
    Click(40, 105);
    EXPECT_EQ(s->value, 90);
    Click(s->thumb->bounds.left() + 3, 105);
    EXPECT_EQ(s->value, 90);

    for (int i = 0; i < 100; ++i) Click(15, 105);
    EXPECT_EQ(std::pair(s->value, s->thumb->bounds.left()), std::pair(0, 29));
}

TEST_F(Controls, SliderDragReachesExactlyMinimumAndMaximum) {
    for (bool horizontal : {true, false}) {
        Slider* s = Add(new Slider(Point{10, 10}, 150, 25, -7, 13, 0, true, horizontal, 1, 5));
        const Point thumb = s->thumb->bounds.topLeft;
        const auto drag = [&](int32_t along) { horizontal ? Frame(along, thumb.y + 5) : Frame(thumb.x + 5, along); };
        const int32_t start = (horizontal ? thumb.x : thumb.y) + 4;
        Press();
        drag(start);
        drag(start + 1000);
        EXPECT_EQ(std::pair(s->value, s->changed), std::pair(13, true));
        const Rect groove = s->groove->bounds;
        EXPECT_EQ(horizontal ? s->thumb->bounds.right() : s->thumb->bounds.bottom(),
                  horizontal ? groove.right() : groove.bottom());
        drag(start - 1000);
        EXPECT_EQ(std::pair(s->value, s->thumb->bounds.topLeft.x), std::pair(-7, horizontal ? groove.left() : thumb.x));
        // Back at the start: its value again; 4 of the 125 pixels of travel are 0.64 of a step up: rounds to -6.
        for (auto [to, value] : {std::pair(start, 0), {start - 40, -6}}) { drag(to); EXPECT_EQ(s->value, value) << to; }
        Release();
        drag(start);
        window->root.RemoveChild(s);
    }
}

TEST_F(Controls, EditFieldFiltersKeysAndRestoresOnEscape) {
    EditField* f = Add(new EditField(Point{10, 150}, 100, "123", "0123456789", 5));
    Click(20, 155);
    EXPECT_TRUE(f->focused);
    Keys({KeyEnd, 'a', '4', 'Z', '5', '6'});
    EXPECT_EQ(std::tuple(f->WorkingText(), f->caretIndex, f->committedText), std::tuple("12345", 5, "123"));

    Keys({KeyEscape});
    EXPECT_EQ(std::tuple(f->focused || f->committed, f->WorkingText(), f->caretIndex), std::tuple(false, "123", 0));

    Keys({'7'});  // keys reach only a focused field
    EXPECT_EQ(f->WorkingText(), "123");

    // The caret stops at either end; Delete takes the character after it.
    Click(20, 155);
    Keys({KeyHome, KeyDelete, KeyRight, KeyRight, KeyRight, KeyDelete, KeyLeft, '9'});
    EXPECT_EQ(std::tuple(f->WorkingText(), f->caretIndex), std::tuple("293", 2));
    Keys({KeyLeft, KeyLeft, KeyLeft});
    EXPECT_EQ(f->caretIndex, 0);
}

TEST_F(Controls, ScrollViewBarsFollowTheContent) {
    ScrollView* v = Add(new ScrollView(Point{0, 0}, Size{119, 119}));
    ASSERT_EQ(v->Content()->bounds, Rect(0, 0, 100, 100));
    v->Content()->AddChild(new ColorRect(Rect(0, 0, 101, 50), 0xFF0000FF));
    Frame(300, 200);
    ASSERT_TRUE(v->hBar && !v->vBar);
    EXPECT_EQ(v->hBar->maximum, 0);  // one pixel too wide: nothing to scroll

    v->Content()->DeleteChildren();
    Widget* wide = Add(new ColorRect(Rect(0, 0, 300, 250), 0xFF00FF00), v->Content());
    Frame(300, 200);
    ASSERT_TRUE(v->hBar && v->vBar);
    EXPECT_EQ(std::pair(v->hBar->maximum, v->vBar->maximum), std::pair(199, 149));
    EXPECT_EQ(std::pair(v->hBar->bounds, v->vBar->bounds), std::pair(Rect(0, 100, 100, 119), Rect(100, 0, 119, 100)));

    Click(90, 110);  // the horizontal increment arrow scrolls by one step
    EXPECT_EQ(std::tuple(v->hBar->value, wide->bounds.left(), wide->bounds.top()), std::tuple(16, -16, 0));
    // Painting stays inside the viewport.
    EXPECT_EQ(std::pair(Screen().at(50, 50), Screen().at(110, 110)), std::pair(0xFF00FF00u, 0xFF404040u));
}

TEST_F(Controls, PresentShowsOnlyWhatChanged) {
    Frame(700, 500);
    EXPECT_EQ(Screen().at(300, 300), 0xFF404040u);
    headless::ClearInvalidations(*window);
    Frame(700, 500);
    EXPECT_TRUE(headless::Invalidations(*window).empty());

    ColorRect* patch = Add(new ColorRect(Rect(10, 20, 30, 25), 0xFF00FF00));
    Frame(700, 500);
    EXPECT_EQ(headless::Invalidations(*window), std::vector<Rect>{Rect(10, 20, 30, 25)});
    EXPECT_EQ(std::pair(Screen().at(10, 20), Screen().at(30, 20)), std::pair(0xFF00FF00u, 0xFF404040u));

    // A resize loses the back buffer's pixels: everything is painted again.
    headless::ClearInvalidations(*window);
    headless::Resize(*window, Size{900, 650});
    EXPECT_EQ(window->root.bounds, Rect(0, 0, 900, 650));
    EXPECT_EQ(std::pair(window->BackBuffer().at(15, 22), Screen().at(15, 22)), std::pair(patch->colour, patch->colour));
}
