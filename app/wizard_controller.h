#pragma once

#include "app/pyramid.h"
#include "core/bitmap.h"
#include "core/strings.h"
#include "engine/option_mapping.h"
#include "engine/processing_job.h"
#include "imagefile/colour_profile.h"
#include "imagefile/image_file.h"
#include "ui/widget_window.h"

#include <cstdint>
#include <memory>
#include <vector>

class Button;
class ColorRect;
class DropShadow;
class EditField;
class ImageWidget;
class RadioGroup;
class Slider;
class TextLabel;

// Where the step 5 widgets and the batch naming panel both sit; they never
// exist at the same time.
inline constexpr int32_t LowerPanelTop = 548;

enum ResultKind : int32_t { ResultNone = 0, ResultPreview = 1, ResultFull = 2 };
enum JobMode : int32_t { JobIdle = 0, JobPreviewing = 1, JobApplying = 2 };
enum ProcessingStart : int32_t { StartApply = 0, StartPreview = 1, StartBatchFile = 2 };
enum ViewMode : int32_t { ViewSource = 0, ViewProcessed = 1 };

// The wizard window: fills the main native window and walks the user from
// opening a file to saving the result. Everything runs on the main thread
// except the processing job's worker.
class WizardController : public WidgetWindow {
public:
    explicit WizardController(PassSequence passes = DefaultPassSequence());
    ~WizardController() override;

    // True when the native part could be made.
    bool IsOpen() const { return HasNative(); }

    bool Update(const InputState& snapshot) override;
    void OnResize() override;
    bool CanClose() override { return true; }
    void DispatchInput(const InputState& snapshot) override;

    // The one way a new picture (or the loss of one) reaches the wizard:
    // takes the pixels of image, or clears the picture when null.
    void SetImage(Bitmap* image);

    // Opening and saving.
    void OpenFiles();
    // Opens the given files as one choice of the Open dialog; relative
    // paths are taken from the current folder.
    void OpenPaths(const std::vector<String>& paths);
    void LoadFile(int32_t index);
    void Save(const String& path, bool askBeforeReplace);
    // What replacing path with the result would lose of the file it
    // replaces, when path is the source's own file; empty otherwise.
    String InPlaceLoss(const String& path) const;
    void SaveCurrent();
    void SaveAs();
    void ShowStep5();
    void RemoveStep5();

    // The options step.
    void BuildOptionsStep();
    void RemoveOptionsStep();
    void HandleOptionsFrame();
    void ConstrainResolution(bool onlyIfEdited);
    OptionValues CurrentOptions() const;

    // Preview, apply and batch. False only when the run was refused and the
    // wizard left as it was (a final resolution too large for memory).
    bool StartProcessing(int32_t mode);
    void CollectResult();

    // The preview panel.
    void RebuildNavigator();
    void ShowView(int32_t mode);
    // Draws the view of a pyramid into width x height pixels of target at
    // (at, at), each pixelSize screen pixels wide: at 100 % one picture
    // pixel is one screen pixel.
    void DrawView(Bitmap& target, int32_t at, int32_t width, int32_t height, const Pyramid& pyramid,
                  int32_t pixelSize);
    // The thumbnail of the source in a width x height picture, framed by a
    // white and a black line each frame pixels wide.
    void DrawNavigator(Bitmap& target, int32_t width, int32_t height, int32_t frame);

    // State.
    std::vector<String> files;
    int32_t currentIndex = -1;
    Bitmap source;
    // What the source's file carried besides its pixels (EXIF block, colour
    // profile, orientation), written again with every result.
    PhotoMetadata metadata;
    // A profiled photo is shown converted to sRGB; the picture processed
    // and saved keeps its own colours. Empty for sRGB pictures.
    std::unique_ptr<RgbToSrgb> displayColours;
    // What the source's file held beyond the picture (deeper samples, more
    // pages), so that replacing it in place can say what would be lost.
    LoadDetails sourceDetails;
    Pyramid display;
    Pyramid result;
    int32_t resultKind = ResultNone;
    ProcessingJob job;
    int32_t jobMode = JobIdle;

    int32_t batchIndex = -1;
    int32_t fixedWidth = 0, fixedHeight = 0;
    float factorX = 0.0f, factorY = 0.0f;
    String prependText, appendText;
    // The option controls as they were when the batch started: a file that
    // fails to load takes the controls away, and the next one must still be
    // processed as the user asked.
    OptionValues batchOptions;
    bool batchConstrain = true;

