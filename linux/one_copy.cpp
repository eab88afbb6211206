#include "linux/one_copy.h"

#include "shell_common/tray_commands.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace
{

constexpr const char OBJECT_PATH[] = "/org/sorvak/Copy";
constexpr const char INTERFACE[] = "org.sorvak.Copy";
constexpr const char INTERFACE_XML[] = "<node><interface name='org.sorvak.Copy'>"
                                       "<method name='SecondStart'/><method name='Edit'/>"
                                       "<method name='Reload'/><method name='Exit'/>"
                                       "</interface></node>";
// The methods that carry the tray menu's commands.
struct command_method {
    const char *name;
    unsigned command_id;
};
constexpr command_method COMMAND_METHODS[] = {
    {"Edit", CMD_EDIT_CONF}, {"Reload", CMD_RELOAD_CONF}, {"Exit", CMD_EXIT}};
// RequestName's flag and answer (the bus daemon's own numbers).
constexpr guint32 DO_NOT_QUEUE = 4;
constexpr guint32 NAME_EXISTS = 3;

void (*second_start_handler)() = nullptr;
void (*command_handler)(unsigned) = nullptr;

// Answered first: an Exit ends the process.
void on_call(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *method,
             GVariant *, GDBusMethodInvocation *invocation, gpointer)
{
    g_dbus_method_invocation_return_value(invocation, nullptr);
    for (const command_method &known : COMMAND_METHODS)
        if (g_strcmp0(method, known.name) == 0) {
            command_handler(known.command_id);
            return;
        }
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

// The name of the folder of `conf_path`; empty when it cannot be reached.
std::string conf_folder_name(const char *conf_path)
{
    if (conf_path == nullptr)
        return "";
    gchar *folder = g_path_get_dirname(conf_path);
    struct stat info;
    int found = stat(folder, &info);
    g_free(folder);
    return found == 0 ? folder_bus_name(info.st_dev, info.st_ino) : "";
}

} // namespace

bool claim_conf_folder(const char *conf_path, void (*on_second_start)(),
                       void (*on_command)(unsigned command_id))
{
    std::string name = conf_folder_name(conf_path);
    if (name.empty())
        return true;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return true;
    // Served before the name is taken: a start that finds the name finds the
    // call too. Bus and object stay for the process's life.
    second_start_handler = on_second_start;
    command_handler = on_command;
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

bool ask_running_copy(const char *conf_path, unsigned command_id)
{
    std::string name = conf_folder_name(conf_path);
    const char *method = nullptr;
    for (const command_method &known : COMMAND_METHODS)
        if (known.command_id == command_id)
            method = known.name;
    if (name.empty() || method == nullptr)
        return false;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return false;
    // A copy still starting up answers once its main loop runs.
    GVariant *answer =
        g_dbus_connection_call_sync(bus, name.c_str(), OBJECT_PATH, INTERFACE, method, nullptr,
                                    nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr);
    g_object_unref(bus);
    if (answer == nullptr)
        return false;
    g_variant_unref(answer);
    return true;
}
