// Renders every control of the toolkit in each of its states into PNG files,
// for people to look at. Usage: vistrel_gallery OUTPUT_FOLDER

#include "core/bilinear_weights.h"
#include "imagefile/image_file.h"
#include "platform/input_state.h"
#include "ui/button.h"
#include "ui/button_face.h"
#include "ui/color_rect.h"
#include "ui/drop_shadow.h"
#include "ui/edit_field.h"
#include "ui/image_widget.h"
#include "ui/quad_image.h"
#include "ui/radio_group.h"
#include "ui/scroll_view.h"
#include "ui/slider.h"
#include "ui/text_label.h"
#include "ui/ui_resources.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t Backdrop = 0xFF3A4350;
constexpr uint32_t White = 0xFFFFFFFF;

// One page: a tree on an off-screen canvas, stepped with scripted input.
class Page {
public:
    Page(int32_t w, int32_t h) {
        canvas.resize(w, h);
        root.bounds = canvas.bounds();
        root.AddChild(new ColorRect(canvas.bounds(), Backdrop));
    }
    ~Page() { root.DeleteChildren(); }

    template <typename T>
    T* Add(T* w) {
        root.AddChild(w);
        return w;
    }
    void Label(int32_t x, int32_t y, const char* text) {
        Add(new TextLabel(Point{x, y}, text, UiFont0(), White, true));
    }
    // One frame with the pointer at (x, y).
    void Frame(int32_t x, int32_t y) {
        input.TakeSnapshot(x, y, true);
        root.UpdateTree(input);
    }
    void Click(int32_t x, int32_t y) {
        input.OnButtonDown(MouseLeft);
        input.OnButtonUp(MouseLeft);
        Frame(x, y);
        Frame(x, y);
    }
    void Type(const char* text) {
        for (const char* p = text; *p; ++p)
            input.OnKey(static_cast<uint8_t>(*p));
    }
    bool Save(const char* folder, const char* name) {
        root.MarkDirty();
        root.PaintDirtyInto(canvas);
        String path = Format("%s/%s", folder, name);
        if (!save(canvas, path, 90, nullptr)) {
            std::fprintf(stderr, "cannot write %s\n", CStr(path));
            return false;
        }
        std::printf("%s\n", CStr(path));
        return true;
    }

    RootWidget root;
    InputState input;
    Bitmap canvas;
};

// Shows each of a button's four faces side by side.
void FaceRow(Page& page, const Button& b, int32_t x, int32_t y) {
    for (int32_t i = 0; i < 4; ++i)
        page.Add(new ImageWidget(Point{x + i * (b.faceImage->bounds.width() + 12), y}, &b.faces[i], true));
}

bool ControlsPage(const char* folder) {
    Page page(760, 560);
    const UiResources& r = *TheUiResources;
    page.Label(10, 8, "Button faces: normal, down, hover, hover and down");
    // Built outside the tree: only their faces are shown.
    std::vector<std::unique_ptr<Button>> samples;
    samples.emplace_back(new Button(Point{0, 0}, nullptr, "Apply"));
    samples.emplace_back(new Button(Point{0, 0}, &r.compareIcon, nullptr));
    samples.emplace_back(new Button(Point{0, 0}, &r.compareIcon, "Compare", 110, 24));
    samples.emplace_back(new Button(Point{0, 0}, nullptr, "Off", 60, 19, false, true, false, nullptr, "On"));
    for (size_t i = 0; i < samples.size(); ++i)
        FaceRow(page, *samples[i], 10, 30 + static_cast<int32_t>(i) * 30);

    page.Label(10, 160, "Progress faces: 0 %, 35 %, 100 %");
    static Bitmap progress[3];
    const int32_t percents[3] = {0, 35, 100};
    for (int32_t i = 0; i < 3; ++i) {
        RenderButtonFace(FaceNormal, progress[i], nullptr, CStr(Format("%d %%", percents[i])), 200, 19, true,
                         percents[i]);
        page.Add(new ImageWidget(Point{10 + i * 215, 182}, &progress[i], true));
    }

    page.Label(10, 215, "Live controls (after scripted input)");
    page.Add(new Button(Point{10, 240}, nullptr, "Push"));
    page.Add(new Button(Point{70, 240}, nullptr, "Held"));
    Button* a = new Button(Point{140, 240}, nullptr, "Small", 60, 19, false, true, true);
    Button* b = new Button(Point{205, 240}, nullptr, "Large", 60, 19, false, true, false);
    Button* c = new Button(Point{270, 240}, nullptr, "Huge", 60, 19, false, true, false);
    page.Add(new RadioGroup(a, b, c));
    page.Add(new Slider(Point{10, 280}, 250, 40, 0, 100, 35, true, true, 1, 10));
    page.Add(new Slider(Point{10, 310}, 250, 24, -50, 50, 0, false, true, 5, 25));
    page.Add(new Slider(Point{410, 240}, 120, 30, 0, 10, 7, true, false, 1, 3));
    page.Add(new EditField(Point{10, 345}, 140, "1600", "0123456789", 5));
    page.Add(new EditField(Point{160, 345}, 140, "A long text that scrolls inside its field", nullptr, -1));
    page.Add(new EditField(Point{310, 345}, 100, "Name", nullptr, -1));

    page.Click(210, 245);  // selects "Large"
    page.Click(290, 285);  // increment: 36
    page.Click(250, 285);  // groove after the thumb: 46
    page.Click(20, 315);   // decrement: -5
    page.Click(20, 350);   // focuses the digits field
    page.input.OnKey(KeyEnd);
    page.Type("7x8");      // the fifth digit fits, the letter and a sixth do not
    page.Frame(20, 350);

    auto* view = page.Add(new ScrollView(Point{460, 240}, Size{280, 300}));
    view->Content()->AddChild(new ImageWidget(Point{460, 240}, &r.aboutPicture, false));
    page.Frame(320, 350);
    // Last: "Held" pressed and still held.
    page.input.OnButtonDown(MouseLeft);
    page.Frame(75, 245);
    return page.Save(folder, "controls.png");
}

