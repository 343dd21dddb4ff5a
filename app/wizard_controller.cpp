#include "app/wizard_controller.h"

#include "app/about_panel.h"
#include "app/application.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/thread.h"
#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/button_face.h"
#include "ui/color_rect.h"
#include "ui/edit_field.h"
#include "ui/image_widget.h"
#include "ui/rect_ops.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

namespace {

constexpr uint32_t White = packPixel(255, 255, 255, 255);
constexpr uint32_t Black = packPixel(0, 0, 0, 255);
constexpr uint32_t LinkBlue = packPixel(0, 0, 255, 255);
constexpr uint32_t Backdrop = packPixel(32, 64, 32, 255);

// Reaches past any window width.
constexpr int32_t StripReach = 1048576;

}  // namespace

int32_t FieldValue(const EditField* field) {
    if (!field)
        return 0;
    const String& text = field->committedText;
    int32_t value = 0;
    for (int32_t i = 0; i < text.length && text.data[i] >= '0' && text.data[i] <= '9'; ++i) {
        // Far beyond any size that fits in memory; only keeps the sum whole.
        if (value > 99999999)
            return value;
        value = value * 10 + (text.data[i] - '0');
    }
    return value;
}

WizardController::WizardController(PassSequence passes) : job(passes) {
    if (TheApplication)
        TheApplication->wizard = this;
    const Size client = TheWindowManager ? TheWindowManager->ClientSize() : Size{800, 600};
    if (!CreateNative(String(), client, Size{800, 600}, false))
        return;
    FitRootToClient();
    const Size s = ClientSize();
    background = new ColorRect(Rect(0, 0, s.width, s.height), Backdrop);
    root.AddChild(background);
    step1Label = new TextLabel(Point{15, 10}, "Step 1 - choose file to open", UiFont2(), White, true);
    root.AddChild(step1Label);
    openButton = new Button(Point{15, 35}, nullptr, "Open", 70);
    root.AddChild(openButton);
    BuildStrip();
}

WizardController::~WizardController() {
    if (TheApplication && TheApplication->wizard == this)
        TheApplication->wizard = nullptr;
    // The widgets show pictures this window owns: they go first. The job's
    // destructor then ends and joins the worker before the images go.
    root.DeleteChildren();
    SetJobRunning(false);
}

void WizardController::DispatchInput(const InputState& snapshot) {
    WidgetWindow::DispatchInput(snapshot);
    treeUpdated_ = true;
}

void WizardController::RemoveWidget(Widget*& widget) {
    if (widget) {
        root.RemoveChild(widget);
        widget = nullptr;
    }
}

void WizardController::RemoveWidgets(std::vector<Widget*>& widgets) {
    for (Widget* w : widgets)
        root.RemoveChild(w);
    widgets.clear();
}

void WizardController::BuildStrip() {
    if (!stripWidgets.empty())
        return;
    const UiResources* art = TheUiResources;
    const Bitmap* strip = art ? &art->stripPicture : nullptr;
    const int32_t w = strip ? strip->width : 0, h = strip ? strip->height : 0;
    const uint32_t edge = strip && !strip->isEmpty() ? strip->at(w - 1, 0) : White;
    String heading;
    FormatInto(heading, "%s %d.%d", ProductName, VersionMajor, VersionMinor);
    homeLink = new TextLabel(Point{502, 220}, MakerName, UiFont0(), LinkBlue, false);
    stripWidgets = {
        new ImageWidget(Point{0, 150}, strip, false),
        new ColorRect(Rect(w, 150, StripReach, 150 + h), edge),
        new ImageWidget(Point{446, 219}, art ? &art->copyrightSign : nullptr, true),
        new TextLabel(Point{380, 190}, heading, UiFont2(), Black, false),
        new TextLabel(Point{380, 220}, RightsNotice, UiFont0(), Black, false),
        homeLink,
    };
    for (Widget* widget : stripWidgets)
        root.AddChild(widget);
}

void WizardController::RemoveStrip() {
    Widget* underline = linkUnderline;
    linkUnderline = nullptr;
    if (underline)
        root.RemoveChild(underline);
    RemoveWidgets(stripWidgets);
    homeLink = nullptr;
}

void WizardController::BuildBatchPanel() {
    if (!batchWidgets.empty())
        return;
    static const char* const allowed = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_- ";
    const int32_t y0 = LowerPanelTop + 5;
    prependField = new EditField(Point{144, y0 - 2}, 160, "", allowed, 5);
    appendField = new EditField(Point{144, y0 + 23}, 160, "_new", allowed, 5);
    batchWidgets = {
        new ColorRect(Rect(10, y0 - 7, 310, y0 + 47), packPixel(32, 32, 32, 255)),
        new TextLabel(Point{15, y0}, "Filename prepend", UiFont0(), White, true),
        prependField,
        new TextLabel(Point{15, y0 + 25}, "Filename append", UiFont0(), White, true),
        appendField,
    };
    for (Widget* widget : batchWidgets)
        root.AddChild(widget);
}

void WizardController::RemoveBatchPanel() {
    RemoveWidgets(batchWidgets);
    prependField = appendField = nullptr;
}

void WizardController::RemoveViewToggle() {
    Widget* w = viewToggle;
    viewToggle = nullptr;
    RemoveWidget(w);
}

void WizardController::CreateProgressBar(const Button* startedBy) {
    RemoveProgressBar();
    RenderButtonFace(FaceNormal, progressPicture, nullptr, "", 107, -1, true, 0);
    ++progressRenders;
    progressBar = new ImageWidget(Point{startedBy->bounds.left() + 112, startedBy->bounds.top()}, &progressPicture,
                                  true);
    root.AddChild(progressBar);
    progressShown = 0;
}

