#pragma once

#include "platform/app_window.h"
#include "ui/widget.h"

// A native window whose client area is drawn by a widget tree: the frame
// loop's input goes to the tree's update, and Present repaints the dirty
// area into the back buffer and shows it.
class WidgetWindow : public AppWindow {
public:
    WidgetWindow() = default;
    // The tree goes before the native part, so that nothing is marked on a
    // window that no longer exists.
    ~WidgetWindow() override { root.DeleteChildren(); }

    void DispatchInput(const InputState& snapshot) override { root.UpdateTree(snapshot); }
    void Present() override { root.PaintDirty(*this); }
    // The back buffer was rebuilt and its pixels are gone: the root takes the
    // new client area and all of it is repainted.
    void OnResize() override { FitRootToClient(); }

    // Sets the root's bounds to the client area and marks it all dirty; call
    // once the native part exists.
    void FitRootToClient();

    RootWidget root;
};
