// Keys pressed through the desktop's RemoteDesktop portal (GNOME, KDE
// Plasma): one session with the keyboard, started once, for which the
// desktop asks the user once; where the portal can keep the permission, its
// token is kept in $XDG_STATE_HOME/sorvak so the next start asks nothing.
// Keys go as keysyms. The session is set up on the GLib main loop; until it
// has started, keys are not sent.
#include "platform/wayland/wayland_keys.h"

#include "platform/linux/key_keysyms.h"

#include <gio/gio.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace
{

constexpr const char PORTAL[] = "org.freedesktop.portal.Desktop";
constexpr const char PORTAL_PATH[] = "/org/freedesktop/portal/desktop";
constexpr const char REMOTE_DESKTOP[] = "org.freedesktop.portal.RemoteDesktop";
constexpr const char REQUEST[] = "org.freedesktop.portal.Request";
constexpr guint32 KEYBOARD = 1;
// Kept until the user revokes it.
constexpr guint32 PERSISTENT = 2;

struct portal_session {
    GDBusConnection *bus = nullptr;
    guint32 version = 0;
    std::string handle;
    // The next request's token.
    int requests = 0;
};

portal_session session;
std::atomic<bool> started{false};

// The portal's version, or 0 when no portal with remote desktops answers.
guint32 portal_version(GDBusConnection *bus)
{
    GVariant *answer = g_dbus_connection_call_sync(
        bus, PORTAL, PORTAL_PATH, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", REMOTE_DESKTOP, "version"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    if (answer == nullptr)
        return 0;
    GVariant *value = nullptr;
    g_variant_get(answer, "(v)", &value);
    guint32 version =
        g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
    g_variant_unref(value);
    g_variant_unref(answer);
    return version;
}

std::string token_path()
{
    const char *state = g_getenv("XDG_STATE_HOME");
    std::string folder = state != nullptr && g_path_is_absolute(state)
                             ? std::string(state)
                             : std::string(g_get_home_dir()) + "/.local/state";
    return folder + "/sorvak/remote-desktop-token";
}

std::string saved_token()
{
    gchar *text = nullptr;
    if (!g_file_get_contents(token_path().c_str(), &text, nullptr, nullptr))
        return {};
    std::string token = g_strstrip(text);
    g_free(text);
    return token;
}

void save_token(const char *token)
{
    std::string path = token_path();
    gchar *folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    g_file_set_contents_full(path.c_str(), token, -1, G_FILE_SET_CONTENTS_CONSISTENT, 0600,
                             nullptr);
}

using step = void (*)(GVariant *results);

struct pending_request {
    guint subscription;
    step next;
};

void on_response(GDBusConnection *bus, const gchar *, const gchar *, const gchar *, const gchar *,
                 GVariant *parameters, gpointer data)
{
    auto *request = static_cast<pending_request *>(data);
    g_dbus_connection_signal_unsubscribe(bus, request->subscription);
    guint32 response = 0;
    GVariant *results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    if (response == 0)
        request->next(results);
    else
        std::fputs("the desktop did not allow sorvak to send keys\n", stderr);
    g_variant_unref(results);
    delete request;
}

// Calls the portal's `method`, whose answer comes as a Response signal on a
// request object named by the token: `next` hears its results. The signal is
// listened to before the call, so it cannot be missed.
void call_with_request(const char *method, GVariant *arguments_before_options,
                       GVariantBuilder *options, step next)
{
    std::string token = "sorvak" + std::to_string(++session.requests);
    g_variant_builder_add(options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    std::string sender = g_dbus_connection_get_unique_name(session.bus) + 1;
    for (char &c : sender)
        if (c == '.')
            c = '_';
    std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
    auto *request = new pending_request{0, next};
    request->subscription = g_dbus_connection_signal_subscribe(
        session.bus, PORTAL, REQUEST, "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NO_MATCH_RULE, on_response, request, nullptr);
    GVariantBuilder arguments;
    g_variant_builder_init(&arguments, G_VARIANT_TYPE_TUPLE);
    if (arguments_before_options != nullptr) {
        GVariantIter iter;
        g_variant_iter_init(&iter, arguments_before_options);
        while (GVariant *argument = g_variant_iter_next_value(&iter)) {
            g_variant_builder_add_value(&arguments, argument);
            g_variant_unref(argument);
        }
        g_variant_unref(arguments_before_options);
    }
    g_variant_builder_add_value(&arguments, g_variant_builder_end(options));
    g_dbus_connection_call(session.bus, PORTAL, PORTAL_PATH, REMOTE_DESKTOP, method,
                           g_variant_builder_end(&arguments), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                           nullptr, nullptr, nullptr);
}

void on_started(GVariant *results)
{
    const gchar *token = nullptr;
    if (g_variant_lookup(results, "restore_token", "&s", &token))
        save_token(token);
    started.store(true);
}

void on_selected(GVariant *)
{
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    call_with_request("Start",
                      g_variant_ref_sink(g_variant_new("(os)", session.handle.c_str(), "")),
                      &options, on_started);
}

void on_created(GVariant *results)
{
    const gchar *handle = nullptr;
    if (!g_variant_lookup(results, "session_handle", "&s", &handle))
        return;
    session.handle = handle;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(KEYBOARD));
    // Version 2 keeps the permission: asked once, not at every start.
    if (session.version >= 2) {
        g_variant_builder_add(&options, "{sv}", "persist_mode", g_variant_new_uint32(PERSISTENT));
        std::string token = saved_token();
        if (!token.empty())
            g_variant_builder_add(&options, "{sv}", "restore_token",
                                  g_variant_new_string(token.c_str()));
    }
    call_with_request("SelectDevices",
                      g_variant_ref_sink(g_variant_new("(o)", session.handle.c_str())), &options,
                      on_selected);
}

bool portal_offered()
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return false;
    bool offered = portal_version(bus) != 0;
    g_object_unref(bus);
    return offered;
}

bool portal_open()
{
    if (session.bus != nullptr)
        return true;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return false;
    guint32 version = portal_version(bus);
    if (version == 0) {
        g_object_unref(bus);
        return false;
    }
    // Kept for the process's life: the session ends with the connection.
    session.bus = bus;
    session.version = version;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "session_handle_token", g_variant_new_string("sorvak"));
    call_with_request("CreateSession", nullptr, &options, on_created);
    return true;
}

int portal_send(key_id key, bool down)
{
    if (!started.load()) {
        std::fputs("keys not sent: the desktop has not started sorvak's remote desktop session\n",
                   stderr);
        return 0;
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    // Calls on one connection reach the portal in the order they are made.
    g_dbus_connection_call(session.bus, PORTAL, PORTAL_PATH, REMOTE_DESKTOP, "NotifyKeyboardKeysym",
                           g_variant_new("(oa{sv}iu)", session.handle.c_str(), &options,
                                         static_cast<gint32>(keysyms_of(key).first),
                                         down ? 1u : 0u),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    return 1;
}

} // namespace

const wayland_key_way portal_way = {"the RemoteDesktop portal", portal_offered, portal_open,
                                    portal_send};
