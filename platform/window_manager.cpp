#include "platform/window_manager.h"

#include "platform/app_window.h"
#include "platform/backend.h"

WindowManager* TheWindowManager = nullptr;

WindowManager::WindowManager() {
    ready_ = BackendStart() && BackendCreateMainWindow(clientSize_, "Vistrel");
    if (ready_)
        BackendSetCursor(cursor_);
}

WindowManager::~WindowManager() {
    // Each destructor unregisters its window, so the count falls as we go.
    while (windows_.count > 0) {
        int32_t before = windows_.count;
        delete windows_.At<AppWindow>(before - 1);
        if (windows_.count == before)
            windows_.RemoveAt(before - 1);
    }
    if (ready_)
        BackendDestroyMainWindow();
    BackendStop();
}

void WindowManager::SetTitle(const String& text) {
    if (ready_)
        BackendSetTitle(text);
}

void WindowManager::SetMenuItemEnabled(int32_t id, bool enabled) {
    if (ready_)
        BackendSetMenuItemEnabled(id, enabled);
}

void WindowManager::SetCursorShape(int32_t index) {
    if (index < 0 || index >= CursorShapeCount || index == cursor_)
        return;
    cursor_ = index;
    if (ready_)
        BackendSetCursor(index);
}

void WindowManager::Register(AppWindow* window) { windows_.Append(window); }

void WindowManager::Unregister(AppWindow* window) { windows_.RemoveValue(window); }
