#include "app/about_panel.h"

#include "app/application.h"
#include "platform/browser.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/color_rect.h"
#include "ui/image_widget.h"
#include "ui/rect_ops.h"
#include "ui/scroll_view.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

namespace {

constexpr uint32_t LinkBlue = packPixel(0, 0, 255, 255);
constexpr uint32_t Black = packPixel(0, 0, 0, 255);
constexpr uint32_t White = packPixel(255, 255, 255, 255);
constexpr uint32_t LightGrey = packPixel(224, 224, 224, 255);
// The About picture's size when the resources could not be built.
constexpr int32_t DefaultAboutWidth = 580;

}  // namespace

bool IsLink(const Widget* widget) {
    return widget && widget->TypeId() == TypeTextLabel && static_cast<const TextLabel*>(widget)->colour == LinkBlue;
}

void openHelpFile(const char* relativePath) {
    String path;
    FormatInto(path, "%s%s", CStr(ProgramFolder), relativePath);
    if (!FileExists(path))
        ShowMessage(Format("Couldn't open file %s", CStr(path)), true);
    else if (!OpenInBrowser(path))
        ShowMessage(Format("No web browser was found to show %s", CStr(path)), true);
}

void openWebPage(const String& address) { OpenInBrowser(address); }

void openHomePage() { openHelpFile(HomePage); }

void UnderlineLink(Widget& root, ColorRect*& underline, const Widget* link) {
    if (!link) {
        if (underline) {
            root.RemoveChild(underline);
            underline = nullptr;
        }
        return;
    }
    const Rect r = link->bounds;
    const Rect line(r.left(), r.bottom() - 2, r.right(), r.bottom() - 1);
    if (underline && underline->bounds == line)
        return;
    if (underline)
        root.RemoveChild(underline);
    underline = new ColorRect(line, Black);
    root.AddChild(underline);
}

AboutPanel::AboutPanel() {
    if (TheApplication)
        TheApplication->about = this;
    const UiResources* art = TheUiResources;
    const int32_t pictureWidth = art && art->aboutPicture.width > 0 ? art->aboutPicture.width : DefaultAboutWidth;
    const Size client{pictureWidth + 49, 510};
    String title;
    FormatInto(title, "About %s %d.%d", ProductName, VersionMajor, VersionMinor);
    if (!CreateNative(title, client, client, true))
        return;
    FitRootToClient();
    const int32_t w = ClientSize().width;

    root.AddChild(new ColorRect(Rect(0, 0, w, ClientSize().height), White));
    root.AddChild(new ColorRect(Rect(0, 437, w, 457), LightGrey));
    static const char* const texts[4] = {"Denoising Examples", "Magnification Examples", MakerName, RightsNotice};
    static const Point places[4] = {{35, 390}, {35, 410}, {157, 470}, {35, 470}};
    for (int32_t i = 0; i < 4; ++i) {
        slots[i] = new TextLabel(places[i], texts[i], UiFont0(), i < 3 ? LinkBlue : Black, false);
        root.AddChild(slots[i]);
    }
    root.AddChild(new ImageWidget(Point{101, 469}, art ? &art->copyrightSign : nullptr, true));
    auto* scroll = new ScrollView(Point{15, 15}, ::Size{pictureWidth + 19, 380});
    scroll->Content()->AddChild(new ImageWidget(Point{15, 15}, art ? &art->aboutPicture : nullptr, false));
    root.AddChild(scroll);
    okButton = new Button(Point{w - 65, 481}, nullptr, "Ok");
    root.AddChild(okButton);
}

AboutPanel::~AboutPanel() {
    if (TheApplication && TheApplication->about == this)
        TheApplication->about = nullptr;
}

bool AboutPanel::Update(const InputState& snapshot) {
    hoveredSlot = -1;
    if (!snapshot.active)
        return okButton && okButton->clicked;
    for (int32_t i = 0; i < 4; ++i) {
        TextLabel* label = slots[i];
        if (!IsLink(label) || !Contains(label->bounds, snapshot.mouseX, snapshot.mouseY))
            continue;
        UnderlineLink(root, underline, label);
        hoveredSlot = i;
        if (snapshot.pressed & MouseLeft) {
            if (i == 0)
                openHelpFile(DenoiseExamplesPage);
            else if (i == 1)
                openHelpFile(MagnifyExamplesPage);
            else if (i == 2)
                openHomePage();
        }
        break;
    }
    if (hoveredSlot < 0)
        UnderlineLink(root, underline, nullptr);
    if (TheWindowManager)
        TheWindowManager->SetCursorShape(hoveredSlot >= 0 ? CursorHand : CursorArrow);
    return okButton && okButton->clicked;
}
