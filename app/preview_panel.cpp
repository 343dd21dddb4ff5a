#include "app/wizard_controller.h"

#include "core/output_naming.h"
#include "platform/window_manager.h"
#include "ui/button.h"
#include "ui/color_rect.h"
#include "ui/draw.h"
#include "ui/drop_shadow.h"
#include "ui/image_widget.h"
#include "ui/rect_ops.h"
#include "ui/span_op.h"
#include "ui/text_label.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t Grey = packPixel(192, 192, 192, 255);
constexpr uint32_t Black = packPixel(0, 0, 0, 255);
constexpr uint32_t White = packPixel(255, 255, 255, 255);
constexpr int32_t MinZoom = 16;
constexpr int32_t MaxZoom = 4096;

// The zoom as a percentage (zoom 256 is 100%), every decimal written out:
// zoom is a power of two, so the fraction ends. Written by hand because the
// C library's decimal point follows the locale ("6,25%" in German).
String ZoomText(int32_t zoom) {
    int32_t rest = zoom * 100;
    String text = Format("%d", rest / 256);
    rest %= 256;
    if (rest)
        text.AppendByte('.');
    while (rest) {
        rest *= 10;
        text.AppendByte(static_cast<uint8_t>('0' + rest / 256));
        rest %= 256;
    }
    text.AppendByte('%');
    return text;
}

int32_t RoundToInt(float v) { return static_cast<int32_t>(std::nearbyint(v)); }

// The outline of the rectangle with corners (x0, y0) and (x1, y1), both
// included.
void DrawOutline(Bitmap& canvas, uint32_t colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Rect& clip) {
    canvas.drawLine(colour, x0, y0, x1, y0, clip);
    canvas.drawLine(colour, x0, y1, x1, y1, clip);
    canvas.drawLine(colour, x0, y0, x0, y1, clip);
    canvas.drawLine(colour, x1, y0, x1, y1, clip);
}

// The same outline on a canvas scale times as fine: each of its pixels
// becomes a scale x scale block.
void DrawOutlineScaled(Bitmap& canvas, uint32_t colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                       const Rect& clip, int32_t scale) {
    for (int32_t i = 0; i < scale; ++i)
        DrawOutline(canvas, colour, x0 * scale + i, y0 * scale + i, x1 * scale + scale - 1 - i,
                    y1 * scale + scale - 1 - i, clip);
}

float Clamped01(float v) {
    if (!(v > 0.0f))
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

}  // namespace

String DisplayFileName(const String& path) {
    const int32_t d = LastSeparator(path);
    if (d <= 0 || d == path.length - 1)
        return path;
    return String(path.chars() + d + 1, path.length - d - 1);
}

void WizardController::DrawNavigator(Bitmap& target, int32_t tw, int32_t th, int32_t frame) {
    Bitmap thumb;
    if (display.IsEmpty()) {
        if (thumb.resize(tw, th))
            thumb.fill(Grey);
    } else {
        const int32_t larger = std::max(tw, th);
        int32_t chosen = display.LevelCount() - 1;
        for (int32_t i = 0; i < display.LevelCount(); ++i) {
            const Bitmap& level = display.Level(i);
            if (std::max(level.width, level.height) < 2 * larger) {
                chosen = i;
                break;
            }
        }
        const Bitmap& level = display.Level(chosen);
        if (thumb.resize(tw, th)) {
            CopyBilinearClamped op(&level);
            DrawImage(thumb, 0, 0, tw, th, 0.0f, 0.0f, op, nullptr,
                      static_cast<float>(level.width) / static_cast<float>(tw),
                      static_cast<float>(level.height) / static_cast<float>(th));
            if (displayColours)
                displayColours->convert(thumb.data, static_cast<int32_t>(thumb.pixelCount()));
        }
    }
    if (target.resize(thumb.width + 4 * frame, thumb.height + 4 * frame)) {
        target.fill(White);
        for (int32_t y = frame; y < target.height - frame; ++y)
            for (int32_t x = frame; x < target.width - frame; ++x)
                target.at(x, y) = Black;
        for (int32_t y = 0; y < thumb.height; ++y)
            for (int32_t x = 0; x < thumb.width; ++x)
                target.at(x + 2 * frame, y + 2 * frame) = thumb.at(x, y);
    }
}

