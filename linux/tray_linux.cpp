#include "linux/tray_linux.h"

#include "linux/tray_icon_image.h"
#include "shell_common/tray_commands.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <cstdint>
#include <string>

struct linux_tray {
    AppIndicator *indicator;
    tray_command_handler on_command;
};

namespace
{

// A themed icon for when the program's own cannot be written.
constexpr const char FALLBACK_ICON_NAME[] = "input-mouse";

// The tooltip, for the XEmbed fall-back.
const char *tray_tip = "";

// The indicator library sets no tooltip on its XEmbed fall-back; this
// subclass adds it when the fall-back icon is made.
struct SorvakIndicator {
    AppIndicator parent;
};
struct SorvakIndicatorClass {
    AppIndicatorClass parent_class;
};

GtkStatusIcon *(*make_parent_fallback)(AppIndicator *) = nullptr;

GtkStatusIcon *make_fallback_with_tip(AppIndicator *indicator)
{
    GtkStatusIcon *icon = make_parent_fallback(indicator);
    // The fall-back is a GtkStatusIcon, whose whole interface is deprecated.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (icon != nullptr)
        gtk_status_icon_set_tooltip_text(icon, tray_tip);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return icon;
}

G_DEFINE_TYPE(SorvakIndicator, sorvak_indicator, APP_INDICATOR_TYPE)

void sorvak_indicator_class_init(SorvakIndicatorClass *klass)
{
    AppIndicatorClass *indicator_class = &klass->parent_class;
    make_parent_fallback = indicator_class->fallback;
    indicator_class->fallback = make_fallback_with_tip;
}

void sorvak_indicator_init(SorvakIndicator *) {}

// The icon goes to a file of the user's own, rewritten at each start so it
// matches this build, and is named by its absolute path: a bare name would
// be loaded from a file of that name in the current directory, if any.
std::string write_icon_file()
{
    std::string folder = std::string(g_get_user_runtime_dir()) + "/sorvak-icons";
    std::string file = folder + "/sorvak.png";
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0 ||
        !g_file_set_contents(file.c_str(), reinterpret_cast<const gchar *>(TRAY_ICON_PNG),
                             static_cast<gssize>(TRAY_ICON_PNG_SIZE), nullptr))
        return FALLBACK_ICON_NAME;
    return file;
}

void on_item_activate(GtkMenuItem *, gpointer data)
{
    auto *tray = static_cast<linux_tray *>(g_object_get_data(G_OBJECT(data), "sorvak-tray"));
    unsigned command = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(data), "sorvak-command"));
    if (tray != nullptr)
        tray->on_command(command);
}

void add_item(GtkWidget *menu, const char *label, unsigned command, linux_tray *tray)
{
    GtkWidget *item = gtk_menu_item_new_with_label(label);
    g_object_set_data(G_OBJECT(item), "sorvak-tray", tray);
    g_object_set_data(G_OBJECT(item), "sorvak-command", GUINT_TO_POINTER(command));
    g_signal_connect(item, "activate", G_CALLBACK(on_item_activate), item);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
}

} // namespace

linux_tray *show_tray(const char *tip, tray_command_handler on_command)
{
    tray_tip = tip;
    auto *tray = new linux_tray{nullptr, on_command};
    std::string icon = write_icon_file();
    tray->indicator = APP_INDICATOR(g_object_new(sorvak_indicator_get_type(), "id", "sorvak",
                                                 "category", "ApplicationStatus", "icon-name",
                                                 icon.c_str(), "title", tip, nullptr));

    GtkWidget *menu = gtk_menu_new();
    add_item(menu, "Edit configuration", CMD_EDIT_CONF, tray);
    add_item(menu, "Reload configuration", CMD_RELOAD_CONF, tray);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    add_item(menu, "Exit", CMD_EXIT, tray);
    gtk_widget_show_all(menu);
    app_indicator_set_menu(tray->indicator, GTK_MENU(menu));
    app_indicator_set_status(tray->indicator, APP_INDICATOR_STATUS_ACTIVE);
    return tray;
}

void remove_tray(linux_tray *tray)
{
    // Passive hides the fall-back icon and tells a StatusNotifier host.
    app_indicator_set_status(tray->indicator, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(tray->indicator);
    delete tray;
}