void WizardController::RemoveProgressBar() {
    Widget* w = progressBar;
    progressBar = nullptr;
    RemoveWidget(w);
    progressShown = -1;
}

void WizardController::RefreshProgress() {
    const int32_t p = job.requestPending.load() ? 0 : job.percent.load();
    if (p == progressShown)
        return;
    String text;
    if (batchIndex >= 0)
        FormatInto(text, "%d%% (%d/%d)", p, batchIndex + 1, static_cast<int32_t>(files.size()));
    else
        FormatInto(text, "%d%%", p);
    RenderButtonFace(FaceNormal, progressPicture, nullptr, CStr(text), 107, -1, true, p);
    ++progressRenders;
    progressBar->SetPicture(&progressPicture);
    progressShown = p;
}

void WizardController::SetImage(Bitmap* image) {
    const bool hasImage = image && !image->isEmpty();
    // Whatever ran belongs to the picture being replaced; the job takes only
    // the last of a cancel and a submit that follow each other.
    job.cancel();
    if (hasImage) {
        source.moveFrom(*image);
        Bitmap copy;
        if (copy.copyFrom(source))
            display.Rebuild(copy);
        else
            display.Clear();
    } else {
        source.clear();
        display.Clear();
    }
    result.Clear();
    resultKind = ResultNone;
    jobMode = JobIdle;
    fixedWidth = fixedHeight = 0;
    factorX = factorY = 0.0f;
    batchIndex = -1;

    if (hasImage && !optionsPresent) {
        RemoveStrip();
        BuildOptionsStep();
    }
    if (widthField && heightField) {
        widthField->SetText(Format("%d", source.width));
        heightField->SetText(Format("%d", source.height));
    }
    if (!hasImage && optionsPresent) {
        RemoveOptionsStep();
        RemoveBatchPanel();
        BuildStrip();
    }
    if (optionsPresent) {
        if (files.size() < 2) {
            step4Label->SetText("Step 4 - apply to image");
            RemoveBatchPanel();
        } else {
            step4Label->SetText("Step 4 - apply and save (batch)");
            BuildBatchPanel();
        }
    }
    RemoveViewToggle();
    RemoveStep5();
    RemoveProgressBar();
    if (hasImage) {
        centreX = static_cast<float>(source.width) / 2;
        centreY = static_cast<float>(source.height) / 2;
        RebuildNavigator();
        ShowView(ViewSource);
    }
}

bool WizardController::Update(const InputState& snapshot) {
    // Control events are one-frame flags set by the tree's update, which
    // runs only while the window is active: without it they are stale.
    const bool events = treeUpdated_;
    treeUpdated_ = false;
    int32_t cursor = CursorArrow;

    if (events && openButton && openButton->clicked) {
        if (TheApplication)
            TheApplication->OnMenuCommand(MenuOpen);
        else
            OpenFiles();
        return false;  // the controls may have been rebuilt: their flags are from before
    }

    if (optionsPresent) {
        bool refresh = false;
        int32_t mode = viewMode;
        // A result that arrives while a newer request waits belongs to the
        // abandoned run. Pending first: the worker unflags the old result
        // before it clears that.
        if (!job.requestPending.load() && job.resultReady.load()) {
            CollectResult();
            // A batch shows each source as it loads; a discarded result, or
            // a batch whose last files were refused, leaves the view as it is.
            mode = batchIndex < 0 && !result.IsEmpty() ? ViewProcessed : ViewSource;
            refresh = true;
        } else if (progressBar) {
            RefreshProgress();
        }
        if (optionsPresent && events) {
            if (viewToggle && viewToggle->clicked) {
                mode = (mode + 1) % 2;
                refresh = true;
            }
            HandleNavigation(snapshot, refresh, cursor);
            HandleOptionsFrame();
            if (applyButton->clicked) {
                if (StartProcessing(StartApply)) {
                    mode = ViewSource;
                    refresh = true;
                }
            } else if (previewButton->clicked) {
                if (StartProcessing(StartPreview)) {
                    mode = ViewSource;
                    refresh = true;
                }
            }
            if (optionsPresent && helpButton->clicked)
                openHelpFile(HelpIndexPage);
        }
        if (optionsPresent && refresh)
            ShowView(mode);
    }

    if (events && !step5Widgets.empty()) {
        if (saveButton->clicked) {
            if (TheApplication)
                TheApplication->OnMenuCommand(MenuSave);
            else
                SaveCurrent();
        } else if (!step5Widgets.empty() && saveAsButton->clicked) {
            if (TheApplication)
                TheApplication->OnMenuCommand(MenuSaveAs);
            else
                SaveAs();
        }
    }

    if (snapshot.active) {
        HandleLinks(snapshot, cursor);
        if (TheWindowManager)
            TheWindowManager->SetCursorShape(cursor);
    }
    // The worker's progress and result are polled: keep the frames coming
    // until the run (or the batch) is over.
    const bool running = jobMode != JobIdle || batchIndex >= 0;
    if (running)
        RequestFrameWithin(1);
    SetJobRunning(running);
    return false;
}

void WizardController::HandleLinks(const InputState& snapshot, int32_t& cursor) {
    const bool over = homeLink && IsLink(homeLink) && Contains(homeLink->bounds, snapshot.mouseX, snapshot.mouseY);
    if (!over) {
        UnderlineLink(root, linkUnderline, nullptr);
        return;
    }
    UnderlineLink(root, linkUnderline, homeLink);
    cursor = CursorHand;
    if (snapshot.pressed & MouseLeft)
        openHomePage();
}