void WizardController::RebuildNavigator() {
    if (!optionsPresent)
        return;
    const int32_t boxW = navigatorBox.width - 4, boxH = navigatorBox.height - 4;
    const Size base = display.BaseSize();
    int32_t tw = boxW, th = boxH;
    if (!display.IsEmpty()) {
        if (int64_t{boxW} * base.height <= int64_t{base.width} * boxH) {
            const float scale = std::min(static_cast<float>(boxW) / static_cast<float>(base.width), 1.0f);
            tw = std::min(boxW, base.width);
            th = std::min(RoundToInt(scale * static_cast<float>(base.height)), boxH);
        } else {
            const float scale = std::min(static_cast<float>(boxH) / static_cast<float>(base.height), 1.0f);
            tw = std::min(RoundToInt(scale * static_cast<float>(base.width)), boxW);
            th = std::min(base.height, boxH);
        }
        // A sliver of a picture still gets a visible thumbnail.
        tw = std::max(tw, 1);
        th = std::max(th, 1);
    }
    DrawNavigator(navigatorPicture, tw, th, 1);
    // At the screen's resolution the thumbnail keeps its place and size on
    // screen and gets the pixels it covers there.
    navigatorScale = DeviceScale();
    if (navigatorScale > 1)
        DrawNavigator(navigatorDevicePicture, tw * navigatorScale, th * navigatorScale, navigatorScale);
    navigatorOverlay.copyFrom(navigatorPicture);
    navigator->SetPicture(&navigatorOverlay);
    navigatorDeviceOverlay.copyFrom(navigatorDevicePicture);
    navigator->SetDevicePicture(navigatorScale > 1 ? &navigatorDeviceOverlay : nullptr);
    navigatorShadow->Layout(navigator->Position(), navigator->Size());

    const String path = currentIndex >= 0 && currentIndex < static_cast<int32_t>(files.size())
                            ? files[static_cast<size_t>(currentIndex)]
                            : String();
    fileNameLabel->SetText(DisplayFileName(path));
    sizeLabel->SetText(Format("%dx%d", source.width, source.height));
    const int32_t x = navigator->bounds.right() + 15;
    fileNameLabel->MoveTo(Point{x, fileNameLabel->bounds.top()});
    sizeLabel->MoveTo(Point{x, sizeLabel->bounds.top()});
}

void WizardController::ShowView(int32_t mode) {
    if (!optionsPresent)
        return;
    if (mode != viewMode) {
        viewModeLabel->SetText(mode == ViewSource ? "Original" : (resultKind == ResultPreview ? "Preview" : "Result"));
        viewMode = mode;
    }
    const Pyramid& pyramid = mode == ViewSource ? display : result;
    const int32_t vw = viewPicture.width - 4, vh = viewPicture.height - 4;
    const int32_t scale = DeviceScale();
    if (vw > 0 && vh > 0) {
        DrawView(viewPicture, 2, vw, vh, pyramid, scale);
        if (scale > 1) {
            if (viewDevicePicture.width != viewPicture.width * scale ||
                viewDevicePicture.height != viewPicture.height * scale)
                viewDevicePicture.resize(viewPicture.width * scale, viewPicture.height * scale);
            const Rect all = viewDevicePicture.bounds();
            DrawOutlineScaled(viewDevicePicture, White, 0, 0, vw + 3, vh + 3, all, scale);
            DrawOutlineScaled(viewDevicePicture, Black, 1, 1, vw + 2, vh + 2, all, scale);
            DrawView(viewDevicePicture, 2 * scale, vw * scale, vh * scale, pyramid, 1);
        }
    }

    // The navigator's rectangle around what the view shows.
    navigatorOverlay.copyFrom(navigatorPicture);
    const Size base = display.BaseSize();
    if (base.width > 0 && base.height > 0 && navigatorOverlay.width > 2 && navigatorOverlay.height > 2) {
        const int32_t tw = navigatorPicture.width - 4, th = navigatorPicture.height - 4;
        const int32_t nx = RoundToInt(static_cast<float>(tw) * centreX / static_cast<float>(base.width)) + 2;
        const int32_t ny = RoundToInt(static_cast<float>(th) * centreY / static_cast<float>(base.height)) + 2;
        const int64_t hx = (int64_t{tw} * std::max(vw, 0) * 128 * scale / zoom) / base.width;
        const int64_t hy = (int64_t{th} * std::max(vh, 0) * 128 * scale / zoom) / base.height;
        const Rect clip(1, 1, navigatorOverlay.width - 1, navigatorOverlay.height - 1);
        const int32_t x0 = static_cast<int32_t>(nx - hx), x1 = static_cast<int32_t>(nx + hx);
        const int32_t y0 = static_cast<int32_t>(ny - hy), y1 = static_cast<int32_t>(ny + hy);
        DrawOutline(navigatorOverlay, Black, x0, y0, x1, y1, clip);
        DrawOutline(navigatorOverlay, White, x0 - 1, y0 - 1, x1 + 1, y1 + 1, clip);
        if (navigatorScale > 1 && navigatorDeviceOverlay.width == navigatorOverlay.width * navigatorScale) {
            navigatorDeviceOverlay.copyFrom(navigatorDevicePicture);
            const int32_t k = navigatorScale;
            const Rect deviceClip(k, k, navigatorDeviceOverlay.width - k, navigatorDeviceOverlay.height - k);
            DrawOutlineScaled(navigatorDeviceOverlay, Black, x0, y0, x1, y1, deviceClip, k);
            DrawOutlineScaled(navigatorDeviceOverlay, White, x0 - 1, y0 - 1, x1 + 1, y1 + 1, deviceClip, k);
        }
    }
    navigator->SetPicture(&navigatorOverlay);
    navigator->SetDevicePicture(navigatorScale > 1 ? &navigatorDeviceOverlay : nullptr);
    view->SetPicture(&viewPicture);
    view->SetDevicePicture(scale > 1 && !viewDevicePicture.isEmpty() ? &viewDevicePicture : nullptr);
}

