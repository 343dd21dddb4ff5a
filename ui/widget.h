#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/strings.h"
#include "platform/input_state.h"

#include <cstdint>

class AppWindow;

// Type ids answered by TypeId(). The toolkit itself only tests for the root.
enum WidgetTypeId : int32_t {
    TypeWidget = 0,
    TypeRootWidget = 1,
    TypeClipPanel = 2,
    TypeColorRect = 3,
    TypeImageWidget = 5,
    TypeQuadImage = 7,
    TypeTextLabel = 9,
    TypeButton = 10,
    TypeRadioGroup = 11,
    TypeSlider = 12,
    TypeEditField = 13,
    TypeScrollView = 14,
    TypeDropShadow = 17,
};

// A node of the window's widget tree. Bounds are absolute back-buffer
// coordinates; a child need not lie inside its parent but is clipped to
// every ancestor when painted and when marked dirty. A widget owns its
// children and destroys them with itself.
class Widget {
public:
    Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;
    // Marks each child dirty while still attached, then destroys it. The
    // widget's own area is not marked: RemoveChild does that.
    virtual ~Widget();

    virtual int32_t TypeId() const { return TypeWidget; }
    virtual bool QueryFlag() const { return false; }
    // Polls the frame's snapshot; runs after the children's updates.
    virtual void Update(const InputState&) {}
    // Draws inside clip, which already lies within the bounds and canvas.
    virtual void Paint(Bitmap&, const Rect&) {}

    Widget* parent = nullptr;
    PointerArray children;
    Rect bounds;

    int32_t ChildCount() const { return children.count; }
    Widget* Child(int32_t i) const { return children.At<Widget>(i); }

    // Takes ownership of child and appends it.
    void AddChild(Widget* child);
    // Removes every occurrence of child and destroys it.
    void RemoveChild(Widget* child);
    void DeleteChildren();

    void SetBounds(const Rect& r);
    void SetPositionSize(Point p, ::Size s);
    // Moves this widget and its subtree so that the top-left corner lands on p.
    void MoveTo(Point p);
    // Moves this widget and its subtree without marking anything.
    void Offset(int32_t dx, int32_t dy);
    void FitToChildren();

    Point Position() const { return bounds.topLeft; }
    ::Size Size() const { return ::Size{bounds.width(), bounds.height()}; }

    // Adds the bounds, clipped to every ancestor, to the root's dirty area.
    // Nothing happens when the tree has no root at the top.
    void MarkDirty();
};

// Paints a subtree: children first, in order, then the widget itself, each
// clipped to its own bounds and to clip.
void PaintSubtree(Widget* widget, Bitmap& canvas, const Rect& clip);

// The top of a window's tree. Collects the rectangles to repaint. Its bounds
// clip every mark like any ancestor's, so its owner gives it the client area
// (WidgetWindow does).
class RootWidget : public Widget {
public:
    RootWidget();
    int32_t TypeId() const override { return TypeRootWidget; }
    bool QueryFlag() const override { return true; }

    Rect dirty;

    // Runs Update over every subtree in post-order: a container sees its
    // children's new state in the same frame.
    void UpdateTree(const InputState& snapshot);
    // Repaints the dirty area into the canvas and resets it; returns the
    // area painted (empty when nothing was dirty).
    Rect PaintDirtyInto(Bitmap& canvas);
    // The same into the window's back buffer, then shows that area.
    void PaintDirty(AppWindow& window);
};
