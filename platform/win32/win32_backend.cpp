// The Windows window system: one window class for the main window and the
// pop-ups, a menu bar built at run time from MenuTable, and our pixels shown
// from a DIB section by a block copy. The frame loop polls the message queue
// instead of blocking in GetMessage.

#include "platform/app_window.h"
#include "platform/backend.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/native_window.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/win32_state.h"
#include "platform/win32/window_placement_win32.h"
#include "platform/window_manager.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

using win32backend::Utf8;
using win32backend::Wide;

namespace {

const wchar_t* const ClassName = L"WindowClass";
constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD PopupStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
// Where the main window's client area starts on the screen.
constexpr int MainClientLeft = 50;
constexpr int MainClientTop = 80;

struct State {
    HINSTANCE instance = nullptr;
    bool classRegistered = false;
    HWND mainWindow = nullptr;
    HMENU menuBar = nullptr;
    HACCEL accelerators = nullptr;
    BackendWindow mainBackend;
    HCURSOR cursors[CursorShapeCount] = {};
    int32_t cursor = 0;
    // Set while a window is being attached: its size messages wait for the
    // next snapshot because the window is not ready to lay itself out.
    bool attaching = false;
    bool comStarted = false;
};

State& S() {
    static State state;
    return state;
}

BackendWindow* WindowOf(HWND hwnd) { return reinterpret_cast<BackendWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

HCURSOR CurrentCursor() {
    State& s = S();
    int32_t index = s.cursor >= 0 && s.cursor < CursorShapeCount ? s.cursor : 0;
    return s.cursors[index] ? s.cursors[index] : s.cursors[0];
}

void LoadCursors() {
    State& s = S();
    s.cursors[CursorArrow] = LoadCursorW(nullptr, IDC_ARROW);
    s.cursors[CursorSizeAll] = LoadCursorW(nullptr, IDC_SIZEALL);
    s.cursors[CursorHand] = LoadCursorW(s.instance, MAKEINTRESOURCEW(VISTREL_CURSOR_HAND));
    s.cursors[CursorMagnifier] = LoadCursorW(s.instance, MAKEINTRESOURCEW(VISTREL_CURSOR_MAGNIFIER));
    s.cursors[CursorMove] = LoadCursorW(s.instance, MAKEINTRESOURCEW(VISTREL_CURSOR_MOVE));
}

// The outer size of a window with this client size and style.
Size OuterSize(Size client, DWORD style, bool menu) {
    RECT r = {0, 0, client.width, client.height};
    AdjustWindowRectEx(&r, style, menu ? TRUE : FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

void FreeBackBuffer(BackendWindow& bw) {
    if (bw.memoryDc) {
        SelectObject(bw.memoryDc, bw.previousBitmap);
        DeleteDC(bw.memoryDc);
    }
    if (bw.dib)
        DeleteObject(bw.dib);
    bw.memoryDc = nullptr;
    bw.dib = nullptr;
    bw.previousBitmap = nullptr;
}

// Puts the back buffer into a DIB section of the client size: the window's
// Bitmap then draws straight into what WM_PAINT copies. The NativeWindow
// keeps its own pixels for when the DIB goes.
void BuildBackBuffer(BackendWindow& bw, NativeWindow& native) {
    FreeBackBuffer(bw);
    Size size = native.clientSize;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.width;
    info.bmiHeader.biHeight = -size.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    bw.dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bw.memoryDc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bw.dib || !bw.memoryDc || !bits) {
        // Without a DIB the window shows black; the program goes on drawing
        // into its own pixels.
        FreeBackBuffer(bw);
        return;
    }
    bw.previousBitmap = SelectObject(bw.memoryDc, bw.dib);
    std::memcpy(bits, native.pixels.get(),
                static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * sizeof(uint32_t));
    native.backBuffer.attach(size.width, size.height, static_cast<uint32_t*>(bits));
}

// Gives the window its own pixels back before the DIB goes.
void ReleaseBackBuffer(BackendWindow& bw, NativeWindow& native) {
    if (bw.dib) {
        Size size = native.clientSize;
        std::memcpy(native.pixels.get(), native.backBuffer.data,
                    static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * sizeof(uint32_t));
        native.backBuffer.attach(size.width, size.height, native.pixels.get());
    }
    FreeBackBuffer(bw);
}

void Paint(HWND hwnd, BackendWindow* bw) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    int width = 0, height = 0;
    if (bw && bw->native && bw->memoryDc) {
        width = bw->native->clientSize.width;
        height = bw->native->clientSize.height;
        BitBlt(dc, 0, 0, width, height, bw->memoryDc, 0, 0, SRCCOPY);
    }
    // A client area larger than the buffer (until the next frame) is black.
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    if (client.right > width) {
        RECT r = {width, 0, client.right, client.bottom};
        FillRect(dc, &r, black);
    }
    if (client.bottom > height) {
        RECT r = {0, height, std::min<LONG>(width, client.right), client.bottom};
        FillRect(dc, &r, black);
    }
    EndPaint(hwnd, &ps);
}

void ApplyResize(BackendWindow& bw, Size size) {
    NativeWindow* native = bw.native;
    if (!native)
        return;
    if (S().attaching || ModalDialogOpen()) {
        bw.resizePending = true;
        bw.pendingSize = size;
        return;
    }
    bw.resizePending = false;
    if (size.width != native->clientSize.width || size.height != native->clientSize.height)
        HandleResize(*native, size);
}

uint32_t ButtonOf(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: return MouseLeft;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return MouseRight;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return MouseMiddle;
    default: return 0;
    }
}

NativeKey KeyFor(WPARAM virtualKey) {
    switch (virtualKey) {
    case VK_LEFT: return NativeKey::Left;
    case VK_RIGHT: return NativeKey::Right;
    case VK_UP: return NativeKey::Up;
    case VK_DOWN: return NativeKey::Down;
    case VK_PRIOR: return NativeKey::PageUp;
    case VK_NEXT: return NativeKey::PageDown;
    case VK_HOME: return NativeKey::Home;
    case VK_END: return NativeKey::End;
    case VK_DELETE: return NativeKey::Delete;
    case VK_ESCAPE: return NativeKey::Escape;
    default: break;
    }
    if (virtualKey >= VK_F1 && virtualKey <= VK_F12)
        return static_cast<NativeKey>(static_cast<int>(NativeKey::F1) + static_cast<int>(virtualKey - VK_F1));
    return NativeKey::Other;
}

void DropFiles(BackendWindow* bw, HDROP drop) {
    std::vector<String> paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        paths.push_back(Utf8(path.c_str()));
    }
    DragFinish(drop);
    if (bw && bw->native)
        HandleDroppedFiles(*bw->native, paths);
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    BackendWindow* bw = WindowOf(hwnd);
    NativeWindow* native = bw ? bw->native : nullptr;
    switch (message) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        if (native) {
            // Dragging outside the window keeps reporting to it.
            SetCapture(hwnd);
            native->input.OnButtonDown(ButtonOf(message));
        }
        return 0;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
        if (native) {
            ReleaseCapture();
            native->input.OnButtonUp(ButtonOf(message));
        }
        return 0;
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
        // The second press of a double click starts a drag as well.
        if (native) {
            SetCapture(hwnd);
            native->input.OnDoubleClick(ButtonOf(message));
        }
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (Alt+Tab, a menu, a dialog): the
        // release will never reach us, so nothing stays held.
        if (native && reinterpret_cast<HWND>(lParam) != hwnd)
            native->input.OnButtonUp(MouseLeft | MouseRight | MouseMiddle);
        return 0;
    case WM_CANCELMODE:
    case WM_KILLFOCUS:
        if (native) {
            if (GetCapture() == hwnd)
                ReleaseCapture();
            native->input.OnButtonUp(MouseLeft | MouseRight | MouseMiddle);
        }
        break;
    case WM_MOUSEWHEEL:
        if (native)
            native->input.OnWheel(static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_MOUSEMOVE:
        SetCursor(CurrentCursor());
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(CurrentCursor());
            return TRUE;
        }
        break;
    case WM_KEYDOWN:
        if (native)
            native->input.OnKeyDown(KeyFor(wParam));
        return 0;
    case WM_SYSKEYDOWN:
        // F10 would open the menu bar; it is one of the program's keys.
        // Alt combinations stay with the menu bar's mnemonics.
        if (wParam == VK_F10) {
            if (native)
                native->input.OnKeyDown(NativeKey::F10);
            return 0;
        }
        break;
    case WM_SYSKEYUP:
        // Its release too: passed on, it would still open the menu bar.
        if (wParam == VK_F10)
            return 0;
        break;
    case WM_CHAR:
        if (native)
            native->input.OnCharacter(static_cast<uint32_t>(wParam));
        return 0;
    case WM_SIZE:
        // Minimised, the client area is 0 x 0: the buffer keeps 1 x 1.
        if (bw)
            ApplyResize(*bw, {std::max<int>(LOWORD(lParam), 1), std::max<int>(HIWORD(lParam), 1)});
        break;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint(hwnd, bw);
        return 0;
    case WM_CLOSE:
        // The frame that opened a dialog is still running: closing under it
        // would delete the window it belongs to.
        if (native && !ModalDialogOpen())
            HandleCloseRequest(*native);
        // The native window goes with its owner: a pop-up when its
        // AppWindow is deleted, the main window at shutdown.
        return 0;
    case WM_GETMINMAXINFO:
        if (bw && bw->minTrackSize.width > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = bw->minTrackSize.width;
            info->ptMinTrackSize.y = bw->minTrackSize.height;
        }
        return 0;
    case WM_COMMAND:
        // Menu items (0) and accelerators (1); controls send a window handle.
        if (lParam == 0 && HIWORD(wParam) <= 1 && !ModalDialogOpen())
            DispatchMenuCommand(LOWORD(wParam));
        return 0;
    case WM_DROPFILES:
        DropFiles(bw, reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Win32MenuBuilder : public MenuBuilder {
public:
    explicit Win32MenuBuilder(HMENU bar) { stack_.push_back(bar); }
    void BeginSubmenu(const MenuRow& row) override {
        HMENU submenu = CreatePopupMenu();
        Insert(row, submenu);
        stack_.push_back(submenu);
    }
    void AddItem(const MenuRow& row) override {
        Insert(row, nullptr);
        if (row.accelerator && !row.separator) {
            ACCEL accel = {};
            accel.fVirt = static_cast<BYTE>(FVIRTKEY | (row.shift ? FSHIFT : 0) | (row.control ? FCONTROL : 0) |
                                            (row.alt ? FALT : 0));
            accel.key = static_cast<WORD>(LOBYTE(VkKeyScanW(static_cast<WCHAR>(row.accelerator))));
            accel.cmd = static_cast<WORD>(row.id);
            accelerators.push_back(accel);
        }
    }
    void EndSubmenu() override { stack_.pop_back(); }

    std::vector<ACCEL> accelerators;

private:
    void Insert(const MenuRow& row, HMENU submenu) {
        HMENU menu = stack_.back();
        std::wstring text = Wide(String(row.text));
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | (row.separator ? 0 : MIIM_STRING) | (submenu ? MIIM_SUBMENU : 0);
        item.fType = row.separator ? MFT_SEPARATOR : MFT_STRING;
        item.fState = row.enabled ? MFS_ENABLED : MFS_DISABLED;
        item.wID = static_cast<UINT>(row.id);
        item.hSubMenu = submenu;
        item.dwTypeData = row.separator ? nullptr : &text[0];
        InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
    }
    std::vector<HMENU> stack_;
};

}  // namespace

namespace win32backend {

HWND MainWindow() { return S().mainWindow; }

}  // namespace win32backend

bool BackendStart() {
    State& s = S();
    // The shell's dialogs and ShellExecuteW expect a single-threaded
    // apartment on the thread that calls them.
    if (!s.comStarted)
        s.comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    s.instance = GetModuleHandleW(nullptr);
    LoadCursors();
    if (!s.classRegistered) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProcedure;
        wc.hInstance = s.instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = ClassName;
        s.classRegistered = RegisterClassExW(&wc) != 0;
    }
    return s.classRegistered;
}

