#include "app/wizard_controller.h"

#include "imagefile/output_plan.h"

#include "core/bilinear_scale.h"
#include "core/output_naming.h"
#include "engine/final_resolution.h"
#include "imagefile/output_plan.h"
#include "platform/message_box.h"
#include "platform/system_info.h"
#include "ui/button.h"
#include "ui/edit_field.h"
#include "ui/ui_resources.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The side of the preview run, the view's size at the smallest window.
constexpr int32_t PreviewHalfWidth = 225;
constexpr int32_t PreviewHalfHeight = 165;
// Every picture of a run is indexed with 32-bit pixel offsets somewhere in
// the engine: keep its byte size within that range.
constexpr uint64_t MaxRunPixels = static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) / 4;

// Whether a run at width x height can be held in memory: the whole run for
// an apply; for a preview the scaled source, the white canvas and their
// pyramids (the processed part itself is small).
bool RunFitsInMemory(int32_t width, int32_t height, bool preview, const EngineSettings& settings) {
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > MaxRunPixels)
        return false;
    const uint64_t physical = PhysicalMemoryBytes();
    if (physical == 0)
        return true;  // unknown: the allocations themselves decide
    const uint64_t pictures = pixels * 4 * 3;  // a picture and its pyramid, twice
    const uint64_t run = preview ? EstimatedProcessingBytes(2 * PreviewHalfWidth, 2 * PreviewHalfHeight, settings)
                                 : EstimatedProcessingBytes(width, height, settings);
    return pictures + run <= physical;
}

void ShowTooLarge(int32_t width, int32_t height) {
    ShowMessage(Format("There is not enough memory to process the image at %dx%d pixels. "
                       "Please choose a smaller final resolution.",
                       width, height),
                true);
}

float ClampedCentre(float value, int32_t size) {
    if (!(value > 0.0f) || size <= 0)
        return 0.0f;
    const float top = static_cast<float>(size) - 0.99f;
    return value > top ? top : value;
}

}  // namespace

void WizardController::ClampCentre() {
    const Size s = display.BaseSize();
    centreX = ClampedCentre(centreX, s.width);
    centreY = ClampedCentre(centreY, s.height);
}

bool WizardController::ScaleForRun(int32_t width, int32_t height, bool preview, Bitmap& scaled) {
    const EngineSettings settings = settingsFromOptions(CurrentOptions());
    if (RunFitsInMemory(width, height, preview, settings) && scaleBilinearClamped(source, width, height, scaled))
        return true;
    ShowTooLarge(width, height);
    return false;
}

void FitFieldSides(int32_t& width, int32_t& height) {
    if (width > MaxFinalSide) {
        height = ProportionalSide(height, MaxFinalSide, width);
        width = MaxFinalSide;
    }
    if (height > MaxFinalSide) {
        width = ProportionalSide(width, MaxFinalSide, height);
        height = MaxFinalSide;
    }
}

