#include "linux/desktop_notice.h"

#include <gio/gio.h>

namespace
{

// Long enough to read two lines; the server may keep it longer or shorter.
constexpr gint32 EXPIRE_MILLISECONDS = 10000;

void on_answer(GObject *bus, GAsyncResult *result, gpointer)
{
    GVariant *answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    if (answer != nullptr)
        g_variant_unref(answer);
}

} // namespace

void show_desktop_notice(const char *title, const char *body, const char *icon)
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    // conf.txt is read as bytes; the bus carries UTF-8 only.
    gchar *valid_title = g_utf8_make_valid(title, -1);
    gchar *valid_body = g_utf8_make_valid(body, -1);
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.Notifications", "Notify",
                           g_variant_new("(susssasa{sv}i)", "sorvak", 0u, icon, valid_title,
                                         valid_body, &actions, &hints, EXPIRE_MILLISECONDS),
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_answer,
                           nullptr);
    g_free(valid_title);
    g_free(valid_body);
    g_object_unref(bus);
}
