// The desktop window system: GTK 3 on X11. Our pixels are shown through a
// cairo image surface that wraps the back buffer; the frame loop pumps the
// GLib main context itself instead of running gtk_main(), and sleeps in it
// while nothing changes.

#include "platform/app_window.h"
#include "platform/backend.h"
#include "platform/gtk/gtk_state.h"
#include "platform/main_loop.h"
#include "platform/menu_table.h"
#include "platform/message_box.h"
#include "platform/native_window.h"
#include "platform/window_manager.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

// The pointer query is a round trip to the X server: between queries the
// position comes from motion events.
constexpr gint64 PointerQueryIntervalMicros = 15000;

struct State {
    bool started = false;
    GtkWidget* mainWindow = nullptr;
    GtkWidget* menuBar = nullptr;
    BackendWindow mainBackend;
    std::vector<std::pair<int32_t, GtkWidget*>> menuItems;
    GdkCursor* cursors[CursorShapeCount] = {};
    int32_t cursor = 0;
    bool quitPosted = false;
    bool closeTaken = false;
    int modalDepth = 0;
};

State& S() {
    static State state;
    return state;
}

GdkCursor* CursorFor(int32_t index) {
    State& s = S();
    if (index < 0 || index >= CursorShapeCount)
        index = 0;
    if (!s.cursors[index]) {
        static const char* const names[CursorShapeCount] = {"default", "all-scroll", "pointer", "zoom-in", "move"};
        static const GdkCursorType fallback[CursorShapeCount] = {GDK_LEFT_PTR, GDK_FLEUR, GDK_HAND2, GDK_LEFT_PTR,
                                                                 GDK_FLEUR};
        GdkDisplay* display = gdk_display_get_default();
        s.cursors[index] = gdk_cursor_new_from_name(display, names[index]);
        if (!s.cursors[index])
            s.cursors[index] = gdk_cursor_new_for_display(display, fallback[index]);
    }
    return s.cursors[index];
}

void ApplyCursor(BackendWindow& bw) {
    if (bw.area) {
        if (GdkWindow* w = gtk_widget_get_window(bw.area))
            gdk_window_set_cursor(w, CursorFor(S().cursor));
    }
}

// The names the desktop knows the program by: the icon in the theme, and
// WM_CLASS ("vistrel", "Vistrel"), which the desktop entry's
// StartupWMClass matches.
constexpr const char* ProgramIconName = "vistrel";
constexpr const char* ProgramClassName = "vistrel";

// The fallback window icon, drawn: a green tile with a light V.
GdkPixbuf* MakeIcon(int size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    double r = size * 0.18, s = size;
    cairo_new_sub_path(cr);
    cairo_arc(cr, s - r, r, r, -G_PI / 2, 0);
    cairo_arc(cr, s - r, s - r, r, 0, G_PI / 2);
    cairo_arc(cr, r, s - r, r, G_PI / 2, G_PI);
    cairo_arc(cr, r, r, r, G_PI, 3 * G_PI / 2);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 32 / 255.0, 64 / 255.0, 32 / 255.0);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.85, 0.95, 0.8);
    cairo_set_line_width(cr, s * 0.13);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, s * 0.25, s * 0.25);
    cairo_line_to(cr, s * 0.5, s * 0.75);
    cairo_line_to(cr, s * 0.75, s * 0.25);
    cairo_stroke(cr);
    cairo_destroy(cr);
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, size, size);
    cairo_surface_destroy(surface);
    return pixbuf;
}

void FreeSurface(BackendWindow& bw) {
    if (bw.surface) {
        cairo_surface_destroy(bw.surface);
        bw.surface = nullptr;
    }
}

void WrapPixels(BackendWindow& bw, NativeWindow& native) {
    FreeSurface(bw);
    Size size = native.clientSize;
    bw.surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(native.pixels.get()),
                                                     CAIRO_FORMAT_RGB24, size.width, size.height, size.width * 4);
}

// A picture at the screen's resolution over part of the buffer: with the
// device scale set on its surface, each of its pixels lands on one screen
// pixel.
void PaintLayer(cairo_t* cr, const DeviceLayer& layer, int32_t scale) {
    const Bitmap& picture = *layer.picture;
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(picture.data), CAIRO_FORMAT_RGB24,
                                            picture.width, picture.height, picture.width * 4);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_save(cr);
    const Rect& r = layer.shown;
    cairo_rectangle(cr, r.left(), r.top(), r.width(), r.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface, layer.origin.x, layer.origin.y);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

