#pragma once

// Shared between the Win32 backend's window and dialog halves.

#include "core/geometry.h"
#include "core/strings.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

struct NativeWindow;

struct BackendWindow {
    HWND hwnd = nullptr;
    NativeWindow* native = nullptr;  // null while nothing is attached (main window only)
    bool popup = false;

    // The back buffer: a 32-bit top-down DIB section selected into a memory
    // device context, so WM_PAINT is one block copy.
    HDC memoryDc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ previousBitmap = nullptr;

    // The smallest outer size the window may be dragged to.
    Size minTrackSize;

    // A size that arrived while the window could not lay itself out (inside
    // a modal dialog, or while it was being attached), applied at the next
    // snapshot.
    bool resizePending = false;
    Size pendingSize;
};

namespace win32backend {

// Text for the Windows API and back; text that is not UTF-8 becomes empty.
inline std::wstring Wide(const String& text) { return WideFromUtf8(text.str()); }
inline String Utf8(const wchar_t* text) { return String(Utf8FromWide(text, std::wcslen(text))); }

// The main native window; null before it is made and after it is gone.
HWND MainWindow();

}  // namespace win32backend
