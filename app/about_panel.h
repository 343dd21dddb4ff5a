#pragma once

#include "core/strings.h"
#include "ui/widget_window.h"

#include <cstdint>

class Button;
class ColorRect;
class TextLabel;

inline constexpr const char* ProductName = "Vistrel";
inline constexpr const char* MakerName = "Orbwell Software";
inline constexpr int32_t VersionMajor = 1;
inline constexpr int32_t VersionMinor = 3;
// The rights notice; the run of spaces leaves room for the circled-C sign
// that is drawn over it.
inline constexpr const char* RightsNotice = "Copyright     2026";

// Our own pages, until the maker has a web site; below the program's folder,
// with the system's separator.
#ifdef _WIN32
#define VISTREL_HELP_FOLDER "Help\\"
#else
#define VISTREL_HELP_FOLDER "Help/"
#endif
inline constexpr const char* HelpIndexPage = VISTREL_HELP_FOLDER "index.html";
inline constexpr const char* DenoiseExamplesPage = VISTREL_HELP_FOLDER "denoiseexamples.html";
inline constexpr const char* MagnifyExamplesPage = VISTREL_HELP_FOLDER "magnifyexamples.html";
inline constexpr const char* HomePage = VISTREL_HELP_FOLDER "about.html";
inline constexpr const char* SupportPage = VISTREL_HELP_FOLDER "support.html";

// A text label is a link when its colour is exactly opaque pure blue.
bool IsLink(const Widget* widget);

// Opens a page below the program's folder in the browser, or says
// "Couldn't open file %s" with its full path when the file is missing and
// "No web browser was found to show %s" when nothing could show it.
void openHelpFile(const char* relativePath);
// Hands an address to the browser; a refusal is ignored.
void openWebPage(const String& address);
// The maker's home page.
void openHomePage();

// Moves (or creates, or with none removes) the one-pixel black underline
// under a hovered link: as wide as the link, two pixels above its bottom.
void UnderlineLink(Widget& root, ColorRect*& underline, const Widget* link);

// The About window: a pop-up with the About picture, the example links and
// the maker's link.
class AboutPanel : public WidgetWindow {
public:
    AboutPanel();
    ~AboutPanel() override;

    bool IsOpen() const { return HasNative(); }
    bool Update(const InputState& snapshot) override;

    TextLabel* slots[4] = {};
    ColorRect* underline = nullptr;
    int32_t hoveredSlot = -1;
    Button* okButton = nullptr;
};