bool TextPage(const char* folder) {
    Page page(760, 420);
    const UiResources& r = *TheUiResources;
    page.Add(new ColorRect(Rect(0, 0, 760, 420), 0xFFF4F4F0));
    int32_t y = 10;
    auto line = [&](const Font* font, const char* text, uint32_t colour, bool shadow) {
        page.Add(new TextLabel(Point{10, y}, text, font, colour, shadow));
        y += font->lineHeight + 6;
    };
    line(&r.font2, "Step 2 - options", 0xFF000000, false);
    line(&r.font2, "Vistrel 1.3", 0xFF223452, false);
    line(&r.font0, " !\"#$%&'()*+,-./0123456789:;<=>?@", 0xFF000000, false);
    line(&r.font0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`", 0xFF000000, false);
    line(&r.font0, "abcdefghijklmnopqrstuvwxyz{|}~", 0xFF000000, false);
    line(&r.font0, "Noise size   Denoise amount   Denoise cutoff   Deblur amount", 0xFF000000, false);
    line(&r.font0, "White text with a shadow", White, true);
    line(&r.font0, "Raised \001x\0012\002\002 and lowered \002y\002\001\001 text", 0xFF0000C0, false);
    line(&r.font2, " !\"#$%&'()*+,-./0123456789:;<=>?@", 0xFF000000, false);
    line(&r.font2, "ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`", 0xFF000000, false);
    line(&r.font2, "abcdefghijklmnopqrstuvwxyz{|}~", 0xFF000000, false);

    const Bitmap* icons[6] = {&r.compareIcon, &r.copyrightSign, &r.arrowLeft,
                              &r.arrowRight,  &r.arrowDown,     &r.arrowUp};
    for (int32_t i = 0; i < 6; ++i)
        page.Add(new ImageWidget(Point{10 + i * 30, y + 6}, icons[i], true));
    return page.Save(folder, "text.png");
}

bool PicturesPage(const char* folder) {
    Page page(780, 520);
    const UiResources& r = *TheUiResources;
    page.Add(new ColorRect(Rect(0, 0, 780, 520), 0xFFFFFFFF));
    page.Add(new ImageWidget(Point{0, 10}, &r.stripPicture, false));
    page.Add(new ColorRect(Rect(r.stripPicture.width, 10, 780, 10 + r.stripPicture.height),
                           r.stripPicture.at(r.stripPicture.width - 1, 0)));
    page.Add(new TextLabel(Point{380, 50}, "Vistrel 1.3", &r.font2, 0xFF000000, false));
    page.Add(new ImageWidget(Point{446, 79}, &r.copyrightSign, true));

    // A drop shadow behind a picture, and the same picture on a skewed quad.
    page.Add(new DropShadow(Point{30, 280}, Size{200, 150}));
    auto* photo = page.Add(new QuadImage(&r.stripPicture, false, false));
    const QuadCorner flat[4] = {{30, 280, 40, 20}, {230, 280, 240, 20}, {30, 430, 40, 170}, {230, 430, 240, 170}};
    photo->SetCorners(flat);
    // Bilinear sampling reads one pixel right of and below each position:
    // the source region stops one short of the picture's edges.
    auto* skew = page.Add(new QuadImage(&r.stripPicture, false, true));
    const float u1 = static_cast<float>(r.stripPicture.width - 1), v1 = static_cast<float>(r.stripPicture.height - 1);
    const QuadCorner skewed[4] = {{330, 300, 0, 0}, {600, 270, u1, 0}, {350, 470, 0, v1}, {620, 500, u1, v1}};
    skew->SetCorners(skewed);
    return page.Save(folder, "pictures.png");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    InitBilinearWeights();
    UiResources resources;
    TheUiResources = &resources;
    if (!resources.complete) {
        std::fprintf(stderr, "the embedded art did not decode\n");
        return 1;
    }
    const bool ok = ControlsPage(argv[1]) && TextPage(argv[1]) && PicturesPage(argv[1]);
    TheUiResources = nullptr;
    return ok ? 0 : 1;
}
