// The file manager's side of a drop: a window whose one button can be dragged, offering the URIs named on the command
// line as a text/uri-list. Usage: drag_source URI...

#include <gtk/gtk.h>

namespace {

char** uris = nullptr;

void OnDragDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer) {
    gtk_selection_data_set_uris(data, uris);
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    uris = argv + 1;  // the list ends with argv's own null
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Drag source");
    gtk_window_set_default_size(GTK_WINDOW(window), 200, 100);
    gtk_window_move(GTK_WINDOW(window), 1000, 50);
    GtkWidget* button = gtk_button_new_with_label("Drag me");
    static const GtkTargetEntry uriList[] = {{const_cast<gchar*>("text/uri-list"), 0, 0}};
    gtk_drag_source_set(button, GDK_BUTTON1_MASK, uriList, 1, GDK_ACTION_COPY);
    g_signal_connect(button, "drag-data-get", G_CALLBACK(OnDragDataGet), nullptr);
    gtk_container_add(GTK_CONTAINER(window), button);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
