#include "app/wizard_controller.h"

#include "app/about_panel.h"
#include "core/output_naming.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/menu_table.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/user_folders.h"
#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

namespace {

// The first Open dialog of the run starts in the samples beside the program.
bool firstOpen = true;

}  // namespace

void ResetFirstOpen() { firstOpen = true; }

void WizardController::OpenFiles() {
    String folder;
    const String* initialFolder = nullptr;
    if (firstOpen) {
        firstOpen = false;
        FormatInto(folder, "%sSamples%c", CStr(ProgramFolder), PathSeparator);
        initialFolder = &folder;
    }
    String chosen;
    if (!FileDialog(chosen, false, true, OpenFilterList(), initialFolder, nullptr))
        return;
    PointerArray* parts = chosen.Split(0);
    files.clear();
    if (parts->count == 1) {
        files.push_back(*parts->At<String>(0));
    } else if (parts->count > 1) {
        const String& base = *parts->At<String>(0);
        const bool endsInSeparator = base.length > 0 && IsPathSeparator(base.chars()[base.length - 1]);
        for (int32_t i = 1; i < parts->count; ++i) {
            String path;
            if (endsInSeparator)
                FormatInto(path, "%s%s", CStr(base), CStr(*parts->At<String>(i)));
            else
                FormatInto(path, "%s%c%s", CStr(base), PathSeparator, CStr(*parts->At<String>(i)));
            files.push_back(path);
        }
    }
    DeleteStrings(parts);
    if (files.empty())
        return;
    LoadFile(0);
}

void WizardController::OpenPaths(const std::vector<String>& paths) {
    if (paths.empty())
        return;
    files.clear();
    for (const String& path : paths)
        files.push_back(AbsolutePath(path));
    LoadFile(0);
}

void WizardController::LoadFile(int32_t index) {
    currentIndex = index;
    const String path = files[static_cast<size_t>(index)];
    Bitmap picture;
    const ImageFileType type = load(picture, path, &metadata, &sourceDetails);
    const bool loaded = !picture.isEmpty();
    if (!loaded)
        ShowMessage(loadFailureMessage(path, type, &sourceDetails.readFailure), true);

    const char* suffix = loaded ? "" : " (Load failed)";
    String title;
    if (files.size() == 1)
        FormatInto(title, "%s - %s%s", ProductName, CStr(path), suffix);
    else
        FormatInto(title, "%s - %s (%d/%d)%s", ProductName, CStr(path), index + 1, static_cast<int32_t>(files.size()),
                   suffix);
    if (TheWindowManager)
        TheWindowManager->SetTitle(title);

    if (!loaded)
        metadata.release();
    displayColours.reset(metadata.icc.length > 0 ? new RgbToSrgb(metadata.icc) : nullptr);
    SetImage(loaded ? &picture : nullptr);
}

String WizardController::InPlaceLoss(const String& path) const {
    if (currentIndex < 0 || currentIndex >= static_cast<int32_t>(files.size()))
        return String();
    const String& sourcePath = files[static_cast<size_t>(currentIndex)];
    if (!SameFile(IdentifyFile(path), IdentifyFile(sourcePath)))
        return String();
    return describeLoss(sourceDetails, typeFromExtension(sourcePath), typeFromExtension(path));
}

namespace {

bool AskToReplace(const String& path, const String& loss) {
    String question;
    FormatInto(question, "%s already exists. Do you want to replace it?", CStr(path));
    if (loss.length > 0)
        FormatInto(question, "%s\n\nReplacing it loses %s.", CStr(String(question)), CStr(loss));
    return AskYesNo(question, false, true);
}

}  // namespace

void WizardController::Save(const String& path, bool askBeforeReplace) {
    // Without the user's consent to replace, the write itself refuses to
    // replace a file, also one that appears while it runs.
    bool replace = !askBeforeReplace;
    if (askBeforeReplace && FileExists(path)) {
        if (!AskToReplace(path, InPlaceLoss(path)))
            return;
        replace = true;
    }
    const ImageFileType type = typeFromExtension(path);
    if (type == ImageFileUnknown) {
        ShowMessage(saveFailureMessage(path, type), true);
        return;
    }
    if (result.IsEmpty())
        return;
    Bitmap picture;
    FileFailure failure;
    if (!picture.copyFrom(result.Level(0))) {
        ShowMessage(saveFailureMessage(path, type), true);
        return;
    }
    // The layer writes through a temporary file, so a failed write keeps
    // whatever file was there.
    if (save(picture, path, 90, &metadata, replace, &failure))
        return;
    if (failure.kind == FileFailure::Kind::Exists && !replace) {
        if (!AskToReplace(path, InPlaceLoss(path)))
            return;
        failure = FileFailure();
        if (save(picture, path, 90, &metadata, true, &failure))
            return;
    }
    ShowMessage(saveFailureMessage(path, type, &failure), true);
}

void WizardController::SaveCurrent() {
    if (currentIndex < 0 || currentIndex >= static_cast<int32_t>(files.size()) || result.IsEmpty())
        return;
    Save(files[static_cast<size_t>(currentIndex)], true);
}

void WizardController::SaveAs() {
    if (currentIndex < 0 || currentIndex >= static_cast<int32_t>(files.size()) || result.IsEmpty())
        return;
    const String& path = files[static_cast<size_t>(currentIndex)];
    const int32_t d = LastSeparator(path);
    String chosen;
    bool confirmed;
    if (d < 1 || d == path.length - 1) {
        confirmed = FileDialog(chosen, true, false, SaveFilterList(), nullptr, nullptr);
    } else {
        String folder(path.chars(), d);
        const String name(path.chars() + d + 1, path.length - d - 1);
        // A picture where the user may not write (a sample under Program
        // Files) is saved into their own Pictures instead.
        if (!FolderIsWritable(folder) && PicturesFolder().length > 0)
            folder = PicturesFolder();
        confirmed = FileDialog(chosen, true, false, SaveFilterList(), &folder, &name);
    }
    if (confirmed)
        Save(chosen, true);
}

void WizardController::ShowStep5() {
    if (!step5Widgets.empty())
        return;
    saveButton = new Button(Point{15, LowerPanelTop + 25}, nullptr, "Save", 107);
    saveAsButton = new Button(Point{127, LowerPanelTop + 25}, nullptr, "Save As...", 107);
    step5Widgets = {
        new TextLabel(Point{15, LowerPanelTop}, "Step 5 - save result", UiFont2(), packPixel(255, 255, 255, 255),
                      true),
        saveButton,
        saveAsButton,
    };
    for (Widget* w : step5Widgets)
        root.AddChild(w);
    if (TheWindowManager) {
        TheWindowManager->SetMenuItemEnabled(MenuSave, true);
        TheWindowManager->SetMenuItemEnabled(MenuSaveAs, true);
    }
}

void WizardController::RemoveStep5() {
    if (step5Widgets.empty())
        return;
    RemoveWidgets(step5Widgets);
    saveButton = saveAsButton = nullptr;
    if (TheWindowManager) {
        TheWindowManager->SetMenuItemEnabled(MenuSave, false);
        TheWindowManager->SetMenuItemEnabled(MenuSaveAs, false);
    }
}
