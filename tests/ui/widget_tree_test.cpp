#include "tests/support/images.h"
#include "ui/color_rect.h"
#include "ui/image_widget.h"
#include "ui/rect_ops.h"
#include "ui/span_op.h"
#include "ui/widget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t Sentinel = 0x5A5A5A5A;

// Fills its clip and logs its updates and paints.
struct Probe : Widget {
    Probe(const Rect& r, std::string n, std::vector<std::string>* l) : name(std::move(n)), log(l) { bounds = r; }
    void Update(const InputState&) override { log->push_back("update " + name); }
    void Paint(Bitmap& canvas, const Rect& clip) override {
        log->push_back("paint " + name);
        painted.push_back(clip);
        for (int32_t y = clip.top(); y < clip.bottom(); ++y)
            canvas.fillRun(size_t(y) * canvas.width + clip.left(), clip.width(), 0xFF000000u | uint32_t(name.size()));
    }
    std::string name;
    std::vector<std::string>* log;
    std::vector<Rect> painted;
};

size_t CountWritten(const Bitmap& c) { return c.pixelCount() - std::count(c.data, c.data + c.pixelCount(), Sentinel); }

struct Tree : ::testing::Test {
    void SetUp() override { canvas.resize(100, 80); root.bounds = Rect(0, 0, 100, 80); }
    // Paints the dirty area into a canvas reset to the sentinel.
    Rect Frame() { canvas.fill(Sentinel); return root.PaintDirtyInto(canvas); }
    template <typename W> W* Add(Widget& parent, W* child) { parent.AddChild(child); return child; }
    Probe* Add(Widget& parent, const Rect& r, const char* name) { return Add(parent, new Probe(r, name, &log)); }
    RootWidget root;
    Bitmap canvas;
    std::vector<std::string> log;
};

}  // namespace

TEST(RectOps, UnionClampAndBoundingBox) {
    Rect r = EmptyRect();
    UnionInto(r, Rect(5, 6, 7, 8));
    UnionInto(r, EmptyRect());
    EXPECT_EQ(r, Rect(5, 6, 7, 8));
    // Overlapping: the intersection; apart: an empty rectangle on the edge.
    EXPECT_EQ(ClampedInto(Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)), Rect(5, 5, 10, 10));
    EXPECT_EQ(ClampedInto(Rect(0, 0, 4, 4), Rect(5, 5, 20, 20)), Rect(5, 5, 5, 5));
    EXPECT_TRUE(ClampedInto(Rect(0, 0, 4, 4), EmptyRect()).isEmpty());
    const Point pts[3] = {{3, 9}, {-2, 4}, {7, 5}};
    EXPECT_EQ(BoundingBox(pts, 3), Rect(-2, 4, 8, 10));
    // Right and bottom are exclusive.
    EXPECT_EQ(std::tuple(Contains(r, 6, 7), Contains(r, 7, 7), Contains(r, 6, 8)), std::tuple(true, false, false));
}

TEST_F(Tree, WidgetOutsideItsParentIsNeitherMarkedNorPainted) {
    Probe* panel = Add(root, Rect(10, 10, 50, 50), "panel");
    root.dirty = EmptyRect();
    Probe* outside = Add(*panel, Rect(60, 60, 70, 70), "outside");
    EXPECT_TRUE(root.dirty.isEmpty());
    Probe* straddling = Add(*panel, Rect(40, 40, 60, 60), "straddling");
    EXPECT_EQ(root.dirty, Rect(40, 40, 50, 50));  // clipped to the parent

    root.dirty = Rect(0, 0, 100, 80);
    Frame();
    EXPECT_TRUE(outside->painted.empty() && canvas.at(65, 65) == Sentinel);
    EXPECT_EQ(straddling->painted, std::vector<Rect>{Rect(40, 40, 50, 50)});
}

TEST_F(Tree, MarkingNeedsRealBoundsAllTheWayToARoot) {
    // Marks nothing: a subtree not attached to a root, one under an ancestor with empty bounds, or empty bounds.
    Widget detached;
    detached.bounds = Rect(0, 0, 50, 50);
    Add(detached, Rect(5, 5, 10, 10), "leaf")->MarkDirty();
    Widget* hollow = Add(root, new Widget);
    Probe* inner = Add(*hollow, Rect(5, 5, 10, 10), "inner");
    inner->MarkDirty();
    Add(root, EmptyRect(), "empty")->MarkDirty();
    EXPECT_TRUE(root.dirty.isEmpty());
    // Once the container has bounds the same mark lands.
    hollow->SetBounds(Rect(0, 0, 20, 20));
    root.dirty = EmptyRect();
    inner->MarkDirty();
    EXPECT_EQ(root.dirty, Rect(5, 5, 10, 10));
}

