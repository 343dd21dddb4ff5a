#pragma once

// The operations a window-system backend provides. Exactly one backend is
// linked into a program: GTK for the desktop program, the headless one for
// tests. Everything above this interface is shared.

#include "core/geometry.h"
#include "core/strings.h"

#include <cstdint>
#include <vector>

struct NativeWindow;

// Starts the window system; false when there is no display to talk to.
bool BackendStart();
void BackendStop();

// The main native window with its menu bar built from MenuTable, shown.
bool BackendCreateMainWindow(Size clientSize, const char* title);
void BackendDestroyMainWindow();
void BackendSetTitle(const String& text);
void BackendSetMenuItemEnabled(int32_t id, bool enabled);
void BackendSetCursor(int32_t index);

// Gives a window its native side: a pop-up gets a window of its own, the
// main window attaches to the main native window. The back buffer already
// exists; the window is shown and painted once.
bool BackendAttachWindow(NativeWindow& native, const String& title);
void BackendDetachWindow(NativeWindow& native);
// The pixels were reallocated (new size).
void BackendBackBufferChanged(NativeWindow& native);
// Shows the rectangle of the back buffer at once (already clipped, non-empty).
void BackendInvalidate(NativeWindow& native, const Rect& rect);
void BackendBringToTop(NativeWindow& native);
// The pointer in client coordinates (also outside the window) and whether
// the window is the active one. A backend may apply a size change it was
// told about here, before the snapshot is taken.
void BackendSnapshotState(NativeWindow& native, Point& pointer, bool& active);

// The native message queue.
enum class PendingMessage { None, Dispatched, Quit };
void BackendPostQuit();
// Removes and handles one pending message, without blocking.
PendingMessage BackendDispatchOne();
// Returns once a message is pending or after the milliseconds (at once
// for 0; never for a negative count, only for a message). What it takes
// from the queue on the way is handled as BackendDispatchOne would.
void BackendWaitForMessages(int32_t milliseconds);

enum class MessageIcon { None, Warning, Question };

struct MessageBoxRequest {
    String caption;
    String text;
    bool yesNo = false;
    bool yesIsDefault = false;
    MessageIcon icon = MessageIcon::None;
};
// Modal; true when the user chose Yes (always false for an OK box).
bool BackendMessageBox(const MessageBoxRequest& request);

struct FileFilterPair {
    String description;
    String patterns;  // "*.jpg;*.jpeg"
};

struct FileDialogRequest {
    bool save = false;
    bool multiSelect = false;
    std::vector<FileFilterPair> filters;
    int32_t filterIndex = 0;  // 1-based; 0 when none was chosen in advance
    bool hasInitialFolder = false;
    String initialFolder;
    String initialName;  // the name the dialog starts with, may be empty
};

struct FileDialogReply {
    std::vector<String> paths;  // full paths, in the order the user chose them
    int32_t filterIndex = 0;    // 1-based index of the filter left selected
};
// Modal; false when cancelled.
bool BackendFileDialog(const FileDialogRequest& request, FileDialogReply& reply);

// While true, asks the desktop session not to log out (a job is running).
void BackendInhibitLogout(bool inhibit);

// Opens a web address or file with the desktop's default handler.
bool BackendOpenWithDesktop(const String& target);
