#include "linux/tray_linux.h"

#include "linux/program_icon.h"
#include "shell_common/tray_commands.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <cstdio>

struct linux_tray {
    AppIndicator *indicator;
    tray_command_handler on_command;
};

namespace
{

// The tooltip, for the XEmbed fall-back.
const char *tray_tip = "";

constexpr char NO_TRAY[] =
    "no tray host: the icon cannot be shown\n"
    "   Edit, Reload and Exit are sorvak --edit, --reload and --exit, also offered by the menu "
    "entry\n";

// Said at the first fall-back that shows nothing; a host that comes and goes
// later brings the fall-back again, but not the words.
void say_no_tray()
{
    static bool said = false;
    if (!said)
        std::fputs(NO_TRAY, stderr);
    said = true;
}

// Whether an XEmbed tray (a system tray manager) runs on the X display.
bool xembed_tray_runs(GdkDisplay *display)
{
    Display *x = gdk_x11_display_get_xdisplay(display);
    char name[32];
    std::snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, name, False)) != None;
}

// The indicator library's XEmbed fall-back lacks two things, which this
// subclass adds when the fall-back icon is made: the tooltip, and a themed
// icon that stays themed. The library loads the icon name as a file when
// the current folder holds a file of that name (as the folder of an
// installed program does), showing no icon; so the name is given back to
// the icon after each of the library's own updates.
struct SorvakIndicator {
    AppIndicator parent;
};
struct SorvakIndicatorClass {
    AppIndicatorClass parent_class;
};

GtkStatusIcon *(*make_parent_fallback)(AppIndicator *) = nullptr;
void (*drop_parent_fallback)(AppIndicator *, GtkStatusIcon *) = nullptr;

// The fall-back is a GtkStatusIcon, whose whole interface is deprecated.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

void keep_themed_icon(AppIndicator *indicator, gpointer icon)
{
    const char *name = app_indicator_get_icon(indicator);
    if (name != nullptr && !g_path_is_absolute(name))
        gtk_status_icon_set_from_icon_name(GTK_STATUS_ICON(icon), name);
}

void keep_themed_icon_on_status(AppIndicator *indicator, const char *, gpointer icon)
{
    keep_themed_icon(indicator, icon);
}

GtkStatusIcon *make_fallback(AppIndicator *indicator)
{
    // An XEmbed icon lives on an X display only: elsewhere (Wayland) GTK
    // fails at it.
    GdkDisplay *display = gdk_display_get_default();
    if (!GDK_IS_X11_DISPLAY(display)) {
        say_no_tray();
        return nullptr;
    }
    // Made all the same: a tray started later shows it.
    if (!xembed_tray_runs(display))
        say_no_tray();
    GtkStatusIcon *icon = make_parent_fallback(indicator);
    if (icon == nullptr)
        return nullptr;
    gtk_status_icon_set_tooltip_text(icon, tray_tip);
    // Connected after the library's handlers, so run after them.
    g_signal_connect(indicator, APP_INDICATOR_SIGNAL_NEW_ICON, G_CALLBACK(keep_themed_icon), icon);
    g_signal_connect(indicator, APP_INDICATOR_SIGNAL_NEW_STATUS,
                     G_CALLBACK(keep_themed_icon_on_status), icon);
    keep_themed_icon(indicator, icon);
    return icon;
}

G_GNUC_END_IGNORE_DEPRECATIONS

void drop_fallback(AppIndicator *indicator, GtkStatusIcon *icon)
{
    g_signal_handlers_disconnect_by_data(indicator, icon);
    drop_parent_fallback(indicator, icon);
}

G_DEFINE_TYPE(SorvakIndicator, sorvak_indicator, APP_INDICATOR_TYPE)

void sorvak_indicator_class_init(SorvakIndicatorClass *klass)
{
    AppIndicatorClass *indicator_class = &klass->parent_class;
    make_parent_fallback = indicator_class->fallback;
    drop_parent_fallback = indicator_class->unfallback;
    indicator_class->fallback = make_fallback;
    indicator_class->unfallback = drop_fallback;
}

void sorvak_indicator_init(SorvakIndicator *) {}

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
    // A host, and the fall-back icon drawn here, find an installed icon's
    // name there whatever prefix the program was installed under.
    if (program_icon_theme_path()[0] != '\0')
        gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), program_icon_theme_path());
    tray->indicator = APP_INDICATOR(g_object_new(sorvak_indicator_get_type(), "id", "sorvak",
                                                 "category", "ApplicationStatus", "icon-name",
                                                 program_icon(), "title", tip, nullptr));
    if (program_icon_theme_path()[0] != '\0')
        app_indicator_set_icon_theme_path(tray->indicator, program_icon_theme_path());

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
    // A host's Exit is a D-Bus call, answered before the item runs it; the
    // indicator holds the last reference to the session bus, whose release
    // drops what is still queued. Held here, it is flushed first: the answer,
    // then the news that the item is passive.
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    // Passive hides the fall-back icon and tells a StatusNotifier host.
    app_indicator_set_status(tray->indicator, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(tray->indicator);
    delete tray;
    if (bus != nullptr) {
        g_dbus_connection_flush_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }
}
