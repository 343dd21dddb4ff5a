#include "ui/scroll_view.h"

#include "ui/rect_ops.h"

#include <algorithm>

ScrollView::ScrollView(Point position, ::Size size) : extent(EmptyRect()) {
    content = new ClipPanel(
        Rect(position.x, position.y, position.x + size.width - 19, position.y + size.height - 19));
    AddChild(content);
    Layout();
}

namespace {

// A bar over viewLength pixels of contentLength; its value is how far the
// content is scrolled. The maximum stops one pixel short of the overhang.
Slider* MakeBar(Point at, int32_t viewLength, int32_t contentLength, int32_t scrolled, bool horizontal) {
    const int32_t length = viewLength - 38;
    const int32_t thumb = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{viewLength} * length / contentLength, 8, std::max(length, 8)));
    const int32_t maximum = std::max(contentLength - viewLength - 1, 0);
    const int32_t value = std::clamp(scrolled, 0, maximum);
    return new Slider(at, length, std::min(thumb, std::max(length, 1)), 0, maximum, value, false, horizontal, 16,
                      viewLength);
}

}  // namespace

void ScrollView::Layout() {
    if (hBar) {
        RemoveChild(hBar);
        hBar = nullptr;
    }
    if (vBar) {
        RemoveChild(vBar);
        vBar = nullptr;
    }
    const Rect view = content->bounds;
    if (!extent.isEmpty() && extent.width() > view.width()) {
        hBar = MakeBar(Point{view.left(), view.bottom()}, view.width(), extent.width(),
                       view.left() - extent.left(), true);
        AddChild(hBar);
    }
    if (!extent.isEmpty() && extent.height() > view.height()) {
        vBar = MakeBar(Point{view.right(), view.top()}, view.height(), extent.height(),
                       view.top() - extent.top(), false);
        AddChild(vBar);
    }
    FitToChildren();
}

void ScrollView::Update(const InputState&) {
    Rect e = EmptyRect();
    for (int32_t i = 0; i < content->ChildCount(); ++i)
        UnionInto(e, content->Child(i)->bounds);
    const bool relayout = e != extent;
    if (relayout) {
        extent = e;
        Layout();
    }
    const Rect view = content->bounds;
    int32_t dx = 0, dy = 0;
    if (hBar && (relayout || hBar->changed))
        dx = view.left() - hBar->value - extent.left();
    if (vBar && (relayout || vBar->changed))
        dy = view.top() - vBar->value - extent.top();
    if (dx == 0 && dy == 0)
        return;
    for (int32_t i = 0; i < content->ChildCount(); ++i) {
        Widget* child = content->Child(i);
        child->MarkDirty();
        child->Offset(dx, dy);
        child->MarkDirty();
    }
    extent.topLeft.x += dx;
    extent.topLeft.y += dy;
    extent.bottomRight.x += dx;
    extent.bottomRight.y += dy;
}