int32_t ScaleOf(GtkWidget* area) { return std::max(gtk_widget_get_scale_factor(area), 1); }

// Event handlers. The user data is the BackendWindow; events for a main
// window with nothing attached are dropped.

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    int width = gtk_widget_get_allocated_width(widget);
    int height = gtk_widget_get_allocated_height(widget);
    if (bw->native && bw->surface) {
        Size size = bw->native->clientSize;
        cairo_set_source_surface(cr, bw->surface, 0, 0);
        // At a scale factor of 2 or more each of our pixels covers a block
        // of screen pixels: copied, never smoothed, so edges stay sharp.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        const int32_t scale = bw->native->deviceScale;
        if (scale == ScaleOf(widget)) {
            for (const DeviceLayer& layer : bw->native->layers) {
                if (LayerFits(layer, scale))
                    PaintLayer(cr, layer, scale);
            }
        }
        // An allocation larger than the buffer (until the next frame) is black.
        cairo_set_source_rgb(cr, 0, 0, 0);
        if (width > size.width) {
            cairo_rectangle(cr, size.width, 0, width - size.width, height);
            cairo_fill(cr);
        }
        if (height > size.height) {
            cairo_rectangle(cr, 0, size.height, width, height - size.height);
            cairo_fill(cr);
        }
    } else {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    }
    return TRUE;
}

void OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    bw->allocated = {allocation->width, allocation->height};
    bw->resizePending = true;
}

// The window went to a monitor of another scale, or the desktop's scale
// changed: taken up at the next snapshot, like a new size.
void OnScaleChanged(GObject*, GParamSpec*, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    if (bw->area) {
        bw->allocated = {gtk_widget_get_allocated_width(bw->area), gtk_widget_get_allocated_height(bw->area)};
        bw->resizePending = true;
    }
}

uint32_t ButtonBit(guint button) {
    switch (button) {
    case 1: return MouseLeft;
    case 2: return MouseMiddle;
    case 3: return MouseRight;
    default: return 0;
    }
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    if (!bw->native)
        return FALSE;
    bw->pointerX = event->x;
    bw->pointerY = event->y;
    uint32_t bit = ButtonBit(event->button);
    if (!bit)
        return FALSE;
    InputState& input = bw->native->input;
    switch (event->type) {
    case GDK_BUTTON_PRESS: input.OnButtonDown(bit); break;
    case GDK_2BUTTON_PRESS: input.OnDoubleClick(bit); break;
    case GDK_BUTTON_RELEASE: input.OnButtonUp(bit); break;
    default: break;  // the third click of a triple already came as a press
    }
    return TRUE;
}

// The buttons of a GDK modifier mask as our bits.
uint32_t ButtonsIn(guint mask) {
    uint32_t bits = 0;
    if (mask & GDK_BUTTON1_MASK)
        bits |= MouseLeft;
    if (mask & GDK_BUTTON2_MASK)
        bits |= MouseMiddle;
    if (mask & GDK_BUTTON3_MASK)
        bits |= MouseRight;
    return bits;
}

// A release can go elsewhere: a modal box that grabs the pointer in the
// middle of a drag, another program's grab, the focus taken away.
gboolean OnButtonsLost(GtkWidget*, GdkEvent*, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    if (bw->native)
        bw->native->input.KeepButtonsDown(0);
    return FALSE;
}

gboolean OnCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    bw->pointerX = event->x;
    bw->pointerY = event->y;
    return FALSE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    bw->pointerX = event->x;
    bw->pointerY = event->y;
    return FALSE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    if (!bw->native)
        return FALSE;
    InputState& input = bw->native->input;
    switch (event->direction) {
    case GDK_SCROLL_UP: input.OnWheel(1); break;
    case GDK_SCROLL_DOWN: input.OnWheel(-1); break;
    case GDK_SCROLL_SMOOTH: {
        // Touchpads send fractions of a notch; whole notches count, and
        // "up" (away from the user) is positive.
        double dx = 0, dy = 0;
        gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy);
        bw->scrollAccumulated -= dy;
        while (bw->scrollAccumulated >= 1) {
            input.OnWheel(1);
            bw->scrollAccumulated -= 1;
        }
        while (bw->scrollAccumulated <= -1) {
            input.OnWheel(-1);
            bw->scrollAccumulated += 1;
        }
        break;
    }
    default: break;
    }
    return TRUE;
}