bool WizardController::StartProcessing(int32_t mode) {
    const int32_t fileCount = static_cast<int32_t>(files.size());
    int32_t w = 0, h = 0;
    if (mode == StartApply && fileCount >= 2) {
        if (!optionsPresent)
            return true;
        prependText = prependField ? prependField->committedText : String();
        appendText = appendField ? appendField->committedText : String();
        if (prependText.length == 0 && appendText.length == 0 &&
            !AskYesNo("No batch names specified - the original images on disk will be overwritten with the "
                      "results. Are you sure?",
                      false, true))
            return true;
        // Every result's name is known now: none may replace a file the
        // batch has still to read, and no two may share a name.
        std::vector<String> targets;
        for (const String& input : files)
            targets.push_back(resultPathFor(input, prependText, appendText));
        const std::vector<String> refusals = CheckOutputTargets(files, targets);
        for (size_t i = 0; i < refusals.size(); ++i)
            if (refusals[i].length > 0) {
                ShowMessage(Format("The batch would write %s: %s. Choose other batch names.", CStr(targets[i]),
                                   CStr(refusals[i])),
                            true);
                return true;
            }
        fixedWidth = fixedHeight = 0;
        factorX = factorY = 0.0f;
        ConstrainResolution(false);
        w = FieldValue(widthField);
        h = FieldValue(heightField);
        if (w != source.width || h != source.height) {
            if (AskYesNo("You have initiated batch mode with an altered image resolution. Do you want to apply the "
                         "same magnifying factor to all images? Selecting no will generate the images with the "
                         "current selected final resolution regardless of the input image size.",
                         true, false)) {
                factorX = SideFactor(w, source.width);
                factorY = SideFactor(h, source.height);
            } else {
                fixedWidth = w;
                fixedHeight = h;
            }
        }
        batchIndex = 0;
        mode = StartBatchFile;
    }

    const bool preview = mode == StartPreview;
    Bitmap scaled;
    if (mode == StartBatchFile) {
        // The controls as they are now: a file that fails to load takes them
        // away, and the files after it must still run as the user set them.
        if (optionsPresent) {
            batchOptions = CurrentOptions();
            batchConstrain = constrainToggle->on;
        }
        bool rebuilt = false;
        for (;; ++batchIndex) {
            if (batchIndex >= fileCount) {
                batchIndex = -1;
                return true;
            }
            // Loading goes through SetImage, which clears the batch state.
            const int32_t index = batchIndex, fw = fixedWidth, fh = fixedHeight;
            const float fx = factorX, fy = factorY;
            LoadFile(index);
            batchIndex = index;
            fixedWidth = fw;
            fixedHeight = fh;
            factorX = fx;
            factorY = fy;
            if (source.isEmpty()) {
                rebuilt = true;
                continue;
            }
            if (rebuilt) {
                RestoreBatchOptions();
                rebuilt = false;
            }
            if (factorX > 0.0f) {
                w = ScaledSide(source.width, factorX);
                h = ScaledSide(source.height, factorY);
            } else if (fixedWidth >= 1) {
                w = fixedWidth;
                h = fixedHeight;
            } else {
                w = source.width;
                h = source.height;
            }
            // A tiny picture scaled by a small factor would vanish, and an
            // empty run never finishes: keep at least one pixel.
            w = std::max(w, 1);
            h = std::max(h, 1);
            if (w != source.width || h != source.height) {
                FitFieldSides(w, h);
                widthField->SetText(Format("%d", w));
                heightField->SetText(Format("%d", h));
            }
            // A result that cannot be written, or that would replace its
            // file with less than it holds without the user's consent, is
            // reported or asked about before the work, and skipped.
            bool changed = false;
            const String output = resultPathFor(files[static_cast<size_t>(batchIndex)], prependText, appendText,
                                                &changed);
            const String refusal = encodeRefusal(typeFromExtension(output), w, h);
            if (refusal.length > 0) {
                FileFailure failure;
                failure.kind = FileFailure::Kind::Other;
                failure.reason = refusal;
                ShowMessage(saveFailureMessage(output, typeFromExtension(output), &failure), true);
                continue;
            }
            const String loss = changed ? String() : InPlaceLoss(output);
            if (loss.length > 0 &&
                !AskYesNo(Format("Replacing %s with its result loses %s. Replace it anyway?", CStr(output),
                                 CStr(loss)),
                          false, true))
                continue;
            // A file too large for its final size is reported and skipped,
            // as one that does not load.
            if (ScaleForRun(w, h, false, scaled))
                break;
        }
    } else {
        batchIndex = -1;
        if (optionsPresent) {
            ConstrainResolution(false);
            w = FieldValue(widthField);
            h = FieldValue(heightField);
        } else {
            w = source.width;
            h = source.height;
        }
        if (source.isEmpty())
            return true;
        if (!ScaleForRun(w, h, preview, scaled))
            return false;
    }
    const EngineSettings settings = settingsFromOptions(CurrentOptions());

    const Size oldBase = display.BaseSize();
    const float rxOld = static_cast<float>(oldBase.width) / static_cast<float>(source.width);
    const float ryOld = static_cast<float>(oldBase.height) / static_cast<float>(source.height);
    const float sx = static_cast<float>(w) / static_cast<float>(source.width);
    const float sy = static_cast<float>(h) / static_cast<float>(source.height);
    display.Rebuild(scaled);
    result.Clear();
    resultKind = ResultNone;
    centreX = centreX * sx / rxOld;
    centreY = centreY * sy / ryOld;
    ClampCentre();

    RemoveStep5();
    RemoveViewToggle();
    RemoveProgressBar();
    // A result handed over before this request belongs to the run being
    // replaced; collected now, its memory is free before the new run needs it.
    if (job.resultReady.load()) {
        Bitmap stale;
        job.collect(stale);
    }
    const auto submitted = [&] {
        if (display.IsEmpty())
            return false;
        const Bitmap& picture = display.Level(0);
        if (!preview)
            return job.submit(picture, settings);
        const int32_t cx = static_cast<int32_t>(std::nearbyint(centreX));
        const int32_t cy = static_cast<int32_t>(std::nearbyint(centreY));
        previewRect = Rect(std::clamp(cx - PreviewHalfWidth, 0, picture.width),
                           std::clamp(cy - PreviewHalfHeight, 0, picture.height),
                           std::clamp(cx + PreviewHalfWidth, 0, picture.width),
                           std::clamp(cy + PreviewHalfHeight, 0, picture.height));
        Bitmap request;
        return request.cropFrom(picture, previewRect) && job.submit(request, settings);
    };
    if (!submitted()) {
        // No memory for the view or for the run's copy of it: nothing runs,
        // and a run still going belongs to the view that was replaced. A
        // batch goes on with the next file, as after one too large to scale.
        job.cancel();
        jobMode = JobIdle;
        ShowTooLarge(w, h);
        if (batchIndex >= 0 && ++batchIndex < fileCount)
            return StartProcessing(StartBatchFile);
        batchIndex = -1;
        return true;
    }
    jobMode = preview ? JobPreviewing : JobApplying;
    CreateProgressBar(preview ? previewButton : applyButton);
    return true;
}

