#pragma once

// Test control of the headless window backend: windows with in-memory back
// buffers and a "screen" copy of what was shown, input injected by the test,
// message boxes and file dialogs answered from queues the test fills, and
// desktop-handler requests recorded. Link the platform_headless objects.

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/strings.h"
#include "platform/backend.h"
#include "platform/device_layer.h"
#include "platform/input_state.h"

#include <cstdint>
#include <functional>
#include <vector>

class AppWindow;

namespace headless {

// Forgets every recorded request, queued answer and message. Call it between
// tests, while no WindowManager exists.
void Reset();
// Makes the next window-system start fail, as without a display.
void SetDisplayAvailable(bool available);
// Makes the window system refuse every new window, as when it runs out of
// resources.
void RefuseWindows(bool refuse);

// Input, handled at once as the window's event handler would.
void MoveMouse(AppWindow& window, int32_t x, int32_t y);  // client coordinates of window
void PressButton(AppWindow& window, uint32_t button);     // also activates the window
void ReleaseButton(AppWindow& window, uint32_t button);
void Click(AppWindow& window, int32_t x, int32_t y, uint32_t button = MouseLeft);
// The native sequence of a double click: press, release, double click, release.
void DoubleClick(AppWindow& window, int32_t x, int32_t y, uint32_t button = MouseLeft);
void Wheel(AppWindow& window, int32_t delta);              // + away from the user
// The key's key-down, then the character it types (0 for none).
void KeyPress(AppWindow& window, NativeKey key, uint32_t character = 0);
// Each character as a key press of an Other key.
void TypeText(AppWindow& window, const char* text);
// Gives the focus to the window (nullptr: to none of ours).
void Activate(AppWindow* window);
AppWindow* ActiveWindow();
// A resize of the client area, not below the window's minimum.
void Resize(AppWindow& window, Size clientSize);
// The desktop's scale factor for the window (1 at first), taken up as a
// resize to the same size would be.
void SetDeviceScale(AppWindow& window, int32_t scale);
// The device layers the window shows now.
const std::vector<DeviceLayer>& DeviceLayers(AppWindow& window);
// Minimising shrinks the client area to nothing (a 1 x 1 back buffer).
void Minimize(AppWindow& window);
// The close box.
void CloseBox(AppWindow& window);
// Files dropped from a file manager onto the window: full paths, in order.
void DropFiles(AppWindow& window, const std::vector<String>& paths);
// Chooses a menu item as the user would: nothing happens when it is
// disabled or missing. True when the command was sent.
bool ChooseMenu(int32_t id);

// The native queue: messages posted here are handled by DrainMessages, in
// order, like events that arrive while a frame runs.
void Post(std::function<void()> message);
int32_t PendingMessages();

// The main native window.
bool MainWindowShown();
String Title();
int32_t Cursor();
// Whether the program last asked the session not to end (while a job runs).
bool LogoutInhibited();
// The main loop's waits for messages: each one's timeout in milliseconds,
// -1 for until a message comes.
const std::vector<int32_t>& Waits();
struct MenuEntry {
    int32_t id;
    String text;
    int32_t depth;  // 0 for the bar's own items
    bool separator;
    bool submenu;
    bool enabled;
};
const std::vector<MenuEntry>& Menu();
bool MenuItemEnabled(int32_t id);

// What the window shows: the back buffer as of the last Invalidate of each
// pixel, and the rectangles invalidated so far.
const Bitmap& Screen(AppWindow& window);
std::vector<Rect> Invalidations(AppWindow& window);
void ClearInvalidations(AppWindow& window);
// Screen position of the window's client area, and its title.
Point ClientOrigin(AppWindow& window);
String WindowTitle(AppWindow& window);
int32_t RaiseCount(AppWindow& window);

// Message boxes: answers are taken in order; with none queued the default
// button answers.
struct MessageBoxRecord {
    MessageBoxRequest request;
    bool answer;  // true for Yes
};
void QueueMessageBoxAnswer(bool yes);
const std::vector<MessageBoxRecord>& MessageBoxes();

// File dialogs: answers are taken in order; with none queued the dialog is
// cancelled.
struct FileDialogAnswer {
    bool confirmed = true;
    std::vector<String> paths;
    int32_t filterIndex = -1;  // 1-based filter left selected; -1 leaves the initial one
};
void QueueFileDialogAnswer(const FileDialogAnswer& answer);
const std::vector<FileDialogRequest>& FileDialogs();

// The desktop's default handler: requests are recorded and accepted unless
// told otherwise.
void SetDesktopHandlerAccepts(bool accepts);
const std::vector<String>& DesktopRequests();

// Runs during every modal dialog, as the native dialog's own loop would
// keep the windows painted.
void SetDuringModal(std::function<void()> hook);

}  // namespace headless
