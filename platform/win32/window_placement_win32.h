#pragma once

#include <windows.h>

// Moves a window's rectangle into a monitor's work area (the screen less
// the taskbar): left and up as far as needed for its right and bottom edges
// to show, but never past the work area's top-left corner, so that the
// title bar stays reachable when the window is larger than the area.
inline RECT PlaceInWorkArea(RECT window, const RECT& work) {
    LONG dx = 0, dy = 0;
    if (window.right > work.right)
        dx = work.right - window.right;
    if (window.bottom > work.bottom)
        dy = work.bottom - window.bottom;
    if (window.left + dx < work.left)
        dx = work.left - window.left;
    if (window.top + dy < work.top)
        dy = work.top - window.top;
    OffsetRect(&window, dx, dy);
    return window;
}