NativeKey KeyFor(guint keyval) {
    switch (keyval) {
    case GDK_KEY_Left: case GDK_KEY_KP_Left: return NativeKey::Left;
    case GDK_KEY_Right: case GDK_KEY_KP_Right: return NativeKey::Right;
    case GDK_KEY_Up: case GDK_KEY_KP_Up: return NativeKey::Up;
    case GDK_KEY_Down: case GDK_KEY_KP_Down: return NativeKey::Down;
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: return NativeKey::PageUp;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: return NativeKey::PageDown;
    case GDK_KEY_Home: case GDK_KEY_KP_Home: return NativeKey::Home;
    case GDK_KEY_End: case GDK_KEY_KP_End: return NativeKey::End;
    case GDK_KEY_Delete: case GDK_KEY_KP_Delete: return NativeKey::Delete;
    case GDK_KEY_Escape: return NativeKey::Escape;
    default: break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12)
        return static_cast<NativeKey>(static_cast<int>(NativeKey::F1) + static_cast<int>(keyval - GDK_KEY_F1));
    return NativeKey::Other;
}

// The character a key types: backspace, tab and enter as their control
// codes; nothing while Control is held; keys with a key-down code type
// nothing (Delete and Escape would otherwise read as 127 and 27).
uint32_t CharacterFor(guint keyval, guint state) {
    switch (keyval) {
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: case GDK_KEY_KP_Tab: return 9;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: return 13;
    default: break;
    }
    if (state & GDK_CONTROL_MASK)
        return 0;
    return gdk_keyval_to_unicode(keyval);
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    // Alt combinations belong to the menu bar's mnemonics.
    if (!bw->native || (event->state & GDK_MOD1_MASK))
        return FALSE;
    InputState& input = bw->native->input;
    NativeKey key = KeyFor(event->keyval);
    input.OnKeyDown(key);
    if (key == NativeKey::Other)
        input.OnCharacter(CharacterFor(event->keyval, event->state));
    // Everything else (F10, Tab, Enter) stays with the program.
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* bw = static_cast<BackendWindow*>(data);
    if (bw->native && !gtkbackend::InModal())
        HandleCloseRequest(*bw->native);
    return TRUE;  // the window itself goes only when its owner releases it
}

void OnDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint,
                        gpointer) {
    const guchar* text = gtk_selection_data_get_data(data);
    const gint length = gtk_selection_data_get_length(data);
    if (text && length > 0)
        gtkbackend::DropUriList(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
}

gboolean OnFrameDue(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

void OnMenuActivate(GtkMenuItem*, gpointer data) {
    if (!gtkbackend::InModal())
        DispatchMenuCommand(GPOINTER_TO_INT(data));
}

GtkWidget* MakeArea(BackendWindow& bw, Size size) {
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, size.width, size.height);
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                    GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK |
                                    GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(area, "draw", G_CALLBACK(OnDraw), &bw);
    g_signal_connect(area, "size-allocate", G_CALLBACK(OnSizeAllocate), &bw);
    g_signal_connect(area, "notify::scale-factor", G_CALLBACK(OnScaleChanged), &bw);
    g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), &bw);
    g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), &bw);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), &bw);
    g_signal_connect(area, "scroll-event", G_CALLBACK(OnScroll), &bw);
    g_signal_connect(area, "grab-broken-event", G_CALLBACK(OnButtonsLost), &bw);
    g_signal_connect(area, "enter-notify-event", G_CALLBACK(OnCrossing), &bw);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(OnCrossing), &bw);
    bw.area = area;
    return area;
}

void ConnectToplevel(BackendWindow& bw) {
    g_signal_connect(bw.toplevel, "key-press-event", G_CALLBACK(OnKeyPress), &bw);
    g_signal_connect(bw.toplevel, "delete-event", G_CALLBACK(OnDelete), &bw);
    g_signal_connect(bw.toplevel, "focus-out-event", G_CALLBACK(OnButtonsLost), &bw);
}

