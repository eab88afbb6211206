#include "linux/desktop_notice.h"

#include <gio/gio.h>

namespace
{

constexpr const char SERVICE[] = "org.freedesktop.Notifications";
constexpr const char OBJECT_PATH[] = "/org/freedesktop/Notifications";

// A notice waiting for the server's capabilities; its texts are UTF-8.
struct pending_notice {
    gchar *title;
    gchar *body;
    gchar *icon;
    gint32 milliseconds;
    notice_series *series;
};

void on_answer(GObject *bus, GAsyncResult *result, gpointer data)
{
    GVariant *answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    if (answer == nullptr)
        return;
    if (data != nullptr)
        g_variant_get(answer, "(u)", &static_cast<notice_series *>(data)->latest);
    g_variant_unref(answer);
}

// The body is markup for a server that takes markup ("a&b" would be an
// error there, "<b>" a tag) and plain text, shown as it stands, for one that
// does not.
void on_capabilities(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *bus = G_DBUS_CONNECTION(source);
    auto *notice = static_cast<pending_notice *>(data);
    GVariant *answer = g_dbus_connection_call_finish(bus, result, nullptr);
    bool markup = false;
    if (answer != nullptr) {
        const gchar **capabilities = nullptr;
        g_variant_get(answer, "(^a&s)", &capabilities);
        markup = g_strv_contains(capabilities, "body-markup");
        g_free(capabilities);
        g_variant_unref(answer);
    }
    gchar *body = markup ? g_markup_escape_text(notice->body, -1) : g_strdup(notice->body);
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    guint32 replaced = 0;
    if (notice->series != nullptr) {
        replaced = notice->series->latest;
        g_variant_builder_add(&hints, "{sv}", "transient", g_variant_new_boolean(TRUE));
    }
    g_dbus_connection_call(
        bus, SERVICE, OBJECT_PATH, SERVICE, "Notify",
        g_variant_new("(susssasa{sv}i)", "sorvak", replaced, notice->icon, notice->title, body,
                      &actions, &hints, notice->milliseconds),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_answer, notice->series);
    g_free(body);
    g_free(notice->title);
    g_free(notice->body);
    g_free(notice->icon);
    delete notice;
}

} // namespace

void show_desktop_notice(const char *title, const char *body, const char *icon, int milliseconds,
                         notice_series *series)
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    // conf.txt is read as bytes; the bus carries UTF-8 only.
    auto *notice = new pending_notice{g_utf8_make_valid(title, -1), g_utf8_make_valid(body, -1),
                                      g_strdup(icon), milliseconds, series};
    g_dbus_connection_call(bus, SERVICE, OBJECT_PATH, SERVICE, "GetCapabilities", nullptr,
                           G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                           on_capabilities, notice);
    g_object_unref(bus);
}
