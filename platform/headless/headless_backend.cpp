// The window system of the tests: everything in memory, driven by
// platform/headless.h.

#include "platform/app_window.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/native_window.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <utility>

struct BackendWindow {
    Point origin;  // screen position of the client area
    String title;
    Bitmap screen;
    std::vector<Rect> invalidations;
    int32_t raised = 0;
};

namespace {

// Screen position of the main window's client area.
constexpr Point MainClientOrigin{50, 80};

struct Message {
    bool quit = false;
    std::function<void()> handle;
};

struct State {
    bool displayAvailable = true;
    bool refuseWindows = false;
    bool started = false;
    bool mainShown = false;
    String title;
    int32_t cursor = 0;
    bool logoutInhibited = false;
    std::vector<int32_t> waits;
    std::vector<headless::MenuEntry> menu;
    BackendWindow mainWindow;
    NativeWindow* active = nullptr;
    Point pointer;  // screen coordinates
    std::deque<Message> queue;
    std::deque<bool> messageBoxAnswers;
    std::vector<headless::MessageBoxRecord> messageBoxes;
    std::deque<headless::FileDialogAnswer> fileDialogAnswers;
    std::vector<FileDialogRequest> fileDialogs;
    bool desktopAccepts = true;
    std::vector<String> desktopRequests;
    std::function<void()> duringModal;
};

State& S() {
    static State state;
    return state;
}

NativeWindow& NativeOf(AppWindow& window) { return *window.Native(); }

class MenuRecorder : public MenuBuilder {
public:
    explicit MenuRecorder(std::vector<headless::MenuEntry>& entries) : entries_(entries) {}
    void BeginSubmenu(const MenuRow& row) override { Add(row, true); ++depth_; }
    void AddItem(const MenuRow& row) override { Add(row, false); }
    void EndSubmenu() override { --depth_; }

private:
    void Add(const MenuRow& row, bool submenu) {
        entries_.push_back({row.id, String(row.text), depth_, row.separator != 0, submenu, row.enabled != 0});
    }
    std::vector<headless::MenuEntry>& entries_;
    int32_t depth_ = 0;
};

void CopyToScreen(NativeWindow& native, const Rect& r) {
    Bitmap& screen = native.backend->screen;
    if (screen.width != native.backBuffer.width || screen.height != native.backBuffer.height)
        screen.resize(native.backBuffer.width, native.backBuffer.height);
    for (int32_t y = r.top(); y < r.bottom(); ++y) {
        for (int32_t x = r.left(); x < r.right(); ++x)
            screen.at(x, y) = native.backBuffer.at(x, y);
    }
}

void RunModalHook() {
    if (S().duringModal)
        S().duringModal();
}

}  // namespace

// Backend operations.

bool BackendStart() {
    S().started = S().displayAvailable;
    return S().started;
}

void BackendStop() { S().started = false; }

bool BackendCreateMainWindow(Size, const char* title) {
    State& s = S();
    s.mainShown = true;
    s.title = title;
    s.menu.clear();
    MenuRecorder recorder(s.menu);
    BuildMenu(MenuTable, MenuTableCount, recorder);
    s.mainWindow = BackendWindow();
    s.mainWindow.origin = MainClientOrigin;
    s.mainWindow.title = title;
    return true;
}

void BackendDestroyMainWindow() { S().mainShown = false; }

void BackendSetTitle(const String& text) {
    S().title = text;
    S().mainWindow.title = text;
}

void BackendSetMenuItemEnabled(int32_t id, bool enabled) {
    for (headless::MenuEntry& entry : S().menu) {
        if (entry.id == id && !entry.separator)
            entry.enabled = enabled;
    }
}

void BackendSetCursor(int32_t index) { S().cursor = index; }

bool BackendAttachWindow(NativeWindow& native, const String& title) {
    State& s = S();
    if (s.refuseWindows)
        return false;
    if (native.popup) {
        auto* window = new BackendWindow;
        int32_t left = 400 - native.clientSize.width / 2;
        if (left < 1)
            left = 0;
        window->origin = {s.mainWindow.origin.x + left, s.mainWindow.origin.y + 50};
        window->title = title;
        native.backend = window;
    } else {
        native.backend = &s.mainWindow;
        s.mainWindow.invalidations.clear();
    }
    s.active = &native;
    native.owner->Invalidate();
    return true;
}

