#pragma once

// Shared between the GTK backend's window and dialog halves.

#include "core/geometry.h"
#include "core/strings.h"

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

struct NativeWindow;

struct BackendWindow {
    GtkWidget* toplevel = nullptr;
    GtkWidget* area = nullptr;
    cairo_surface_t* surface = nullptr;
    NativeWindow* native = nullptr;  // null while nothing is attached (main window only)
    bool popup = false;

    // Last allocation of the drawing area, applied at the next snapshot.
    bool resizePending = false;
    Size allocated;

    // The pointer, from motion events between queries of the server.
    gint64 lastQueryMicros = 0;
    double pointerX = 0;
    double pointerY = 0;
    double scrollAccumulated = 0;
};

namespace gtkbackend {

// The main native window; null before it is made and after it is gone.
GtkWindow* MainWindow();
// While a modal dialog runs, close requests and menu commands are refused:
// the frame that opened the dialog is still running.
void EnterModal();
void LeaveModal();
bool InModal();
// A text/uri-list dropped on the main window: its local files (file: URIs
// of this host, and network places GVFS mounted, by their local path)
// reach HandleDroppedFiles in order; the others are named in a message.
void DropUriList(const std::string& text);

// SIGTERM and SIGINT: the program closes as through the close box, once
// no modal dialog runs; dialogs that open after the signal are cancelled
// at once (the usual questions are skipped).
void InstallSessionHandlers();
bool CloseRequested();
// The modal dialog running now, which a signal cancels (null: none).
void SetRunningDialog(GtkWidget* dialog);
void SetRunningChooser(GtkNativeDialog* chooser);

}  // namespace gtkbackend
