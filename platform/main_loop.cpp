#include "platform/main_loop.h"

#include "core/bilinear_weights.h"
#include "platform/app_window.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/window_manager.h"

#include <cfenv>
#include <algorithm>
#include <cstdio>

namespace {

void (*menuCommandHandler)(int32_t) = nullptr;
void (*droppedFilesHandler)(const std::vector<String>&) = nullptr;
int modalDepth = 0;
// While a button is held, the pointer is read again this often even when
// it sends no motion (a drag that rests on an edge).
constexpr int32_t HeldButtonFrameMs = 15;

// A backend source that never runs dry must not keep the windows from their
// next frame.
constexpr int MaxMessagesPerPass = 1000;

}  // namespace

void SetMenuCommandHandler(void (*handler)(int32_t)) { menuCommandHandler = handler; }

void DispatchMenuCommand(int32_t id) {
    if (menuCommandHandler)
        menuCommandHandler(id);
}

void SetDroppedFilesHandler(void (*handler)(const std::vector<String>&)) { droppedFilesHandler = handler; }

void DispatchDroppedFiles(const std::vector<String>& paths) {
    if (droppedFilesHandler)
        droppedFilesHandler(paths);
}

ModalDialogScope::ModalDialogScope() { ++modalDepth; }
ModalDialogScope::~ModalDialogScope() { --modalDepth; }
bool ModalDialogOpen() { return modalDepth > 0; }

void PostQuitMessage() { BackendPostQuit(); }

void SetJobRunning(bool running) { BackendInhibitLogout(running); }

void WalkWindows() {
    if (!TheWindowManager)
        return;
    // A window destroyed here unregisters itself, so the same index then
    // names the next window: only advance past windows that stay.
    int32_t i = 0;
    while (i < TheWindowManager->WindowCount()) {
        AppWindow* window = TheWindowManager->WindowAt(i);
        window->TakeInputSnapshot();
        const InputState& snapshot = window->Input();
        // Whatever input did settles in the frames after it (a click reads
        // as held for exactly one frame).
        if (snapshot.pressed || snapshot.doubleClicked || snapshot.wheel || snapshot.keys.length)
            RequestFrameWithin(0);
        else if (snapshot.held)
            RequestFrameWithin(HeldButtonFrameMs);
        if (snapshot.active)
            window->DispatchInput(snapshot);
        if (window->Update(snapshot)) {
            delete window;
            continue;
        }
        window->Present();
        ++i;
    }
}

bool DrainMessages() {
    for (int n = 0; n < MaxMessagesPerPass; ++n) {
        switch (BackendDispatchOne()) {
        case PendingMessage::Quit: return false;
        case PendingMessage::None: return true;
        case PendingMessage::Dispatched: break;
        }
    }
    return true;
}

void MainLoop() {
    for (;;) {
        WalkWindows();
        BackendWaitForMessages(TakeFrameRequest());
        if (!DrainMessages())
            return;
    }
}

int RunProgram(const ApplicationHooks& hooks) {
    // Image arithmetic on this thread relies on round-to-nearest; SSE math
    // is double precision already.
    std::fesetround(FE_TONEAREST);
    InitBilinearWeights();

    TheWindowManager = new WindowManager;
    if (!TheWindowManager->IsReady()) {
        std::fprintf(stderr, "Vistrel: cannot open a window (is a display available?)\n");
        delete TheWindowManager;
        TheWindowManager = nullptr;
        return 1;
    }
    InitProgramFolder();
    InitPerformanceFrequency();
    SetMenuCommandHandler(hooks.command);
    SetDroppedFilesHandler(hooks.filesDropped);
    if (hooks.startUp)
        hooks.startUp();

    MainLoop();

    if (hooks.tearDown)
        hooks.tearDown();
    SetMenuCommandHandler(nullptr);
    SetDroppedFilesHandler(nullptr);
    PerformanceFrequency = 0;
    ProgramFolder.Empty();
    delete TheWindowManager;
    TheWindowManager = nullptr;
    return 0;
}