class GtkMenuBuilder : public MenuBuilder {
public:
    GtkMenuBuilder(GtkWidget* bar, GtkAccelGroup* accelerators) : accelerators_(accelerators) {
        stack_.push_back(bar);
    }
    void BeginSubmenu(const MenuRow& row) override {
        GtkWidget* item = Add(row);
        GtkWidget* menu = gtk_menu_new();
        gtk_menu_set_accel_group(GTK_MENU(menu), accelerators_);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
        stack_.push_back(menu);
    }
    void AddItem(const MenuRow& row) override {
        GtkWidget* item = Add(row);
        if (row.separator)
            return;
        g_signal_connect(item, "activate", G_CALLBACK(OnMenuActivate), GINT_TO_POINTER(row.id));
        if (row.accelerator) {
            GdkModifierType mods = static_cast<GdkModifierType>((row.shift ? GDK_SHIFT_MASK : 0) |
                                                                (row.control ? GDK_CONTROL_MASK : 0) |
                                                                (row.alt ? GDK_MOD1_MASK : 0));
            gtk_widget_add_accelerator(item, "activate", accelerators_,
                                       gdk_unicode_to_keyval(g_unichar_tolower(row.accelerator)), mods,
                                       GTK_ACCEL_VISIBLE);
        }
    }
    void EndSubmenu() override { stack_.pop_back(); }

private:
    GtkWidget* Add(const MenuRow& row) {
        GtkWidget* item;
        if (row.separator) {
            item = gtk_separator_menu_item_new();
        } else {
            item = gtk_menu_item_new_with_mnemonic(CStr(MnemonicLabel(row.text)));
            gtk_widget_set_sensitive(item, row.enabled != 0);
            S().menuItems.emplace_back(row.id, item);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(stack_.back()), item);
        return item;
    }
    GtkAccelGroup* accelerators_;
    std::vector<GtkWidget*> stack_;
};

}  // namespace

namespace gtkbackend {

GtkWindow* MainWindow() { return S().mainWindow ? GTK_WINDOW(S().mainWindow) : nullptr; }
void EnterModal() { ++S().modalDepth; }
void LeaveModal() { --S().modalDepth; }
bool InModal() { return S().modalDepth > 0; }

void DropUriList(const std::string& text) {
    BackendWindow& bw = S().mainBackend;
    if (!bw.native || InModal() || ModalDialogOpen())
        return;
    std::vector<String> paths;
    std::string unreachable;
    gchar** uris = g_uri_list_extract_uris(text.c_str());
    for (gchar** uri = uris; uri && *uri; ++uri) {
        // The path keeps its bytes; the rest of the program takes file
        // names as they are.
        gchar* path = nullptr;
        gchar* scheme = g_uri_parse_scheme(*uri);
        if (g_strcmp0(scheme, "file") == 0) {
            // A file: URI naming another host is not ours to read.
            gchar* host = nullptr;
            path = g_filename_from_uri(*uri, &host, nullptr);
            if (host && g_strcmp0(host, "localhost") != 0 && g_strcmp0(host, g_get_host_name()) != 0)
                g_clear_pointer(&path, g_free);
            g_free(host);
        } else {
            // Network places (sftp:, smb:, mtp: ...) that GVFS has mounted
            // have a local path below its FUSE folder.
            GFile* file = g_file_new_for_uri(*uri);
            path = g_file_get_path(file);
            g_object_unref(file);
        }
        g_free(scheme);
        if (path) {
            paths.push_back(String(path));
        } else {
            gchar* shown = g_uri_unescape_string(*uri, nullptr);
            unreachable += "\n";
            unreachable += shown && g_utf8_validate(shown, -1, nullptr) ? shown : *uri;
            g_free(shown);
        }
        g_free(path);
    }
    g_strfreev(uris);
    if (!paths.empty())
        HandleDroppedFiles(*bw.native, paths);
    if (!unreachable.empty()) {
        // Said once the drop is over: the dragging program waits until then.
        auto* message = new std::string("Couldn't open these, which are not files on this computer or in a mounted "
                                        "network place:" + unreachable);
        g_idle_add(
            [](gpointer data) -> gboolean {
                auto* text = static_cast<std::string*>(data);
                ShowMessage(String(text->c_str()), true);
                delete text;
                return G_SOURCE_REMOVE;
            },
            message);
    }
}

}  // namespace gtkbackend