void BackendDetachWindow(NativeWindow& native) {
    State& s = S();
    if (s.active == &native)
        s.active = native.popup ? MainWindowNative() : nullptr;
    if (s.active == &native)
        s.active = nullptr;
    if (native.popup)
        delete native.backend;
    native.backend = nullptr;
}

void BackendBackBufferChanged(NativeWindow&) {}

void BackendInvalidate(NativeWindow& native, const Rect& rect) {
    native.backend->invalidations.push_back(rect);
    CopyToScreen(native, rect);
}

void BackendBringToTop(NativeWindow& native) {
    ++native.backend->raised;
    S().active = &native;
}

void BackendSnapshotState(NativeWindow& native, Point& pointer, bool& active) {
    State& s = S();
    pointer = {s.pointer.x - native.backend->origin.x, s.pointer.y - native.backend->origin.y};
    active = s.active == &native;
}

void BackendPostQuit() {
    Message m;
    m.quit = true;
    S().queue.push_back(std::move(m));
}

void BackendInhibitLogout(bool inhibit) { S().logoutInhibited = inhibit; }

// Tests post their messages before the loop runs: nothing arrives while
// it would wait, so the wait is only recorded.
void BackendWaitForMessages(int32_t timeoutMs) { S().waits.push_back(timeoutMs); }

PendingMessage BackendDispatchOne() {
    State& s = S();
    if (s.queue.empty())
        return PendingMessage::None;
    Message m = std::move(s.queue.front());
    s.queue.pop_front();
    if (m.quit)
        return PendingMessage::Quit;
    if (m.handle)
        m.handle();
    return PendingMessage::Dispatched;
}

bool BackendMessageBox(const MessageBoxRequest& request) {
    State& s = S();
    RunModalHook();
    bool answer = request.yesNo && request.yesIsDefault;
    if (!s.messageBoxAnswers.empty()) {
        answer = s.messageBoxAnswers.front();
        s.messageBoxAnswers.pop_front();
    }
    if (!request.yesNo)
        answer = false;
    s.messageBoxes.push_back({request, answer});
    return answer;
}

bool BackendFileDialog(const FileDialogRequest& request, FileDialogReply& reply) {
    State& s = S();
    RunModalHook();
    s.fileDialogs.push_back(request);
    if (s.fileDialogAnswers.empty())
        return false;
    headless::FileDialogAnswer answer = s.fileDialogAnswers.front();
    s.fileDialogAnswers.pop_front();
    if (!answer.confirmed)
        return false;
    reply.paths = answer.paths;
    if (!request.multiSelect && reply.paths.size() > 1)
        reply.paths.resize(1);
    reply.filterIndex = answer.filterIndex >= 0 ? answer.filterIndex : request.filterIndex;
    return true;
}

bool BackendOpenWithDesktop(const String& target) {
    S().desktopRequests.push_back(target);
    return S().desktopAccepts;
}

// Test control.

