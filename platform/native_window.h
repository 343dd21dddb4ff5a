#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/strings.h"
#include "platform/device_layer.h"
#include "platform/input_state.h"

#include <cstdint>
#include <memory>
#include <vector>

class AppWindow;
struct BackendWindow;  // what the GTK or headless backend keeps per window

// The native part of an AppWindow: the back buffer the window paints into,
// its client size and its input. The pixels are ours; the backend only
// shows them.
struct NativeWindow {
    AppWindow* owner = nullptr;
    bool popup = false;
    Size clientSize{1, 1};
    Size minClientSize{1, 1};
    InputState input;

    // 0x..RRGGBB words, top row first, no padding: clientSize exactly.
    std::unique_ptr<uint32_t[]> pixels;
    Bitmap backBuffer;

    // Screen pixels per client pixel along each side (the desktop's whole
    // scale factor), and the pictures shown at that resolution over the
    // back buffer; none while the scale is 1.
    int32_t deviceScale = 1;
    std::vector<DeviceLayer> layers;

    BackendWindow* backend = nullptr;
};

// Reallocates the back buffer for a new client size (each side at least 1)
// and points the Bitmap at it; the old contents are lost.
void RebuildBackBuffer(NativeWindow& native, Size size);

// What a backend calls when the client area changed size: rebuild the back
// buffer, let the window lay itself out and paint, then show all of it.
void HandleResize(NativeWindow& native, Size size);

// What a backend calls for the close box: the window is destroyed when it
// agrees to close. The NativeWindow is gone afterwards if it did.
void HandleCloseRequest(NativeWindow& native);

// What a backend calls when files were dropped on a window: full local paths
// in UTF-8, in the order given. They reach the application's drop handler as
// one choice of the Open dialog, unless a modal dialog is open or the window
// is a pop-up.
void HandleDroppedFiles(NativeWindow& native, const std::vector<String>& paths);

// The registered window shown in the main native window, if any.
NativeWindow* MainWindowNative();
