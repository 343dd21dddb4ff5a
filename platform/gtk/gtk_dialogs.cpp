// Modal GTK dialogs and the desktop's URL handler.

#include "platform/backend.h"
#include "platform/gtk/gtk_state.h"

#include <gio/gio.h>
#include <sys/wait.h>

#include <cctype>
#include <string>

namespace {

// Folder of the last file dialog, where the next one without a folder of its
// own opens (GTK would otherwise start in "Recent").
String& LastFolder() {
    static String folder;
    return folder;
}

std::string Utf8(const String& text) {
    gchar* valid = g_utf8_make_valid(CStr(text), text.length);
    std::string s(valid);
    g_free(valid);
    return s;
}

// GTK matches globs with case: "*.bmp" becomes "*.[bB][mM][pP]".
std::string CaseInsensitive(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            out += '[';
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

void OnChildExit(GPid pid, gint, gpointer) { g_spawn_close_pid(pid); }

}  // namespace


bool BackendMessageBox(const MessageBoxRequest& request) {
    // The program is closing on a signal: no more questions.
    if (gtkbackend::CloseRequested())
        return false;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    const char* iconName = nullptr;
    if (request.icon == MessageIcon::Warning) {
        type = GTK_MESSAGE_WARNING;
        iconName = "dialog-warning";
    } else if (request.icon == MessageIcon::Question) {
        type = GTK_MESSAGE_QUESTION;
        iconName = "dialog-question";
    }
    GtkWidget* dialog = gtk_message_dialog_new(gtkbackend::MainWindow(), GTK_DIALOG_MODAL, type,
                                               request.yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                                               Utf8(request.text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Utf8(request.caption).c_str());
    if (iconName) {
        // Message dialogs have shown no icon by themselves since GTK 3.12.
        GtkWidget* image = gtk_image_new_from_icon_name(iconName, GTK_ICON_SIZE_DIALOG);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    if (request.yesNo)
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), request.yesIsDefault ? GTK_RESPONSE_YES : GTK_RESPONSE_NO);
    else
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);

    gtkbackend::EnterModal();
    gtkbackend::SetRunningDialog(dialog);
    // Escape and the close box answer GTK_RESPONSE_DELETE_EVENT: No.
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtkbackend::SetRunningDialog(nullptr);
    gtkbackend::LeaveModal();
    gtk_widget_destroy(dialog);
    return request.yesNo && response == GTK_RESPONSE_YES;
}

