#include "linux/one_copy.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace
{

constexpr const char OBJECT_PATH[] = "/org/sorvak/Copy";
constexpr const char INTERFACE[] = "org.sorvak.Copy";
constexpr const char INTERFACE_XML[] = "<node><interface name='org.sorvak.Copy'>"
                                       "<method name='SecondStart'/></interface></node>";
// RequestName's flag and answer (the bus daemon's own numbers).
constexpr guint32 DO_NOT_QUEUE = 4;
constexpr guint32 NAME_EXISTS = 3;

void (*second_start_handler)() = nullptr;

void on_call(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
             GVariant *, GDBusMethodInvocation *invocation, gpointer)
{
    g_dbus_method_invocation_return_value(invocation, nullptr);
    second_start_handler();
}

const GDBusInterfaceVTable calls = {on_call, nullptr, nullptr, {}};

// The folder's identity, whatever path reaches it and however an editor
// replaces the file in it.
std::string folder_bus_name(unsigned long long device, unsigned long long inode)
{
    char name[64];
    std::snprintf(name, sizeof name, "org.sorvak.Folder_%llx_%llx", device, inode);
    return name;
}

} // namespace

bool claim_conf_folder(const char *conf_path, void (*on_second_start)())
{
    if (conf_path == nullptr)
        return true;
    gchar *folder = g_path_get_dirname(conf_path);
    struct stat info;
    int found = stat(folder, &info);
    g_free(folder);
    if (found != 0)
        return true;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return true;
    std::string name = folder_bus_name(info.st_dev, info.st_ino);
    // Served before the name is taken: a start that finds the name finds the
    // call too. Bus and object stay for the process's life.
    second_start_handler = on_second_start;
    GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(INTERFACE_XML, nullptr);
    guint object = g_dbus_connection_register_object(bus, OBJECT_PATH, node->interfaces[0], &calls,
                                                     nullptr, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    GVariant *answer = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), DO_NOT_QUEUE), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    guint32 result = 0;
    if (answer != nullptr) {
        g_variant_get(answer, "(u)", &result);
        g_variant_unref(answer);
    }
    if (result != NAME_EXISTS)
        return true;
    g_dbus_connection_unregister_object(bus, object);
    // No answer is awaited: the running copy may be busy starting up.
    g_dbus_connection_call(bus, name.c_str(), OBJECT_PATH, INTERFACE, "SecondStart", nullptr,
                           nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return false;
}