bool BackendStart() {
    State& s = S();
    if (!s.started) {
        // Pointer positions outside the window and placing pop-ups need
        // X11: on a Wayland desktop that is XWayland. GDK_BACKEND=wayland
        // (set by many Wayland sessions) would refuse the allowed list, so
        // it is overridden for GTK's start and given back afterwards for
        // the programs we start (a browser).
        g_set_prgname(ProgramClassName);
        g_set_application_name("Vistrel");
        gchar* backend = g_strdup(g_getenv("GDK_BACKEND"));
        g_setenv("GDK_BACKEND", "x11", TRUE);
        gdk_set_allowed_backends("x11");
        s.started = gtk_init_check(nullptr, nullptr);
        if (backend)
            g_setenv("GDK_BACKEND", backend, TRUE);
        else
            g_unsetenv("GDK_BACKEND");
        g_free(backend);
        const char* display = g_getenv("DISPLAY");
        if (!s.started && (!display || !*display) && g_getenv("WAYLAND_DISPLAY"))
            std::fprintf(stderr, "Vistrel: this Wayland session has no X server; Vistrel needs XWayland to open its window\n");
        if (s.started)
            gtkbackend::InstallSessionHandlers();
        // GTK takes the whole locale from the environment; numbers the
        // program writes or reads keep the C library's "." whatever it is.
        std::setlocale(LC_NUMERIC, "C");
    }
    return s.started;
}

// GTK cannot be shut down and started again; it stays up for the process.
void BackendStop() {}

bool BackendCreateMainWindow(Size clientSize, const char* title) {
    State& s = S();
    s.mainBackend = BackendWindow();
    BackendWindow& bw = s.mainBackend;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    s.mainWindow = window;
    bw.toplevel = window;
    gtk_window_set_title(GTK_WINDOW(window), title);

    // The installed icon, the one the desktop entry names, so that the title
    // bar, the task switcher and the dock agree; drawn only when the
    // program runs uninstalled.
    if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), ProgramIconName)) {
        gtk_window_set_default_icon_name(ProgramIconName);
        gtk_window_set_icon_name(GTK_WINDOW(window), ProgramIconName);
    } else {
        GdkPixbuf* icon = MakeIcon(48);
        GdkPixbuf* small = MakeIcon(16);
        GList* icons = g_list_append(g_list_append(nullptr, icon), small);
        gtk_window_set_icon_list(GTK_WINDOW(window), icons);
        gtk_window_set_default_icon_list(icons);
        g_list_free(icons);
        g_object_unref(icon);
        g_object_unref(small);
    }

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    if (MenuTableCount > 0 && !MenuTable[0].IsEnd()) {
        GtkAccelGroup* accelerators = gtk_accel_group_new();
        gtk_window_add_accel_group(GTK_WINDOW(window), accelerators);
        s.menuBar = gtk_menu_bar_new();
        GtkMenuBuilder builder(s.menuBar, accelerators);
        BuildMenu(MenuTable, MenuTableCount, builder);
        g_object_unref(accelerators);
        gtk_box_pack_start(GTK_BOX(box), s.menuBar, FALSE, FALSE, 0);
    }
    GtkWidget* area = MakeArea(bw, clientSize);
    gtk_box_pack_start(GTK_BOX(box), area, TRUE, TRUE, 0);
    // Files from a file manager arrive as a text/uri-list.
    static const GtkTargetEntry uriList[] = {{const_cast<gchar*>("text/uri-list"), 0, 0}};
    gtk_drag_dest_set(area, GTK_DEST_DEFAULT_ALL, uriList, 1, GDK_ACTION_COPY);
    g_signal_connect(area, "drag-data-received", G_CALLBACK(OnDragDataReceived), nullptr);
    ConnectToplevel(bw);
    // Where the window opens is the window manager's choice (the monitor
    // in use, the user's placement rules).
    gtk_widget_show_all(window);
    ApplyCursor(bw);
    return true;
}