// The chooser of the desktop: through the portal when the desktop asks for
// it (GTK_USE_PORTAL, a sandbox), otherwise GTK's own dialog.
bool BackendFileDialog(const FileDialogRequest& request, FileDialogReply& reply) {
    if (gtkbackend::CloseRequested())
        return false;
    GtkFileChooserAction action = request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkFileChooserNative* native = gtk_file_chooser_native_new(
        request.save ? "Save As" : "Open", gtkbackend::MainWindow(), action, request.save ? "_Save" : "_Open",
        "_Cancel");
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(native);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);
    gtk_file_chooser_set_select_multiple(chooser, request.multiSelect && !request.save);
    // The program asks its own question before replacing a file.
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);

    GtkFileFilter* initial = nullptr;
    for (size_t i = 0; i < request.filters.size(); ++i) {
        const FileFilterPair& pair = request.filters[i];
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, Utf8(pair.description).c_str());
        std::string patterns = pair.patterns.str();
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos)
                end = patterns.size();
            if (end > start)
                gtk_file_filter_add_pattern(filter, CaseInsensitive(patterns.substr(start, end - start)).c_str());
            start = end + 1;
        }
        gtk_file_chooser_add_filter(chooser, filter);
        if (static_cast<int32_t>(i) == request.filterIndex - 1)
            initial = filter;
    }
    if (initial)
        gtk_file_chooser_set_filter(chooser, initial);

    const String& folder = request.hasInitialFolder ? request.initialFolder : LastFolder();
    if (folder.length > 0)
        gtk_file_chooser_set_current_folder(chooser, CStr(folder));
    // A name that is not UTF-8 cannot be typed into the entry: the dialog
    // shows it readable, and when the user keeps it unchanged the original
    // bytes are what comes back.
    gchar* shownName = nullptr;
    if (request.save && request.initialName.length > 0) {
        shownName = g_filename_display_name(CStr(request.initialName));
        gtk_file_chooser_set_current_name(chooser, shownName);
    }

    gtkbackend::EnterModal();
    gtkbackend::SetRunningChooser(GTK_NATIVE_DIALOG(native));
    gint response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(native));
    gtkbackend::SetRunningChooser(nullptr);
    gtkbackend::LeaveModal();

    bool confirmed = response == GTK_RESPONSE_ACCEPT;
    if (confirmed) {
        GSList* names = gtk_file_chooser_get_filenames(chooser);
        for (GSList* n = names; n; n = n->next)
            reply.paths.push_back(String(static_cast<const char*>(n->data)));
        g_slist_free_full(names, g_free);

        GtkFileFilter* chosen = gtk_file_chooser_get_filter(chooser);
        GSList* all = gtk_file_chooser_list_filters(chooser);
        reply.filterIndex = chosen ? g_slist_index(all, chosen) + 1 : 0;
        g_slist_free(all);

        if (!reply.paths.empty()) {
            gchar* dir = g_path_get_dirname(CStr(reply.paths[0]));
            gchar* base = g_path_get_basename(CStr(reply.paths[0]));
            if (shownName && !g_utf8_validate(CStr(request.initialName), request.initialName.length, nullptr) &&
                g_strcmp0(base, shownName) == 0) {
                gchar* original = g_build_filename(dir, CStr(request.initialName), nullptr);
                reply.paths[0] = String(original);
                g_free(original);
            }
            LastFolder() = dir;
            g_free(base);
            g_free(dir);
        }
    }
    g_free(shownName);
    g_object_unref(native);
    for (int n = 0; n < 1000 && g_main_context_iteration(nullptr, FALSE); ++n) {
    }
    return confirmed && !reply.paths.empty();
}

bool BackendOpenWithDesktop(const String& target) {
    std::string text = target.str();
    std::string uri;
    if (text.find("://") != std::string::npos || text.rfind("mailto:", 0) == 0) {
        uri = text;
    } else {
        gchar* absolute = g_canonicalize_filename(text.c_str(), nullptr);
        gchar* fileUri = g_filename_to_uri(absolute, nullptr, nullptr);
        g_free(absolute);
        if (!fileUri)
            return false;
        uri = fileUri;
        g_free(fileUri);
    }

    // With a launch context the desktop shows a start-up cursor and lets
    // the browser's window come to the front.
    GError* error = nullptr;
    GdkDisplay* display = gdk_display_get_default();
    GdkAppLaunchContext* context = display ? gdk_display_get_app_launch_context(display) : nullptr;
    if (context)
        gdk_app_launch_context_set_timestamp(context, gtk_get_current_event_time());
    const bool launched = g_app_info_launch_default_for_uri(uri.c_str(), G_APP_LAUNCH_CONTEXT(context), &error);
    if (context)
        g_object_unref(context);
    g_clear_error(&error);
    if (launched)
        return true;

    // xdg-open without any browser behind it fails only after a while (exit
    // status 3): watch it for a moment; one still running has handed over.
    gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(uri.c_str()), nullptr};
    GPid pid = 0;
    if (!g_spawn_async(nullptr, argv, nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                                G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                       nullptr, nullptr, &pid, &error)) {
        g_clear_error(&error);
        return false;
    }
    for (int i = 0; i < 300; ++i) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            g_spawn_close_pid(pid);
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0)
            break;
        g_usleep(5000);
    }
    g_child_watch_add(pid, OnChildExit, nullptr);
    return true;
}
