#pragma once

#include <cstdint>

// What the application layer plugs into the entry code.
struct ApplicationHooks {
    // Runs once the window manager, program folder and clock exist; opens
    // the application's windows.
    void (*startUp)() = nullptr;
    // Runs right after the loop, before the window manager goes.
    void (*tearDown)() = nullptr;
    // Menu commands, by id.
    void (*command)(int32_t id) = nullptr;
};

// The whole life of the program: start-up, MainLoop, shutdown. Returns the
// process exit status: 0, or 1 when no window could be opened at all.
int RunProgram(const ApplicationHooks& hooks);

// Runs frames until the quit message is taken from the queue.
void MainLoop();

// The parts of one pass, for tests that step frame by frame. WalkWindows
// gives each registered window its snapshot, input, update and present;
// DrainMessages handles the pending native messages and is false when it
// met the quit message (messages behind it stay unhandled).
void WalkWindows();
bool DrainMessages();

// Asks the loop to end once the messages queued before this one are handled.
void PostQuitMessage();

// The menu command handler; the backend calls DispatchMenuCommand.
void SetMenuCommandHandler(void (*handler)(int32_t id));
void DispatchMenuCommand(int32_t id);
