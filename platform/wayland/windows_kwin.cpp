// The program in front on KDE Plasma: a KWin script, loaded over the session
// bus at start, tells sorvak of each window activated (its resource class
// and name, and its process) by calling back over the bus; the latest is
// kept. Named by its process's executable, then its resource class and name.
#include "platform/wayland/wayland_windows.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace
{

constexpr const char KWIN[] = "org.kde.KWin";
constexpr const char SCRIPTING_PATH[] = "/Scripting";
constexpr const char SCRIPTING[] = "org.kde.kwin.Scripting";
constexpr const char OBJECT_PATH[] = "/org/sorvak/Foreground";
constexpr const char INTERFACE_XML[] =
    "<node><interface name='org.sorvak.Foreground'><method name='Active'>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='i' direction='in'/>"
    "</method></interface></node>";
// KWin 6 names windows, KWin 5 clients.
constexpr const char SCRIPT[] = R"(var tell = function (window) {
    if (window)
        callDBus("%s", "%s", "org.sorvak.Foreground", "Active",
                 String(window.resourceClass), String(window.resourceName), window.pid);
};
if (workspace.windowActivated) {
    workspace.windowActivated.connect(tell);
    tell(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(tell);
    tell(workspace.activeClient);
}
)";

struct active_window {
    std::mutex lock;
    std::string resource_class;
    std::string resource_name;
    long pid = 0;
};

active_window active;
// The script's name with KWin and its file, once loaded.
gchar *loaded_name = nullptr;
gchar *loaded_file = nullptr;

void on_active(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
               GVariant *parameters, GDBusMethodInvocation *invocation, gpointer)
{
    const gchar *resource_class = nullptr;
    const gchar *resource_name = nullptr;
    gint32 pid = 0;
    g_variant_get(parameters, "(&s&si)", &resource_class, &resource_name, &pid);
    {
        std::lock_guard<std::mutex> hold(active.lock);
        active.resource_class = resource_class;
        active.resource_name = resource_name;
        active.pid = pid;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

const GDBusInterfaceVTable calls = {on_active, nullptr, nullptr, {}};

bool kwin_offered()
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return false;
    GVariant *answer = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", KWIN), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        2000, nullptr, nullptr);
    g_object_unref(bus);
    gboolean owned = FALSE;
    if (answer != nullptr) {
        g_variant_get(answer, "(b)", &owned);
        g_variant_unref(answer);
    }
    return owned != FALSE;
}

// The script, written beside the program's other runtime files, loaded
// under a name of this process's, and started.
void kwin_open()
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(INTERFACE_XML, nullptr);
    g_dbus_connection_register_object(bus, OBJECT_PATH, node->interfaces[0], &calls, nullptr,
                                      nullptr, nullptr);
    g_dbus_node_info_unref(node);
    gchar *script = g_strdup_printf(SCRIPT, g_dbus_connection_get_unique_name(bus), OBJECT_PATH);
    gchar *name = g_strdup_printf("sorvak-%ld", static_cast<long>(getpid()));
    gchar *file = g_strdup_printf("%s/%s.js", g_get_user_runtime_dir(), name);
    if (g_file_set_contents_full(file, script, -1, G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr)) {
        // A script of an earlier start under the same process number goes
        // first; KWin refuses a name it has.
        GVariant *unloaded = g_dbus_connection_call_sync(
            bus, KWIN, SCRIPTING_PATH, SCRIPTING, "unloadScript", g_variant_new("(s)", name),
            nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (unloaded != nullptr)
            g_variant_unref(unloaded);
        GVariant *loaded = g_dbus_connection_call_sync(
            bus, KWIN, SCRIPTING_PATH, SCRIPTING, "loadScript", g_variant_new("(ss)", file, name),
            G_VARIANT_TYPE("(i)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (loaded != nullptr) {
            g_variant_unref(loaded);
            loaded_name = g_strdup(name);
            loaded_file = g_strdup(file);
            g_dbus_connection_call(bus, KWIN, SCRIPTING_PATH, SCRIPTING, "start", nullptr, nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        } else {
            std::fputs("KWin did not load sorvak's script: the program in front cannot be "
                       "known\n",
                       stderr);
        }
    }
    g_free(file);
    g_free(name);
    g_free(script);
    // The bus stays for the process's life: the script calls back on it.
}

// The script goes with the program.
void kwin_close()
{
    if (loaded_name == nullptr)
        return;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus != nullptr) {
        GVariant *unloaded = g_dbus_connection_call_sync(
            bus, KWIN, SCRIPTING_PATH, SCRIPTING, "unloadScript", g_variant_new("(s)", loaded_name),
            nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (unloaded != nullptr)
            g_variant_unref(unloaded);
        g_object_unref(bus);
    }
    g_unlink(loaded_file);
}

int kwin_foreground(foreground_program *program)
{
    program->count = 0;
    std::string resource_class;
    std::string resource_name;
    long pid = 0;
    {
        std::lock_guard<std::mutex> hold(active.lock);
        resource_class = active.resource_class;
        resource_name = active.resource_name;
        pid = active.pid;
    }
    if (pid > 0)
        add_program_name(program, executable_name(static_cast<unsigned long>(pid)));
    add_program_name(program, resource_class);
    if (resource_name != resource_class)
        add_program_name(program, resource_name);
    return program->count;
}

} // namespace

const wayland_window_way kwin_windows = {"a KWin script", kwin_offered, kwin_open, kwin_close,
                                         kwin_foreground};