    Rect previewRect;
    int32_t zoom = 256;
    float centreX = 50.0f, centreY = 50.0f;
    int32_t viewMode = ViewSource;
    bool dragging = false;
    int32_t dragMouseX = 0, dragMouseY = 0;
    float dragCentreX = 0.0f, dragCentreY = 0.0f;
    Size navigatorBox{256, 192};
    Bitmap navigatorPicture;
    Bitmap navigatorOverlay;
    Bitmap viewPicture;
    // The same three at the screen's resolution, while the device scale is
    // above 1; the navigator's was built at navigatorScale.
    Bitmap navigatorDevicePicture;
    Bitmap navigatorDeviceOverlay;
    Bitmap viewDevicePicture;
    int32_t navigatorScale = 1;

    ImageWidget* progressBar = nullptr;
    Bitmap progressPicture;
    int32_t progressShown = -1;
    int32_t progressRenders = 0;  // how often the bar's picture was drawn
    int32_t resultsCollected = 0;

    bool optionsPresent = false;

    // Step 1.
    ColorRect* background = nullptr;
    TextLabel* step1Label = nullptr;
    Button* openButton = nullptr;
    // The About strip (step 1 only).
    std::vector<Widget*> stripWidgets;
    TextLabel* homeLink = nullptr;
    ColorRect* linkUnderline = nullptr;

    // Steps 2 to 4 and the preview panel, in the order they are built.
    std::vector<Widget*> optionWidgets;
    TextLabel* step2Label = nullptr;
    Button* helpButton = nullptr;
    Button* presetButtons[8] = {};
    EditField* widthField = nullptr;
    EditField* heightField = nullptr;
    Button* constrainToggle = nullptr;
    RadioGroup* scaleGroup = nullptr;
    Slider* noiseSizeSlider = nullptr;
    Slider* amountSlider = nullptr;
    Slider* cutoffSlider = nullptr;
    Slider* deblurSlider = nullptr;
    TextLabel* step3Label = nullptr;
    Button* previewButton = nullptr;
    TextLabel* step4Label = nullptr;
    Button* applyButton = nullptr;
    ImageWidget* navigator = nullptr;
    DropShadow* navigatorShadow = nullptr;
    TextLabel* fileNameLabel = nullptr;
    TextLabel* sizeLabel = nullptr;
    ImageWidget* view = nullptr;
    DropShadow* viewShadow = nullptr;
    TextLabel* viewModeLabel = nullptr;
    Button* zoomOutButton = nullptr;
    Button* zoomInButton = nullptr;
    TextLabel* zoomLabel = nullptr;
    Button* viewToggle = nullptr;

    // Step 5.
    std::vector<Widget*> step5Widgets;
    Button* saveButton = nullptr;
    Button* saveAsButton = nullptr;

    // The batch naming panel.
    std::vector<Widget*> batchWidgets;
    EditField* prependField = nullptr;
    EditField* appendField = nullptr;

private:
    void BuildStrip();
    void RemoveStrip();
    void BuildBatchPanel();
    void RemoveBatchPanel();
    void RemoveViewToggle();
    void CreateProgressBar(const Button* startedBy);
    void RemoveProgressBar();
    void RefreshProgress();
    void ApplyPreset(int32_t index);
    void RestoreBatchOptions();
    // Scales the source to width x height for a run, or reports that the
    // run does not fit in memory and leaves everything as it was.
    bool ScaleForRun(int32_t width, int32_t height, bool preview, Bitmap& scaled);
    // Zoom buttons, cursor, navigator clicks and dragging; sets refresh
    // when the view must be drawn again.
    void HandleNavigation(const InputState& snapshot, bool& refresh, int32_t& cursor);
    void HandleLinks(const InputState& snapshot, int32_t& cursor);
    void ClampCentre();
    void RemoveWidget(Widget*& widget);
    void RemoveWidgets(std::vector<Widget*>& widgets);

    bool treeUpdated_ = false;
};

// The value of an edit field's committed text: its leading decimal digits
// (0 when there are none), read in full.
int32_t FieldValue(const EditField* field);

// Brings a final size within what the size fields hold (MaxFinalSide a
// side): a side too large is capped and the other follows in proportion.
void FitFieldSides(int32_t& width, int32_t& height);

// The part of a path after its later "/" or "\" (the whole path when there is
// none, or when it is the first or the last character).
String DisplayFileName(const String& path);

// The next Open dialog starts in the samples folder again, as the first one
// of a run does.
void ResetFirstOpen();