void WizardController::CollectResult() {
    Bitmap out;
    job.collect(out);
    RemoveProgressBar();
    if (jobMode == JobIdle)
        return;  // nothing asked for it
    ++resultsCollected;
    if (jobMode == JobPreviewing) {
        const Size base = display.BaseSize();
        Bitmap canvas;
        if (canvas.resize(base.width, base.height)) {
            canvas.fill(packPixel(255, 255, 255, 255));
            const int32_t left = previewRect.left(), top = previewRect.top();
            const int32_t right = std::min({previewRect.right(), left + out.width, canvas.width});
            const int32_t bottom = std::min({previewRect.bottom(), top + out.height, canvas.height});
            for (int32_t y = std::max(top, 0); y < bottom; ++y) {
                const int32_t x0 = std::max(left, 0);
                if (right > x0)
                    std::memcpy(canvas.elementAt(x0, y), out.elementAt(x0 - left, y - top),
                                static_cast<size_t>(right - x0) * sizeof(uint32_t));
            }
        }
        result.Rebuild(canvas);
        resultKind = ResultPreview;
        centreX = static_cast<float>((previewRect.left() + previewRect.right()) / 2);
        centreY = static_cast<float>((previewRect.top() + previewRect.bottom()) / 2);
    } else {
        result.Rebuild(out);
        resultKind = ResultFull;
        if (batchIndex < 0 && step5Widgets.empty())
            ShowStep5();
    }
    if (!viewToggle && zoomInButton) {
        viewToggle = new Button(Point{330, zoomInButton->bounds.top()},
                                TheUiResources ? &TheUiResources->compareIcon : nullptr, nullptr, 25, 19);
        root.AddChild(viewToggle);
    }
    jobMode = JobIdle;

    if (batchIndex >= 0) {
        bool changed = false;
        const String output = resultPathFor(files[static_cast<size_t>(batchIndex)], prependText, appendText,
                                            &changed);
        Save(output, changed);
        if (++batchIndex < static_cast<int32_t>(files.size()))
            StartProcessing(StartBatchFile);
        else
            batchIndex = -1;
    }
}
