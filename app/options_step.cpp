#include "app/wizard_controller.h"

#include "engine/final_resolution.h"
#include "engine/presets.h"
#include "ui/button.h"
#include "ui/color_rect.h"
#include "ui/drop_shadow.h"
#include "ui/edit_field.h"
#include "ui/image_widget.h"
#include "ui/radio_group.h"
#include "ui/slider.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

#include <algorithm>

namespace {

constexpr uint32_t White = packPixel(255, 255, 255, 255);
constexpr uint32_t BoxGrey = packPixel(32, 32, 32, 255);

// The preset buttons in screen order: two columns, rows top to bottom.
struct PresetPlace {
    const char* name;
    Point position;
};
constexpr PresetPlace PresetPlaces[8] = {
    {"Fine digicam noise", {15, 98}},    {"Photo 2x zoom", {162, 98}},   {"Phone camera noise", {15, 123}},
    {"Graphic 2x zoom", {162, 123}},     {"Harsh Jpeg artifacts", {15, 148}}, {"Photo 4x zoom", {162, 148}},
    {"Digital zoom artifacts", {15, 173}}, {"Graphic 4x zoom", {162, 173}},
};

Slider* OptionSlider(int32_t y, int32_t value) {
    return new Slider(Point{127, y}, 140, 40, 0, 100, value, true, true, 1, 10);
}

void SetSlider(Slider* slider, int32_t value) {
    slider->value = std::clamp(value, slider->minimum, slider->maximum);
    slider->Reposition();
}

}  // namespace

void WizardController::BuildOptionsStep() {
    if (optionsPresent)
        return;
    auto add = [this](Widget* w) {
        optionWidgets.push_back(w);
        root.AddChild(w);
    };
    auto label = [&](Point p, const char* text, const Font* font) {
        auto* l = new TextLabel(p, text, font, White, true);
        add(l);
        return l;
    };
    step2Label = label(Point{15, 65}, "Step 2 - options", UiFont2());
    helpButton = new Button(Point{179, 66}, nullptr, "?", 25);
    add(helpButton);
    add(new ColorRect(Rect(10, 93, 310, 197), BoxGrey));
    for (int32_t i = 0; i < 8; ++i) {
        presetButtons[i] = new Button(PresetPlaces[i].position, nullptr, PresetPlaces[i].name, 142);
        add(presetButtons[i]);
    }
    add(new ColorRect(Rect(10, 208, 310, 262), BoxGrey));
    label(Point{15, 215}, "Final resolution", UiFont0());
    widthField = new EditField(Point{172, 213}, 50, CStr(Format("%d", source.width)), "0123456789", 5);
    add(widthField);
    label(Point{224, 215}, "x", UiFont0());
    heightField = new EditField(Point{234, 213}, 50, CStr(Format("%d", source.height)), "0123456789", 5);
    add(heightField);
    label(Point{15, 240}, "Constrain proportions", UiFont0());
    constrainToggle = new Button(Point{172, 238}, nullptr, "No", 50, -1, false, true, true, nullptr, "Yes");
    add(constrainToggle);
    add(new ColorRect(Rect(10, 273, 310, 402), BoxGrey));
    label(Point{15, 280}, "Source scale", UiFont0());
    scaleGroup = new RadioGroup(new Button(Point{127, 278}, nullptr, "Original", 70, -1, false, true, true),
                                new Button(Point{202, 278}, nullptr, "All scales", 70, -1, false, true, false));
    add(scaleGroup);
    label(Point{15, 305}, "Noise size", UiFont0());
    noiseSizeSlider = OptionSlider(303, 25);
    add(noiseSizeSlider);
    label(Point{15, 330}, "Denoise amount", UiFont0());
    amountSlider = OptionSlider(328, 15);
    add(amountSlider);
    label(Point{15, 355}, "Denoise cutoff", UiFont0());
    cutoffSlider = OptionSlider(353, 15);
    add(cutoffSlider);
    label(Point{15, 380}, "Deblur amount", UiFont0());
    deblurSlider = OptionSlider(378, 0);
    add(deblurSlider);
    step3Label = label(Point{15, 438}, "Step 3 (optional) - preview", UiFont2());
    previewButton = new Button(Point{15, 463}, nullptr, "Preview", 107);
    add(previewButton);
    step4Label = label(Point{15, 493}, "Step 4", UiFont2());
    applyButton = new Button(Point{15, 518}, nullptr, "Apply", 107);
    add(applyButton);

    // The preview panel; its pictures are drawn by the navigator and view code.
    if (navigatorOverlay.resize(navigatorBox.width, navigatorBox.height))
        navigatorOverlay.fill(packPixel(192, 192, 192, 255));
    navigator = new ImageWidget(Point{330, 15}, &navigatorOverlay, false);
    add(navigator);
    navigatorShadow = new DropShadow(navigator->Position(), navigator->Size());
    add(navigatorShadow);
    fileNameLabel = label(Point{0, 20}, "", UiFont0());
    sizeLabel = label(Point{0, 40}, "", UiFont0());
    if (viewPicture.resize(100, 100))
        viewPicture.fill(packPixel(192, 192, 192, 255));
    view = new ImageWidget(Point{100, 50}, &viewPicture, false);
    add(view);
    viewShadow = new DropShadow(view->Position(), view->Size());
    add(viewShadow);
    viewModeLabel = label(Point{360, 225}, "Original", UiFont0());
    zoomOutButton = new Button(Point{460, 223}, nullptr, "-", 25);
    add(zoomOutButton);
    zoomInButton = new Button(Point{490, 223}, nullptr, "+", 25);
    add(zoomInButton);
    zoomLabel = label(Point{520, 225}, "100%", UiFont0());

    zoom = 256;
    viewMode = ViewSource;
    optionsPresent = true;
    OnResize();
}

