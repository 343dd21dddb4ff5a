#include "app/application.h"

#include <utility>

#include "app/about_panel.h"
#include "app/wizard_controller.h"
#include "platform/menu_table.h"
#include "ui/ui_resources.h"

#include <new>

Application* TheApplication = nullptr;

void Application::OnMenuCommand(int32_t id) {
    switch (id) {
    case MenuOpen:
        if (wizard)
            wizard->OpenFiles();
        break;
    case MenuSave:
        if (wizard)
            wizard->SaveCurrent();
        break;
    case MenuSaveAs:
        if (wizard)
            wizard->SaveAs();
        break;
    case MenuExit: PostQuitMessage(); break;
    case MenuContents: openHelpFile(HelpIndexPage); break;
    case MenuHomepage: openHomePage(); break;
    case MenuSupport: openHelpFile(SupportPage); break;
    case MenuAbout: ShowAbout(); break;
    default: break;
    }
}

void Application::ShowAbout() {
    if (about) {
        about->BringToTop();
        return;
    }
    auto* panel = new AboutPanel;
    if (!panel->IsOpen())
        delete panel;  // clears the pointer again
}

void StartApplication(PassSequence passes, const std::vector<String>& files) {
    TheUiResources = new UiResources;
    TheApplication = new Application;
    auto* wizard = new WizardController(passes);
    if (!wizard->IsOpen()) {
        delete wizard;
        PostQuitMessage();
        return;
    }
    TheApplication->ShowAbout();
    if (!files.empty())
        wizard->OpenPaths(files);
}

void StopApplication() {
    delete TheApplication;
    TheApplication = nullptr;
    delete TheUiResources;
    TheUiResources = nullptr;
}

namespace {

std::vector<String> startupFiles;

void StartUp() { StartApplication(DefaultPassSequence(), startupFiles); }

void Command(int32_t id) {
    if (TheApplication)
        TheApplication->OnMenuCommand(id);
}

// Dropped files are one choice of the Open dialog, as the start-up files are.
void FilesDropped(const std::vector<String>& paths) {
    if (TheApplication && TheApplication->wizard)
        TheApplication->wizard->OpenPaths(paths);
}

}  // namespace

void SetStartupFiles(std::vector<String> files) { startupFiles = std::move(files); }

ApplicationHooks VistrelApplication() {
    ApplicationHooks hooks;
    hooks.startUp = StartUp;
    hooks.tearDown = StopApplication;
    hooks.command = Command;
    hooks.filesDropped = FilesDropped;
    return hooks;
}
