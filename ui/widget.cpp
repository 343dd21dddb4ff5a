#include "ui/widget.h"

#include "ui/rect_ops.h"

Widget::Widget() : bounds(EmptyRect()) {}

Widget::~Widget() {
    for (int32_t i = 0; i < children.count; ++i) {
        Widget* child = Child(i);
        child->MarkDirty();
        child->parent = nullptr;
        delete child;
    }
    children.Empty();
}

void Widget::AddChild(Widget* child) {
    children.Append(child);
    child->parent = this;
    child->MarkDirty();
}

void Widget::RemoveChild(Widget* child) {
    child->MarkDirty();
    children.RemoveValue(child);
    child->parent = nullptr;
    delete child;
}

void Widget::DeleteChildren() {
    for (int32_t i = 0; i < children.count; ++i) {
        Widget* child = Child(i);
        child->MarkDirty();
        child->parent = nullptr;
        delete child;
    }
    children.Empty();
}

void Widget::SetBounds(const Rect& r) {
    MarkDirty();
    bounds = r;
    MarkDirty();
}

void Widget::SetPositionSize(Point p, ::Size s) {
    // An empty rectangle marks nothing, so the old bounds only count when real.
    SetBounds(Rect(p.x, p.y, p.x + s.width, p.y + s.height));
}

void Widget::MoveTo(Point p) {
    MarkDirty();
    Offset(p.x - bounds.left(), p.y - bounds.top());
    MarkDirty();
}

void Widget::Offset(int32_t dx, int32_t dy) {
    bounds.topLeft.x += dx;
    bounds.topLeft.y += dy;
    bounds.bottomRight.x += dx;
    bounds.bottomRight.y += dy;
    for (int32_t i = 0; i < children.count; ++i)
        Child(i)->Offset(dx, dy);
}

void Widget::FitToChildren() {
    Rect r = EmptyRect();
    for (int32_t i = 0; i < children.count; ++i)
        UnionInto(r, Child(i)->bounds);
    SetBounds(r);
}

void Widget::MarkDirty() {
    if (bounds.isEmpty())
        return;
    Rect r = bounds;
    Widget* top = this;
    for (Widget* a = parent; a; a = a->parent) {
        if (a->bounds.isEmpty())
            return;
        ClampInto(r, a->bounds);
        if (r.isEmpty())
            return;
        top = a;
    }
    if (top->TypeId() == TypeRootWidget)
        UnionInto(static_cast<RootWidget*>(top)->dirty, r);
}

void PaintSubtree(Widget* widget, Bitmap& canvas, const Rect& clip) {
    const Rect r = ClampedInto(widget->bounds, clip);
    if (r.isEmpty())
        return;
    for (int32_t i = 0; i < widget->children.count; ++i)
        PaintSubtree(widget->Child(i), canvas, r);
    widget->Paint(canvas, r);
}

RootWidget::RootWidget() : dirty(EmptyRect()) {}

namespace {

void UpdatePostOrder(Widget* w, const InputState& snapshot) {
    // Children may be added or removed by an update; index each time.
    for (int32_t i = 0; i < w->children.count; ++i)
        UpdatePostOrder(w->Child(i), snapshot);
    w->Update(snapshot);
}

}  // namespace

void RootWidget::UpdateTree(const InputState& snapshot) {
    for (int32_t i = 0; i < children.count; ++i)
        UpdatePostOrder(Child(i), snapshot);
}

Rect RootWidget::PaintDirtyInto(Bitmap& canvas) {
    if (dirty.isEmpty()) {
        dirty = EmptyRect();
        return dirty;
    }
    ClampInto(dirty, canvas.bounds());
    for (int32_t i = 0; i < children.count; ++i) {
        Widget* child = Child(i);
        const Rect r = ClampedInto(child->bounds, dirty);
        if (r.isEmpty())
            continue;
        for (int32_t j = 0; j < child->children.count; ++j)
            PaintSubtree(child->Child(j), canvas, r);
        child->Paint(canvas, r);
    }
    const Rect shown = dirty;
    dirty = EmptyRect();
    return shown;
}
