#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/strings.h"
#include "platform/device_layer.h"
#include "platform/input_state.h"

#include <vector>

struct NativeWindow;  // the backend's part of a window (GTK or headless)

// Base of every top-level window. The frame loop takes each registered
// window's input snapshot, hands it to DispatchInput() while the window is
// active, then calls Update() and Present(). The widget toolkit derives from
// this class and routes DispatchInput() into its widget tree and Present()
// into its dirty-rectangle painter.
//
// Windows live on the heap: the frame loop, the close box and the window
// manager's shutdown destroy them with delete.
class AppWindow {
public:
    AppWindow() = default;
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;
    // Releases the native part, which unregisters the window.
    virtual ~AppWindow();

    // Repaints what changed into the back buffer and shows it.
    virtual void Present() {}
    virtual bool CanClose() { return true; }
    // True when the window is finished and must be destroyed.
    virtual bool Update(const InputState&) { return false; }
    virtual void OnResize() {}
    // Called by the frame loop, only while the window is active.
    virtual void DispatchInput(const InputState&) {}

    // Creates the native part and registers the window with the window
    // manager. A non-popup window attaches to the main native window (and
    // asks for clientSize there); a popup gets its own fixed-size window,
    // owned by the main one. False without a window manager, or when the
    // main native window already has a window attached.
    bool CreateNative(const String& title, Size clientSize, Size minClientSize, bool popup);
    // Frees the native part and unregisters the window. Releasing the main
    // window posts the quit message.
    void ReleaseNative();
    bool HasNative() const { return native_ != nullptr; }
    bool IsPopup() const;

    // The 32-bit back buffer of the client area (never 0 x 0 while the
    // native part exists; an empty Bitmap without one).
    Bitmap& BackBuffer();
    Size ClientSize() const;
    // Shows the given client rectangle (all of it with no argument) at once;
    // an empty rectangle does nothing.
    void Invalidate(const Rect& rect);
    void Invalidate();
    void BringToTop();

    // Screen pixels per client pixel along each side: 1, or the desktop's
    // whole scale factor (2 at 200 %). The client area and everything above
    // count in client pixels whatever it is.
    int32_t DeviceScale() const;
    // The pictures shown at that resolution over the back buffer from the
    // next repaint on, in place of those set before. Nothing of the window's
    // own is drawn over them. Ignored at a scale of 1 and for layers that do
    // not fit (LayerFits).
    void SetDeviceLayers(std::vector<DeviceLayer> layers);

    // Turns the events gathered since the last frame into the snapshot.
    void TakeInputSnapshot();
    InputState& Input();
    const InputState& Input() const;

    NativeWindow* Native() const { return native_; }

private:
    NativeWindow* native_ = nullptr;
};