void WizardController::RemoveOptionsStep() {
    RemoveWidgets(optionWidgets);
    step2Label = nullptr;
    helpButton = nullptr;
    std::fill(std::begin(presetButtons), std::end(presetButtons), nullptr);
    widthField = heightField = nullptr;
    constrainToggle = nullptr;
    scaleGroup = nullptr;
    noiseSizeSlider = amountSlider = cutoffSlider = deblurSlider = nullptr;
    step3Label = step4Label = nullptr;
    previewButton = applyButton = nullptr;
    navigator = view = nullptr;
    navigatorShadow = viewShadow = nullptr;
    fileNameLabel = sizeLabel = viewModeLabel = zoomLabel = nullptr;
    zoomOutButton = zoomInButton = nullptr;
    optionsPresent = false;
    dragging = false;
    zoom = 256;
    centreX = centreY = 50.0f;
    viewMode = ViewSource;
}

void WizardController::ApplyPreset(int32_t index) {
    const Preset* preset = findPreset(PresetPlaces[index].name);
    if (!preset)
        return;
    int32_t w = source.width * preset->factor, h = source.height * preset->factor;
    FitFieldSides(w, h);
    widthField->SetText(Format("%d", w));
    heightField->SetText(Format("%d", h));
    scaleGroup->Select(preset->scaleChoice);
    SetSlider(noiseSizeSlider, preset->noiseSize);
    SetSlider(amountSlider, preset->denoiseAmount);
    SetSlider(cutoffSlider, preset->denoiseCutoff);
    SetSlider(deblurSlider, preset->deblurAmount);
}

void WizardController::HandleOptionsFrame() {
    if (!optionsPresent)
        return;
    // Table order, which is also the order of the engine's preset list.
    for (int32_t p = 0; p < PresetCount; ++p) {
        for (int32_t i = 0; i < 8; ++i) {
            if (presetButtons[i]->clicked && String(PresetPlaces[i].name) == Presets[p].name)
                ApplyPreset(i);
        }
    }
    ConstrainResolution(true);
}

void WizardController::ConstrainResolution(bool onlyIfEdited) {
    if (!widthField || !heightField)
        return;
    const bool widthEdited = widthField->committed, heightEdited = heightField->committed;
    if (constrainToggle && constrainToggle->on) {
        EditField* master = nullptr;
        if (widthEdited)
            master = widthField;
        else if (heightEdited)
            master = heightField;
        else if (!onlyIfEdited)
            master = heightField->focused && !widthField->focused ? heightField : widthField;
        // The locked side may outgrow the fields: it is capped, and the
        // master side recomputed from it, so that the fields show what runs.
        if (master == widthField) {
            const int32_t h = ProportionalSide(source.height, FieldValue(widthField), source.width);
            if (h > MaxFinalSide)
                widthField->SetText(Format("%d", ProportionalSide(source.width, MaxFinalSide, source.height)));
            heightField->SetText(Format("%d", std::min(h, MaxFinalSide)));
        } else if (master == heightField) {
            const int32_t w = ProportionalSide(source.width, FieldValue(heightField), source.height);
            if (w > MaxFinalSide)
                heightField->SetText(Format("%d", ProportionalSide(source.height, MaxFinalSide, source.width)));
            widthField->SetText(Format("%d", std::min(w, MaxFinalSide)));
        }
    }
    if (!onlyIfEdited || widthEdited)
        widthField->SetText(Format("%d", std::max(FieldValue(widthField), 1)));
    if (!onlyIfEdited || heightEdited)
        heightField->SetText(Format("%d", std::max(FieldValue(heightField), 1)));
}

OptionValues WizardController::CurrentOptions() const {
    OptionValues o;
    if (!optionsPresent)
        return o;
    o.noiseSize = noiseSizeSlider->value;
    o.denoiseAmount = amountSlider->value;
    o.denoiseCutoff = cutoffSlider->value;
    o.deblurAmount = deblurSlider->value;
    o.scaleChoice = scaleGroup->selected < 0 ? 0 : scaleGroup->selected;
    return o;
}

void WizardController::RestoreBatchOptions() {
    if (!optionsPresent)
        return;
    SetSlider(noiseSizeSlider, batchOptions.noiseSize);
    SetSlider(amountSlider, batchOptions.denoiseAmount);
    SetSlider(cutoffSlider, batchOptions.denoiseCutoff);
    SetSlider(deblurSlider, batchOptions.deblurAmount);
    scaleGroup->Select(batchOptions.scaleChoice);
    if (constrainToggle->on != batchConstrain) {
        constrainToggle->on = constrainToggle->shownOn = batchConstrain;
        constrainToggle->ShowFace((batchConstrain ? 1 : 0) + 2 * (constrainToggle->hover ? 1 : 0));
    }
    if (prependField && appendField) {
        prependField->SetText(prependText);
        appendField->SetText(appendText);
    }
}
