#pragma once

#include "core/strings.h"
#include "platform/frame_request.h"

#include <cstdint>
#include <vector>

// What the application layer plugs into the entry code.
struct ApplicationHooks {
    // Runs once the window manager, program folder and clock exist; opens
    // the application's windows.
    void (*startUp)() = nullptr;
    // Runs right after the loop, before the window manager goes.
    void (*tearDown)() = nullptr;
    // Menu commands, by id.
    void (*command)(int32_t id) = nullptr;
    // Files dropped on the main window, full paths in the order given.
    void (*filesDropped)(const std::vector<String>& paths) = nullptr;
};

// The whole life of the program: start-up, MainLoop, shutdown. Returns the
// process exit status: 0, or 1 when no window could be opened at all.
int RunProgram(const ApplicationHooks& hooks);

// Runs frames until the quit message is taken from the queue. A frame runs
// when a native message arrived or when the last frame asked for another:
// an idle program sleeps in the native queue and costs nothing.
void MainLoop();

// The parts of one pass, for tests that step frame by frame. WalkWindows
// gives each registered window its snapshot, input, update and present;
// DrainMessages handles the pending native messages and is false when it
// met the quit message (messages behind it stay unhandled).
void WalkWindows();
bool DrainMessages();

// Tells the desktop whether a long job runs: while it does, the session is
// asked not to log out. Only changes reach the desktop.
void SetJobRunning(bool running);

// Asks the loop to end once the messages queued before this one are handled.
void PostQuitMessage();

// The menu command handler; the backend calls DispatchMenuCommand.
void SetMenuCommandHandler(void (*handler)(int32_t id));
void DispatchMenuCommand(int32_t id);

// The handler of files dropped on the main window; HandleDroppedFiles
// calls it.
void SetDroppedFilesHandler(void (*handler)(const std::vector<String>& paths));
void DispatchDroppedFiles(const std::vector<String>& paths);

// Message boxes and file dialogs mark themselves open for their lifetime, so
// that what arrives meanwhile (a drop) can be refused.
class ModalDialogScope {
public:
    ModalDialogScope();
    ~ModalDialogScope();
    ModalDialogScope(const ModalDialogScope&) = delete;
    ModalDialogScope& operator=(const ModalDialogScope&) = delete;
};
bool ModalDialogOpen();
