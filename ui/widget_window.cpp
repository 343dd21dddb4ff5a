#include "ui/widget_window.h"

void WidgetWindow::FitRootToClient() {
    const ::Size s = ClientSize();
    root.bounds = Rect(0, 0, s.width, s.height);
    root.MarkDirty();
}