void BackendDestroyMainWindow() {
    State& s = S();
    FreeSurface(s.mainBackend);
    if (s.mainWindow)
        gtk_widget_destroy(s.mainWindow);
    s.mainWindow = nullptr;
    s.menuBar = nullptr;
    s.menuItems.clear();
    s.mainBackend = BackendWindow();
    for (GdkCursor*& cursor : s.cursors) {
        if (cursor)
            g_object_unref(cursor);
        cursor = nullptr;
    }
    // Let the X server see the window go before the process ends.
    for (int n = 0; n < 1000 && g_main_context_iteration(nullptr, FALSE); ++n) {
    }
}

void BackendSetTitle(const String& text) {
    if (GtkWindow* w = gtkbackend::MainWindow()) {
        gchar* valid = g_utf8_make_valid(CStr(text), -1);
        gtk_window_set_title(w, valid);
        g_free(valid);
    }
}

void BackendSetMenuItemEnabled(int32_t id, bool enabled) {
    for (auto& [itemId, widget] : S().menuItems) {
        if (itemId == id)
            gtk_widget_set_sensitive(widget, enabled);
    }
}

void BackendSetCursor(int32_t index) {
    State& s = S();
    s.cursor = index;
    ApplyCursor(s.mainBackend);
    if (TheWindowManager) {
        for (int32_t i = 0; i < TheWindowManager->WindowCount(); ++i) {
            NativeWindow* native = TheWindowManager->WindowAt(i)->Native();
            if (native && native->backend)
                ApplyCursor(*native->backend);
        }
    }
}

bool BackendAttachWindow(NativeWindow& native, const String& title) {
    State& s = S();
    if (!s.mainWindow)
        return false;
    if (!native.popup) {
        BackendWindow& bw = s.mainBackend;
        bw.native = &native;
        native.backend = &bw;
        gtk_widget_set_size_request(bw.area, native.minClientSize.width, native.minClientSize.height);
        GtkAllocation current;
        gtk_widget_get_allocation(bw.area, &current);
        if (current.width > 1 && (current.width != native.clientSize.width || current.height != native.clientSize.height)) {
            int w = 0, h = 0;
            gtk_window_get_size(GTK_WINDOW(s.mainWindow), &w, &h);
            gtk_window_resize(GTK_WINDOW(s.mainWindow), w + native.clientSize.width - current.width,
                              h + native.clientSize.height - current.height);
        }
        native.deviceScale = ScaleOf(bw.area);
        WrapPixels(bw, native);
        native.owner->Invalidate();
        return true;
    }

    auto* bw = new BackendWindow;
    bw->popup = true;
    bw->native = &native;
    native.backend = bw;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    bw->toplevel = window;
    gchar* valid = g_utf8_make_valid(CStr(title), -1);
    gtk_window_set_title(GTK_WINDOW(window), valid);
    g_free(valid);
    gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(s.mainWindow));
    gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_container_add(GTK_CONTAINER(window), MakeArea(*bw, native.clientSize));
    ConnectToplevel(*bw);

    // Centred over the main client area as it is now, 50 below its top.
    const int mainWidth = gtk_widget_get_allocated_width(s.mainBackend.area);
    int left = mainWidth / 2 - native.clientSize.width / 2;
    if (left < 1)
        left = 0;
    int x = 0, y = 0;
    if (GdkWindow* mainArea = gtk_widget_get_window(s.mainBackend.area))
        gdk_window_get_origin(mainArea, &x, &y);
    gtk_window_move(GTK_WINDOW(window), x + left, y + 50);

    native.deviceScale = ScaleOf(bw->area);
    WrapPixels(*bw, native);
    gtk_widget_show_all(window);
    ApplyCursor(*bw);
    native.owner->Invalidate();
    return true;
}

void BackendDetachWindow(NativeWindow& native) {
    BackendWindow* bw = native.backend;
    if (!bw)
        return;
    FreeSurface(*bw);
    bw->native = nullptr;
    native.backend = nullptr;
    if (bw->popup) {
        gtk_widget_destroy(bw->toplevel);
        delete bw;
    } else if (bw->area) {
        gtk_widget_queue_draw(bw->area);
    }
}