// A frame without changes paints nothing; a change repaints only its rectangle.
TEST_F(Tree, ChangeRepaintsOnlyItsRectangle) {
    Add(root, Rect(0, 0, 100, 80), "background");
    Probe* item = Add(*Add(root, Rect(10, 10, 60, 60), "group"), Rect(20, 20, 30, 25), "item");
    EXPECT_EQ(Frame(), Rect(0, 0, 100, 80));
    log.clear();
    EXPECT_TRUE(Frame().isEmpty() && log.empty() && CountWritten(canvas) == 0);

    item->MarkDirty();
    EXPECT_EQ(Frame(), Rect(20, 20, 30, 25));
    EXPECT_EQ(CountWritten(canvas), 50u);

    item->MoveTo(Point{40, 20});  // moving repaints the old and the new place: their union
    EXPECT_EQ(root.dirty, Rect(20, 20, 50, 25));
    Frame();
    EXPECT_EQ(CountWritten(canvas), 150u);

    // The dirty area is clipped to the canvas.
    Add(root, Rect(90, 70, 130, 120), "offscreen");
    EXPECT_EQ(Frame(), Rect(90, 70, 100, 80));
    EXPECT_EQ(CountWritten(canvas), 100u);
}

TEST_F(Tree, RemovingAndDestroyingMarkTheChildren) {
    Probe* group = Add(root, Rect(0, 0, 100, 80), "group");
    Probe* a = Add(*group, Rect(1, 1, 5, 5), "a");
    Add(*group, Rect(10, 10, 20, 20), "b");
    root.dirty = EmptyRect();
    group->RemoveChild(a);
    EXPECT_EQ(std::pair(group->ChildCount(), root.dirty), std::pair(1, Rect(1, 1, 5, 5)));
    root.dirty = EmptyRect();
    group->DeleteChildren();
    EXPECT_EQ(std::pair(group->ChildCount(), root.dirty), std::pair(0, Rect(10, 10, 20, 20)));

    // Destroying a widget marks its children while they are still attached, but not its own area.
    Probe* doomed = Add(*group, Rect(0, 0, 60, 60), "doomed");
    Add(*doomed, Rect(30, 30, 40, 40), "c");
    group->children.RemoveValue(doomed);  // detach without marking, parent kept
    root.dirty = EmptyRect();
    delete doomed;
    EXPECT_EQ(root.dirty, Rect(30, 30, 40, 40));
}

TEST_F(Tree, ColorRectWritesTransparentColoursAndBlendsTranslucentOnes) {
    root.AddChild(new ColorRect(Rect(0, 0, 100, 80), 0x00123456));
    root.AddChild(new ColorRect(Rect(0, 0, 10, 10), 0x80FFFFFF));
    Frame();
    EXPECT_EQ(canvas.at(50, 50), 0x00123456u);
    EXPECT_EQ(canvas.at(5, 5), BlendPixel(0x80FFFFFF, 0x00123456, 0x80));
}

// Image widgets with a picture at the screen's resolution give layers clipped as their painting is; a picture of the
// wrong size, or a scale of 1, gives none.
TEST_F(Tree, DeviceLayersAreClippedToAncestorsAndNeedTheirScale) {
    const auto blank = [](int32_t w, int32_t h) { return generated(w, h, [](int32_t, int32_t) { return 0u; }); };
    const Bitmap small = blank(4, 3), large = blank(2 * 30, 2 * 20), wrong = blank(30, 20), picture = blank(30, 20);
    Probe* panel = Add(root, Rect(10, 10, 50, 40), "panel");
    auto* clipped = Add(*panel, new ImageWidget(Point{40, 30}, &small, false));  // 4 x 3 before
    auto* inside = Add(*panel, new ImageWidget(Point{12, 12}, &picture, false));
    auto* plain = Add(root, new ImageWidget(Point{60, 50}, &picture, false));
    clipped->SetPicture(&wrong);  // now 30 x 20, reaching past the panel
    clipped->SetDevicePicture(&large);
    inside->SetDevicePicture(&large);
    plain->SetDevicePicture(&wrong);

    EXPECT_TRUE(DeviceLayersIn(root, 1).empty());
    const std::vector<DeviceLayer> layers = DeviceLayersIn(root, 2);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].shown, Rect(40, 30, 50, 40));
    EXPECT_EQ(std::pair(layers[0].origin.x, layers[0].origin.y), std::pair(40, 30));
    EXPECT_EQ(std::pair(layers[1].shown, layers[1].picture), std::pair(Rect(12, 12, 42, 32), &large));
    // Three times finer, only the clipped part is small enough.
    const std::vector<DeviceLayer> finer = DeviceLayersIn(root, 3);
    EXPECT_TRUE(finer.size() == 1 && finer[0].shown == Rect(40, 30, 50, 40)) << finer.size();
    // A layer must start inside its picture.
    for (const Rect r : {Rect(11, 12, 20, 20), Rect(12, 11, 20, 20)}) EXPECT_FALSE(LayerFits({r, {12, 12}, &large}, 2));
}