void BackendStop() {
    State& s = S();
    if (s.classRegistered)
        UnregisterClassW(ClassName, s.instance);
    s.classRegistered = false;
    if (s.comStarted)
        CoUninitialize();
    s.comStarted = false;
}

// The work area (screen less taskbar) of the monitor the window is mostly on.
static RECT WorkAreaFor(HWND window, const RECT& rect) {
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    RECT work = rect;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

static void KeepInWorkArea(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r))
        return;
    RECT placed = PlaceInWorkArea(r, WorkAreaFor(window, r));
    if (placed.left != r.left || placed.top != r.top)
        SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window is laid out in fixed pixels and Windows enlarges it by the
// display's scale. When the enlarged window would not fit the work area
// (1366 x 768 at 125 %), the program takes the display's real pixels
// instead: smaller, but every button on screen. Only possible before the
// first window exists.
static void FitScaledWindow(Size outer) {
    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return;
    if (outer.width <= work.right - work.left && outer.height <= work.bottom - work.top)
        return;
    using SetContext = BOOL(WINAPI*)(HANDLE);
    auto set = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set)
        set(reinterpret_cast<HANDLE>(-2));  // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
}

bool BackendCreateMainWindow(Size clientSize, const char* title) {
    State& s = S();
    s.mainBackend = BackendWindow();
    s.cursor = 0;
    bool hasMenu = MenuTableCount > 0 && !MenuTable[0].IsEnd();
    if (hasMenu) {
        s.menuBar = CreateMenu();
        Win32MenuBuilder builder(s.menuBar);
        BuildMenu(MenuTable, MenuTableCount, builder);
        if (!builder.accelerators.empty())
            s.accelerators = CreateAcceleratorTableW(builder.accelerators.data(),
                                                     static_cast<int>(builder.accelerators.size()));
    }
    FitScaledWindow(OuterSize(clientSize, MainStyle, hasMenu));
    RECT r = {MainClientLeft, MainClientTop, MainClientLeft + clientSize.width, MainClientTop + clientSize.height};
    AdjustWindowRectEx(&r, MainStyle, hasMenu ? TRUE : FALSE, 0);
    r = PlaceInWorkArea(r, WorkAreaFor(nullptr, r));
    s.mainWindow = CreateWindowExW(0, ClassName, Wide(String(title)).c_str(), MainStyle, r.left, r.top,
                                   r.right - r.left, r.bottom - r.top, nullptr, s.menuBar, s.instance, nullptr);
    if (!s.mainWindow) {
        if (s.menuBar)
            DestroyMenu(s.menuBar);
        s.menuBar = nullptr;
        return false;
    }
    s.mainBackend.hwnd = s.mainWindow;
    SetWindowLongPtrW(s.mainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s.mainBackend));

    HANDLE large = LoadImageW(s.instance, MAKEINTRESOURCEW(VISTREL_ICON), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                              GetSystemMetrics(SM_CYICON), 0);
    HANDLE small = LoadImageW(s.instance, MAKEINTRESOURCEW(VISTREL_ICON), IMAGE_ICON, 16, 16, 0);
    if (large)
        SendMessageW(s.mainWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    if (small)
        SendMessageW(s.mainWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    DragAcceptFiles(s.mainWindow, TRUE);
    ShowWindow(s.mainWindow, SW_SHOW);
    UpdateWindow(s.mainWindow);
    return true;
}

void BackendDestroyMainWindow() {
    State& s = S();
    if (s.accelerators)
        DestroyAcceleratorTable(s.accelerators);
    if (s.mainWindow) {
        SetWindowLongPtrW(s.mainWindow, GWLP_USERDATA, 0);
        // Destroys the menu bar with it.
        DestroyWindow(s.mainWindow);
    }
    FreeBackBuffer(s.mainBackend);
    s.mainBackend = BackendWindow();
    s.mainWindow = nullptr;
    s.menuBar = nullptr;
    s.accelerators = nullptr;
}

void BackendSetTitle(const String& text) {
    if (HWND w = S().mainWindow)
        SetWindowTextW(w, Wide(text).c_str());
}

void BackendSetMenuItemEnabled(int32_t id, bool enabled) {
    State& s = S();
    if (!s.menuBar)
        return;
    // By command: the item is found in whichever submenu holds it.
    EnableMenuItem(s.menuBar, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void BackendSetCursor(int32_t index) {
    State& s = S();
    s.cursor = index;
    // Shown at once when the pointer is over one of our client areas.
    POINT p;
    if (!GetCursorPos(&p))
        return;
    HWND under = WindowFromPoint(p);
    if (!under || GetWindowLongPtrW(under, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(WindowProcedure))
        return;
    RECT client;
    GetClientRect(under, &client);
    ScreenToClient(under, &p);
    if (PtInRect(&client, p) || GetCapture() == under)
        SetCursor(CurrentCursor());
}

bool BackendAttachWindow(NativeWindow& native, const String& title) {
    State& s = S();
    if (!s.mainWindow)
        return false;
    s.attaching = true;
    if (!native.popup) {
        BackendWindow& bw = s.mainBackend;
        bw.native = &native;
        native.backend = &bw;
        bw.minTrackSize = OuterSize(native.minClientSize, MainStyle, s.menuBar != nullptr);
        RECT client;
        GetClientRect(s.mainWindow, &client);
        if (client.right != native.clientSize.width || client.bottom != native.clientSize.height) {
            Size outer = OuterSize(native.clientSize, MainStyle, s.menuBar != nullptr);
            SetWindowPos(s.mainWindow, nullptr, 0, 0, outer.width, outer.height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            KeepInWorkArea(s.mainWindow);
        }
        BuildBackBuffer(bw, native);
        s.attaching = false;
        native.owner->Invalidate();
        return true;
    }

    auto* bw = new BackendWindow;
    bw->popup = true;
    bw->native = &native;
    native.backend = bw;
    Size outer = OuterSize(native.clientSize, PopupStyle, false);
    bw->minTrackSize = OuterSize(native.minClientSize, PopupStyle, false);

    // Centred over the main client area's 800-pixel width, 50 below the top
    // of the main window's client area.
    int left = 400 - native.clientSize.width / 2;
    if (left < 1)
        left = 0;
    RECT mainRect;
    GetWindowRect(s.mainWindow, &mainRect);
    int x = left + mainRect.left + GetSystemMetrics(SM_CXSIZEFRAME);
    int y = 50 + mainRect.top + GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYMENU) +
            GetSystemMetrics(SM_CYCAPTION);
    bw->hwnd = CreateWindowExW(0, ClassName, Wide(title).c_str(), PopupStyle, x, y, outer.width, outer.height,
                               s.mainWindow, nullptr, s.instance, nullptr);
    if (!bw->hwnd) {
        native.backend = nullptr;
        delete bw;
        s.attaching = false;
        return false;
    }
    SetWindowLongPtrW(bw->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bw));
    BuildBackBuffer(*bw, native);
    ShowWindow(bw->hwnd, SW_SHOW);
    s.attaching = false;
    native.owner->Invalidate();
    return true;
}

void BackendDetachWindow(NativeWindow& native) {
    BackendWindow* bw = native.backend;
    if (!bw)
        return;
    ReleaseBackBuffer(*bw, native);
    bw->native = nullptr;
    bw->resizePending = false;
    native.backend = nullptr;
    if (bw->popup) {
        SetWindowLongPtrW(bw->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(bw->hwnd);
        delete bw;
    } else if (bw->hwnd) {
        bw->minTrackSize = Size();
        InvalidateRect(bw->hwnd, nullptr, FALSE);
    }
}

void BackendBackBufferChanged(NativeWindow& native) {
    if (native.backend)
        BuildBackBuffer(*native.backend, native);
}

void BackendInvalidate(NativeWindow& native, const Rect& rect) {
    BackendWindow* bw = native.backend;
    if (!bw || !bw->hwnd)
        return;
    RECT r = {rect.left(), rect.top(), rect.right(), rect.bottom()};
    InvalidateRect(bw->hwnd, &r, FALSE);
    UpdateWindow(bw->hwnd);
}

void BackendBringToTop(NativeWindow& native) {
    if (native.backend && native.backend->hwnd)
        SetWindowPos(native.backend->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void BackendSnapshotState(NativeWindow& native, Point& pointer, bool& active) {
    BackendWindow* bw = native.backend;
    pointer = {};
    active = false;
    if (!bw || !bw->hwnd)
        return;
    if (bw->resizePending && !ModalDialogOpen()) {
        ApplyResize(*bw, bw->pendingSize);
        bw = native.backend;
        if (!bw)
            return;
    }
    POINT p;
    if (GetCursorPos(&p) && ScreenToClient(bw->hwnd, &p))
        pointer = {p.x, p.y};
    active = GetActiveWindow() == bw->hwnd;
}

void BackendPostQuit() { ::PostQuitMessage(0); }

PendingMessage BackendDispatchOne() {
    State& s = S();
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return PendingMessage::None;
    if (msg.message == WM_QUIT)
        return PendingMessage::Quit;
    if (!s.accelerators || !s.mainWindow || !TranslateAcceleratorW(s.mainWindow, s.accelerators, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return PendingMessage::Dispatched;
}

// MWMO_INPUTAVAILABLE: a message already seen by an earlier peek but still
// queued ends the wait too.
void BackendWaitForMessages(int32_t milliseconds) {
    if (milliseconds == 0)
        return;
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// Windows asks running programs before it ends the session; the window
// procedure's default answer lets it go.
void BackendInhibitLogout(bool) {}
