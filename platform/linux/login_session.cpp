#include "platform/linux/login_session.h"

#include <gio/gio.h>

#include <cstdlib>

namespace
{

constexpr const char LOGIND[] = "org.freedesktop.login1";
constexpr const char SESSION_INTERFACE[] = "org.freedesktop.login1.Session";

void (*tell)(bool active) = nullptr;
// The session's object, kept for the program's life.
GDBusProxy *session = nullptr;

void tell_active(GDBusProxy *proxy)
{
    GVariant *active = g_dbus_proxy_get_cached_property(proxy, "Active");
    if (active == nullptr)
        return;
    if (g_variant_is_of_type(active, G_VARIANT_TYPE_BOOLEAN))
        tell(g_variant_get_boolean(active) != FALSE);
    g_variant_unref(active);
}

void on_properties_changed(GDBusProxy *proxy, GVariant *changed, const gchar *const *, gpointer)
{
    // An invalidated value is fetched by the proxy, then told here as changed.
    GVariant *active = g_variant_lookup_value(changed, "Active", nullptr);
    if (active == nullptr)
        return;
    g_variant_unref(active);
    tell_active(proxy);
}

void on_session(GObject *, GAsyncResult *result, gpointer)
{
    session = g_dbus_proxy_new_finish(result, nullptr);
    if (session == nullptr)
        return;
    g_signal_connect(session, "g-properties-changed", G_CALLBACK(on_properties_changed), nullptr);
    tell_active(session);
}

void on_session_path(GObject *bus, GAsyncResult *result, gpointer)
{
    GVariant *reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    if (reply == nullptr)
        return;
    const gchar *path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    // Invalidated properties fetched: the proxy always knows the value.
    g_dbus_proxy_new(G_DBUS_CONNECTION(bus),
                     static_cast<GDBusProxyFlags>(G_DBUS_PROXY_FLAGS_GET_INVALIDATED_PROPERTIES |
                                                  G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START),
                     nullptr, LOGIND, path, SESSION_INTERFACE, nullptr, on_session, nullptr);
    g_variant_unref(reply);
}

void on_bus(GObject *, GAsyncResult *result, gpointer)
{
    GDBusConnection *bus = g_bus_get_finish(result, nullptr);
    if (bus == nullptr)
        return;
    // The bus going away must not end the program, as it would by default.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    // "auto" is the caller's own session, or its user's graphical one when
    // it runs outside any (a user service, say).
    const char *id = std::getenv("XDG_SESSION_ID");
    g_dbus_connection_call(
        bus, LOGIND, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "GetSession",
        g_variant_new("(s)", id != nullptr && *id != '\0' ? id : "auto"), G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_session_path, nullptr);
    g_object_unref(bus);
}

} // namespace

void follow_login_session(const input_platform &input)
{
    if (input.session_active == nullptr || tell != nullptr)
        return;
    tell = input.session_active;
    g_bus_get(G_BUS_TYPE_SYSTEM, nullptr, on_bus, nullptr);
}
