// The desktop session: a termination signal closes the program the way the
// close box does, and a running job asks the session not to log out.

#include "platform/backend.h"
#include "platform/gtk/gtk_state.h"

#include <gdk/gdkx.h>
#include <gio/gio.h>
#include <glib-unix.h>

#include <csignal>
#include <string>

namespace {

struct Session {
    bool closeRequested = false;
    GtkWidget* runningDialog = nullptr;
    GtkNativeDialog* runningChooser = nullptr;

    // The logout inhibit: what the job wants, and what the session holds.
    bool wanted = false;
    bool pending = false;  // a call is on its way
    guint32 cookie = 0;    // org.gnome.SessionManager
    std::string request;   // the portal's request object
    GDBusConnection* bus = nullptr;
};

Session& T() {
    static Session session;
    return session;
}

// Runs in the main context, never inside the signal handler itself: the
// frame in progress finishes first, so no file is cut off mid-write.
gboolean OnTerminate(gpointer) {
    Session& t = T();
    t.closeRequested = true;
    // A question or a file dialog on screen is answered "cancel": the
    // program then leaves through its own exit path.
    if (t.runningDialog)
        gtk_dialog_response(GTK_DIALOG(t.runningDialog), GTK_RESPONSE_DELETE_EVENT);
    if (t.runningChooser)
        gtk_native_dialog_hide(t.runningChooser);
    return G_SOURCE_CONTINUE;
}

// The session bus only when one is announced: looking for one otherwise
// starts dbus-launch.
GDBusConnection* Bus() {
    Session& t = T();
    if (!t.bus && g_getenv("DBUS_SESSION_BUS_ADDRESS"))
        t.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return t.bus;
}

void Release();

void OnPortalInhibited(GObject* source, GAsyncResult* result, gpointer) {
    Session& t = T();
    t.pending = false;
    if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
        const gchar* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        t.request = path;
        g_variant_unref(reply);
    }
    if (!t.wanted)
        Release();
}

void OnGnomeInhibited(GObject* source, GAsyncResult* result, gpointer) {
    Session& t = T();
    t.pending = false;
    if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
        g_variant_get(reply, "(u)", &t.cookie);
        g_variant_unref(reply);
    } else if (t.wanted) {
        // No GNOME-style session manager: the desktop portal (KDE, Wayland
        // desktops) holds the inhibit instead.
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "reason", g_variant_new_string("Vistrel is processing photos"));
        std::string window;
        if (GtkWindow* main = gtkbackend::MainWindow()) {
            GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(main));
            if (w && GDK_IS_X11_WINDOW(w))
                window = "x11:" + std::to_string(gdk_x11_window_get_xid(w));
        }
        t.pending = true;
        g_dbus_connection_call(G_DBUS_CONNECTION(source), "org.freedesktop.portal.Desktop",
                               "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit", "Inhibit",
                               g_variant_new("(sua{sv})", window.c_str(), 1u, &options), G_VARIANT_TYPE("(o)"),
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, OnPortalInhibited, nullptr);
        return;
    }
    if (!t.wanted)
        Release();
}

void Release() {
    Session& t = T();
    if (!t.bus)
        return;
    if (t.cookie) {
        g_dbus_connection_call(t.bus, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                               "org.gnome.SessionManager", "Uninhibit", g_variant_new("(u)", t.cookie), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        t.cookie = 0;
    }
    if (!t.request.empty()) {
        g_dbus_connection_call(t.bus, "org.freedesktop.portal.Desktop", t.request.c_str(),
                               "org.freedesktop.portal.Request", "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE,
                               -1, nullptr, nullptr, nullptr);
        t.request.clear();
    }
}

}  // namespace

namespace gtkbackend {

void InstallSessionHandlers() {
    // Installed once at start-up, through sigaction: later code that sets
    // handlers only where the disposition is still the default keeps ours.
    g_unix_signal_add(SIGTERM, OnTerminate, nullptr);
    g_unix_signal_add(SIGINT, OnTerminate, nullptr);
}

bool CloseRequested() { return T().closeRequested; }

void SetRunningDialog(GtkWidget* dialog) { T().runningDialog = dialog; }
void SetRunningChooser(GtkNativeDialog* chooser) { T().runningChooser = chooser; }

}  // namespace gtkbackend

void BackendInhibitLogout(bool inhibit) {
    Session& t = T();
    if (t.wanted == inhibit)
        return;
    t.wanted = inhibit;
    if (t.pending)
        return;  // the reply looks at what is wanted by then
    if (!inhibit) {
        Release();
        return;
    }
    GDBusConnection* bus = Bus();
    if (!bus)
        return;
    guint32 xid = 0;
    if (GtkWindow* main = gtkbackend::MainWindow()) {
        GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(main));
        if (w && GDK_IS_X11_WINDOW(w))
            xid = static_cast<guint32>(gdk_x11_window_get_xid(w));
    }
    t.pending = true;
    // Flag 1: logging out.
    g_dbus_connection_call(bus, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
                           "Inhibit", g_variant_new("(susu)", "vistrel", xid, "Vistrel is processing photos", 1u),
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, OnGnomeInhibited, nullptr);
}
