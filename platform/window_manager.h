#pragma once

#include "core/geometry.h"
#include "core/strings.h"

#include <cstdint>

class AppWindow;

// Cursor shapes for SetCursorShape.
enum CursorShape : int32_t {
    CursorArrow = 0,
    CursorSizeAll = 1,
    CursorHand = 2,
    CursorMagnifier = 3,
    CursorMove = 4,
    CursorShapeCount = 5,
};

// Owns the main native window with its menu bar, the cursor choice and the
// ordered list of registered windows. One instance, made by the entry code.
class WindowManager {
public:
    // Builds the menu bar and shows the main native window with an
    // 800 x 600 client area. IsReady() says whether that worked.
    WindowManager();
    // Deletes the registered windows, last first, then the main native window.
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool IsReady() const { return ready_; }

    // The main window's current client size.
    Size ClientSize() const { return clientSize_; }
    void SetTitle(const String& text);
    void SetMenuItemEnabled(int32_t id, bool enabled);
    // 0 to 4; anything else leaves the choice unchanged.
    void SetCursorShape(int32_t index);
    int32_t CurrentCursor() const { return cursor_; }

    int32_t WindowCount() const { return windows_.count; }
    AppWindow* WindowAt(int32_t index) const { return windows_.At<AppWindow>(index); }

    // Used by AppWindow's native part.
    void Register(AppWindow* window);
    void Unregister(AppWindow* window);
    void SetClientSize(Size size) { clientSize_ = size; }

private:
    bool ready_ = false;
    Size clientSize_{800, 600};
    int32_t cursor_ = CursorArrow;
    PointerArray windows_;
};

extern WindowManager* TheWindowManager;
