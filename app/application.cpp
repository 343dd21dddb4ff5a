#include "app/application.h"

#include "core/bitmap.h"
#include "platform/app_window.h"
#include "platform/menu_table.h"
#include "platform/window_manager.h"

namespace {

// Until the wizard exists: the main window with an empty back buffer.
class EmptyWindow : public AppWindow {
public:
    void OnResize() override { Paint(); }
    void Paint() { BackBuffer().fill(packPixel(32, 64, 32)); }
};

void StartUp() {
    auto* window = new EmptyWindow;
    if (!window->CreateNative("Vistrel", TheWindowManager->ClientSize(), Size{800, 600}, false)) {
        delete window;
        PostQuitMessage();
        return;
    }
    window->Paint();
    window->Invalidate();
}

void TearDown() {}

void Command(int32_t id) {
    if (id == MenuExit)
        PostQuitMessage();
}

}  // namespace

ApplicationHooks VistrelApplication() {
    ApplicationHooks hooks;
    hooks.startUp = StartUp;
    hooks.tearDown = TearDown;
    hooks.command = Command;
    return hooks;
}