void BackendBackBufferChanged(NativeWindow& native) {
    if (native.backend)
        WrapPixels(*native.backend, native);
}

void BackendInvalidate(NativeWindow& native, const Rect& rect) {
    BackendWindow* bw = native.backend;
    if (!bw || !bw->surface)
        return;
    cairo_surface_mark_dirty_rectangle(bw->surface, rect.left(), rect.top(), rect.width(), rect.height());
    gtk_widget_queue_draw_area(bw->area, rect.left(), rect.top(), rect.width(), rect.height());
    // Queued draws wait for the frame clock; paint now.
    if (GdkWindow* w = gtk_widget_get_window(bw->area)) {
        if (gdk_window_is_viewable(w)) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            gdk_window_process_updates(w, FALSE);
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
    }
}

void BackendBringToTop(NativeWindow& native) {
    if (native.backend)
        gtk_window_present(GTK_WINDOW(native.backend->toplevel));
}

void BackendSnapshotState(NativeWindow& native, Point& pointer, bool& active) {
    BackendWindow* bw = native.backend;
    if (!bw) {
        pointer = {};
        active = false;
        return;
    }
    if (bw->resizePending && !gtkbackend::InModal()) {
        bw->resizePending = false;
        // GTK may hand out a smaller allocation for a moment; the buffer
        // never goes below the window's minimum.
        Size size{std::max(bw->allocated.width, native.minClientSize.width),
                  std::max(bw->allocated.height, native.minClientSize.height)};
        const int32_t scale = ScaleOf(bw->area);
        if (size.width != native.clientSize.width || size.height != native.clientSize.height ||
            scale != native.deviceScale) {
            native.deviceScale = scale;
            HandleResize(native, size);
            bw = native.backend;
            if (!bw) {
                pointer = {};
                active = false;
                return;
            }
        }
    }
    gint64 now = g_get_monotonic_time();
    GdkWindow* w = gtk_widget_get_window(bw->area);
    // While we think a button is down, every snapshot asks the server
    // which really are: a release we never saw must not leave one held.
    const bool holding = native.input.buttonsDown != 0;
    if (w && (holding || now - bw->lastQueryMicros >= PointerQueryIntervalMicros)) {
        bw->lastQueryMicros = now;
        GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(w));
        GdkModifierType mask = GdkModifierType(0);
        if (GdkDevice* device = seat ? gdk_seat_get_pointer(seat) : nullptr) {
            gdk_window_get_device_position_double(w, device, &bw->pointerX, &bw->pointerY, &mask);
            native.input.KeepButtonsDown(ButtonsIn(mask));
        }
    }
    pointer = {static_cast<int32_t>(std::floor(bw->pointerX)), static_cast<int32_t>(std::floor(bw->pointerY))};
    active = gtk_window_is_active(GTK_WINDOW(bw->toplevel));
}

void BackendPostQuit() { S().quitPosted = true; }

PendingMessage BackendDispatchOne() {
    State& s = S();
    // A termination signal closes the program as the close box does,
    // between frames and once no modal dialog runs.
    if (gtkbackend::CloseRequested() && !s.closeTaken && !gtkbackend::InModal()) {
        s.closeTaken = true;
        NativeWindow* main = MainWindowNative();
        if (main)
            HandleCloseRequest(*main);
        // A window that refuses, or none at all: the loop ends regardless.
        if (!main || MainWindowNative())
            s.quitPosted = true;
    }
    if (s.quitPosted) {
        s.quitPosted = false;
        return PendingMessage::Quit;
    }
    return g_main_context_iteration(nullptr, FALSE) ? PendingMessage::Dispatched : PendingMessage::None;
}

// Blocks in the main context: X events, GTK's own timers and our signal
// sources all wake it; a timer of ours ends the wait when a frame is due.
void BackendWaitForMessages(int32_t milliseconds) {
    if (milliseconds == 0 || S().quitPosted)
        return;
    bool due = false;
    guint timer = 0;
    if (milliseconds > 0)
        timer = g_timeout_add(static_cast<guint>(milliseconds), OnFrameDue, &due);
    g_main_context_iteration(nullptr, TRUE);
    if (timer && !due)
        g_source_remove(timer);
}