void WizardController::DrawView(Bitmap& target, int32_t at, int32_t vw, int32_t vh, const Pyramid& pyramid,
                                int32_t pixelSize) {
    if (pyramid.IsEmpty()) {
        FillSolid grey(Grey);
        DrawImage(target, at, at, vw, vh, 0.0f, 0.0f, grey, nullptr);
        return;
    }
    // The level and step go by screen pixels; a coarser target takes every
    // pixelSize-th sample.
    const int32_t t = 8 - HighestBit(static_cast<uint32_t>(zoom));
    const int32_t level = std::clamp(t, 0, pyramid.LevelCount() - 1);
    const float s = std::ldexp(1.0f, t - level) * static_cast<float>(pixelSize);
    const float cx = std::ldexp(centreX, -level), cy = std::ldexp(centreY, -level);
    const float startX = cx - 0.5f * s * static_cast<float>(vw);
    const float startY = cy - 0.5f * s * static_cast<float>(vh);
    CopyNearestBackground op(&pyramid.Level(level), Grey);
    DrawImage(target, at, at, vw, vh, startX, startY, op, nullptr, s, s);
    if (displayColours)
        for (int32_t y = at; y < at + vh; ++y)
            displayColours->convert(target.elementAt(at, y), vw);
}

void WizardController::OnResize() {
    FitRootToClient();
    const Size client = ClientSize();
    const int32_t w = std::max(client.width, 500), h = std::max(client.height, 400);
    if (background)
        background->SetBounds(Rect(0, 0, w, h));
    if (optionsPresent) {
        const int32_t vw = w - 350, vh = h - 270;
        if (viewPicture.width != vw || viewPicture.height != vh)
            viewPicture.resize(vw, vh);
        if (!viewPicture.isEmpty()) {
            const Rect all = viewPicture.bounds();
            DrawOutline(viewPicture, White, 0, 0, vw - 1, vh - 1, all);
            DrawOutline(viewPicture, Black, 1, 1, vw - 2, vh - 2, all);
        }
        view->MoveTo(Point{330, 250});
        if (navigatorScale != DeviceScale())
            RebuildNavigator();
        ShowView(viewMode);
        viewShadow->Layout(view->Position(), view->Size());
    }
    root.MarkDirty();
}

void WizardController::HandleNavigation(const InputState& snapshot, bool& refresh, int32_t& cursor) {
    const int32_t mx = snapshot.mouseX, my = snapshot.mouseY;
    const bool zoomOut = zoomOutButton->clicked, zoomIn = zoomInButton->clicked;
    if (zoomOut && zoom > MinZoom)
        zoom /= 2;
    if (zoomIn && zoom < MaxZoom)
        zoom *= 2;
    if (zoomOut || zoomIn) {
        zoomLabel->SetText(ZoomText(zoom));
        refresh = true;
    }

    const Rect nav = navigator->bounds, area = view->bounds;
    if (Contains(nav, mx, my))
        cursor = CursorMagnifier;
    else if (Contains(area, mx, my))
        cursor = CursorMove;
    if (dragging)
        cursor = CursorSizeAll;

    const Size base = display.BaseSize();
    const bool held = (snapshot.held & MouseLeft) != 0;
    if (held && Contains(nav, mx, my) && nav.width() > 0 && nav.height() > 0) {
        const float fx = Clamped01(static_cast<float>(mx - nav.left()) / static_cast<float>(nav.width()));
        const float fy = Clamped01(static_cast<float>(my - nav.top()) / static_cast<float>(nav.height()));
        centreX = fx * static_cast<float>(base.width);
        centreY = fy * static_cast<float>(base.height);
        ClampCentre();
        refresh = true;
    }
    if ((snapshot.pressed & MouseLeft) && Contains(area, mx, my)) {
        dragging = true;
        dragMouseX = mx;
        dragMouseY = my;
        dragCentreX = centreX;
        dragCentreY = centreY;
    }
    if (!held)
        dragging = false;
    if (dragging) {
        const float perPixel = 256.0f * static_cast<float>(DeviceScale()) / static_cast<float>(zoom);
        centreX = dragCentreX + static_cast<float>(dragMouseX - mx) * perPixel;
        centreY = dragCentreY + static_cast<float>(dragMouseY - my) * perPixel;
        ClampCentre();
        refresh = true;
    }
}
