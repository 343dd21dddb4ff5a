#include "platform/app_window.h"

#include "platform/backend.h"
#include "platform/main_loop.h"
#include "platform/native_window.h"
#include "platform/window_manager.h"

#include <algorithm>
#include <cstring>
#include <new>

AppWindow::~AppWindow() { ReleaseNative(); }

bool AppWindow::CreateNative(const String& title, Size clientSize, Size minClientSize, bool popup) {
    if (native_ || !TheWindowManager)
        return false;
    if (!popup && MainWindowNative())
        return false;

    auto* native = new NativeWindow;
    native->owner = this;
    native->popup = popup;
    native->minClientSize = {std::max(minClientSize.width, 1), std::max(minClientSize.height, 1)};
    RebuildBackBuffer(*native, clientSize);
    native_ = native;
    TheWindowManager->Register(this);
    if (!popup)
        TheWindowManager->SetClientSize(native->clientSize);
    if (!BackendAttachWindow(*native, title)) {
        TheWindowManager->Unregister(this);
        native_ = nullptr;
        delete native;
        return false;
    }
    return true;
}

void AppWindow::ReleaseNative() {
    NativeWindow* native = native_;
    if (!native)
        return;
    BackendDetachWindow(*native);
    native_ = nullptr;
    bool mainWindow = !native->popup;
    delete native;
    if (TheWindowManager)
        TheWindowManager->Unregister(this);
    if (mainWindow)
        PostQuitMessage();
}

bool AppWindow::IsPopup() const { return native_ && native_->popup; }

Bitmap& AppWindow::BackBuffer() {
    static Bitmap none;
    return native_ ? native_->backBuffer : none;
}

Size AppWindow::ClientSize() const { return native_ ? native_->clientSize : Size{}; }

void AppWindow::Invalidate(const Rect& rect) {
    if (!native_ || rect.isEmpty())
        return;
    Rect clipped(std::max(rect.left(), 0), std::max(rect.top(), 0),
                 std::min(rect.right(), native_->clientSize.width),
                 std::min(rect.bottom(), native_->clientSize.height));
    if (clipped.isEmpty())
        return;
    BackendInvalidate(*native_, clipped);
    // What changed in this frame may go on changing in the next.
    RequestFrameWithin(0);
}

void AppWindow::Invalidate() {
    if (native_)
        Invalidate(Rect(0, 0, native_->clientSize.width, native_->clientSize.height));
}

int32_t AppWindow::DeviceScale() const { return native_ ? native_->deviceScale : 1; }

void AppWindow::SetDeviceLayers(std::vector<DeviceLayer> layers) {
    if (!native_)
        return;
    const int32_t scale = native_->deviceScale;
    layers.erase(std::remove_if(layers.begin(), layers.end(),
                                [scale](const DeviceLayer& layer) { return !LayerFits(layer, scale); }),
                 layers.end());
    native_->layers = std::move(layers);
}

void AppWindow::BringToTop() {
    if (native_)
        BackendBringToTop(*native_);
}

void AppWindow::TakeInputSnapshot() {
    if (!native_)
        return;
    Point pointer;
    bool active = false;
    BackendSnapshotState(*native_, pointer, active);
    native_->input.TakeSnapshot(pointer.x, pointer.y, active);
}

InputState& AppWindow::Input() {
    static InputState none;
    return native_ ? native_->input : none;
}

const InputState& AppWindow::Input() const {
    static const InputState none;
    return native_ ? native_->input : none;
}

void RebuildBackBuffer(NativeWindow& native, Size size) {
    size.width = std::max(size.width, 1);
    size.height = std::max(size.height, 1);
    size_t count = static_cast<size_t>(size.width) * static_cast<size_t>(size.height);
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[count]);
    if (!pixels) {
        // Keep a usable buffer rather than none at all.
        size = {1, 1};
        count = 1;
        pixels.reset(new uint32_t[1]);
    }
    std::memset(pixels.get(), 0, count * sizeof(uint32_t));
    native.backBuffer.attach(size.width, size.height, pixels.get());
    native.pixels = std::move(pixels);
    native.clientSize = size;
}

void HandleResize(NativeWindow& native, Size size) {
    RebuildBackBuffer(native, size);
    // The window shows its pictures afresh at the new size or scale.
    native.layers.clear();
    if (!native.popup && TheWindowManager)
        TheWindowManager->SetClientSize(native.clientSize);
    BackendBackBufferChanged(native);
    AppWindow* window = native.owner;
    window->OnResize();
    window->Present();
    window->Invalidate();
}

void HandleCloseRequest(NativeWindow& native) {
    AppWindow* window = native.owner;
    if (window->CanClose())
        delete window;
}

void HandleDroppedFiles(NativeWindow& native, const std::vector<String>& paths) {
    // A dialog's own loop runs the drop: opening files under it would change
    // the picture the dialog is about.
    if (native.popup || paths.empty() || ModalDialogOpen())
        return;
    DispatchDroppedFiles(paths);
}

NativeWindow* MainWindowNative() {
    if (!TheWindowManager)
        return nullptr;
    for (int32_t i = 0; i < TheWindowManager->WindowCount(); ++i) {
        NativeWindow* native = TheWindowManager->WindowAt(i)->Native();
        if (native && !native->popup)
            return native;
    }
    return nullptr;
}