namespace headless {

void Reset() { S() = State(); }

void SetDisplayAvailable(bool available) { S().displayAvailable = available; }

void RefuseWindows(bool refuse) { S().refuseWindows = refuse; }

void MoveMouse(AppWindow& window, int32_t x, int32_t y) {
    Point origin = NativeOf(window).backend->origin;
    S().pointer = {origin.x + x, origin.y + y};
}

void PressButton(AppWindow& window, uint32_t button) {
    S().active = &NativeOf(window);
    NativeOf(window).input.OnButtonDown(button);
}

void ReleaseButton(AppWindow& window, uint32_t button) { NativeOf(window).input.OnButtonUp(button); }

void Click(AppWindow& window, int32_t x, int32_t y, uint32_t button) {
    MoveMouse(window, x, y);
    PressButton(window, button);
    ReleaseButton(window, button);
}

void DoubleClick(AppWindow& window, int32_t x, int32_t y, uint32_t button) {
    Click(window, x, y, button);
    NativeOf(window).input.OnDoubleClick(button);
    ReleaseButton(window, button);
}

void Wheel(AppWindow& window, int32_t delta) { NativeOf(window).input.OnWheel(delta); }

void KeyPress(AppWindow& window, NativeKey key, uint32_t character) {
    InputState& input = NativeOf(window).input;
    input.OnKeyDown(key);
    if (character)
        input.OnCharacter(character);
}

void TypeText(AppWindow& window, const char* text) {
    for (const char* p = text; *p; ++p)
        KeyPress(window, NativeKey::Other, static_cast<uint8_t>(*p));
}

void Activate(AppWindow* window) { S().active = window ? window->Native() : nullptr; }

AppWindow* ActiveWindow() { return S().active ? S().active->owner : nullptr; }

void Resize(AppWindow& window, Size clientSize) {
    NativeWindow& native = NativeOf(window);
    clientSize.width = std::max(clientSize.width, native.minClientSize.width);
    clientSize.height = std::max(clientSize.height, native.minClientSize.height);
    HandleResize(native, clientSize);
}

void SetDeviceScale(AppWindow& window, int32_t scale) {
    NativeWindow& native = NativeOf(window);
    native.deviceScale = std::max(scale, 1);
    HandleResize(native, native.clientSize);
}

const std::vector<DeviceLayer>& DeviceLayers(AppWindow& window) { return NativeOf(window).layers; }

void Minimize(AppWindow& window) { HandleResize(NativeOf(window), Size{0, 0}); }

void CloseBox(AppWindow& window) { HandleCloseRequest(NativeOf(window)); }

void DropFiles(AppWindow& window, const std::vector<String>& paths) { HandleDroppedFiles(NativeOf(window), paths); }

bool ChooseMenu(int32_t id) {
    for (const MenuEntry& entry : S().menu) {
        if (entry.id == id && !entry.separator && !entry.submenu) {
            if (!entry.enabled)
                return false;
            DispatchMenuCommand(id);
            return true;
        }
    }
    return false;
}

void Post(std::function<void()> message) {
    Message m;
    m.handle = std::move(message);
    S().queue.push_back(std::move(m));
}

int32_t PendingMessages() { return static_cast<int32_t>(S().queue.size()); }

bool MainWindowShown() { return S().mainShown; }
String Title() { return S().title; }
int32_t Cursor() { return S().cursor; }
bool LogoutInhibited() { return S().logoutInhibited; }
const std::vector<int32_t>& Waits() { return S().waits; }
const std::vector<MenuEntry>& Menu() { return S().menu; }

bool MenuItemEnabled(int32_t id) {
    for (const MenuEntry& entry : S().menu) {
        if (entry.id == id && !entry.separator)
            return entry.enabled;
    }
    return false;
}

const Bitmap& Screen(AppWindow& window) { return NativeOf(window).backend->screen; }
std::vector<Rect> Invalidations(AppWindow& window) { return NativeOf(window).backend->invalidations; }
void ClearInvalidations(AppWindow& window) { NativeOf(window).backend->invalidations.clear(); }
Point ClientOrigin(AppWindow& window) { return NativeOf(window).backend->origin; }
String WindowTitle(AppWindow& window) { return NativeOf(window).backend->title; }
int32_t RaiseCount(AppWindow& window) { return NativeOf(window).backend->raised; }

void QueueMessageBoxAnswer(bool yes) { S().messageBoxAnswers.push_back(yes); }
const std::vector<MessageBoxRecord>& MessageBoxes() { return S().messageBoxes; }

void QueueFileDialogAnswer(const FileDialogAnswer& answer) { S().fileDialogAnswers.push_back(answer); }
const std::vector<FileDialogRequest>& FileDialogs() { return S().fileDialogs; }

void SetDesktopHandlerAccepts(bool accepts) { S().desktopAccepts = accepts; }
const std::vector<String>& DesktopRequests() { return S().desktopRequests; }

void SetDuringModal(std::function<void()> hook) { S().duringModal = std::move(hook); }

}  // namespace headless
