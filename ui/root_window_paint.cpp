#include "platform/app_window.h"
#include "ui/image_widget.h"
#include "ui/widget.h"

// Kept apart from the tree so that programs without a native window (tests,
// the gallery) do not pull in the window layer.
void RootWidget::PaintDirty(AppWindow& window) {
    const Rect shown = PaintDirtyInto(window.BackBuffer());
    if (shown.isEmpty())
        return;
    if (window.DeviceScale() > 1)
        window.SetDeviceLayers(DeviceLayersIn(*this, window.DeviceScale()));
    window.Invalidate(shown);
}
