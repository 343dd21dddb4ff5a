#pragma once

#include "engine/processing_job.h"
#include "platform/main_loop.h"

#include "core/strings.h"

#include <cstdint>
#include <vector>

class AboutPanel;
class WizardController;

// The one application object: owns nothing but knows the wizard and the
// About window, and answers the menu commands.
class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void OnMenuCommand(int32_t id);
    // Opens the About window, or raises it when it is already open.
    void ShowAbout();

    // Both windows belong to the window manager; each clears its pointer
    // here when it goes.
    WizardController* wizard = nullptr;
    AboutPanel* about = nullptr;
};

extern Application* TheApplication;

// Start-up: the interface resources, the application, the wizard window and
// the About window. The passes are the engine's unless a test brings its own.
// Files given (from the command line, as a desktop's "Open with" passes
// them) are opened as if chosen together in the Open dialog.
void StartApplication(PassSequence passes = DefaultPassSequence(), const std::vector<String>& files = {});

// The files the program was started with, for the start-up hook.
void SetStartupFiles(std::vector<String> files);
// Teardown: the application, then the interface resources.
void StopApplication();

// The application's start-up, teardown and menu commands, for RunProgram.
ApplicationHooks VistrelApplication();
