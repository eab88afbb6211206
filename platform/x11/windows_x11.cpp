// Which program is in front, asked of the X server: the focused window's
// WM_CLASS names, and its process's executable where the window says it
// runs on this host.
#include "platform/linux/program_names.h"
#include "platform/linux/window_query.h"
#include "platform/x11/x11_connection.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace
{

// The foreground window's properties are read through XCB on the same
// connection: a window that vanishes meanwhile then fails its own request,
// instead of reaching Xlib's error handler, which GDK owns and which ends
// the process.
struct xcb_reply_deleter {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using xcb_reply = std::unique_ptr<T, xcb_reply_deleter>;

xcb_atom_t atom_named(xcb_connection_t *xcb, const char *name)
{
    xcb_reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        xcb, xcb_intern_atom(xcb, 1, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The bytes of a property, empty when the window or the property is missing.
std::string property(xcb_connection_t *xcb, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    if (name == XCB_ATOM_NONE)
        return {};
    xcb_reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(xcb, xcb_get_property(xcb, 0, window, name, type, 0, 256), nullptr));
    if (reply == nullptr || reply->type == XCB_ATOM_NONE)
        return {};
    const char *value = static_cast<const char *>(xcb_get_property_value(reply.get()));
    return std::string(value, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

std::uint32_t property_value(const std::string &bytes)
{
    std::uint32_t value = 0;
    if (bytes.size() >= sizeof value)
        std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

// The window holding the keyboard focus: the one the window manager calls
// active, or, without one, the focus itself.
xcb_window_t focus_window(xcb_connection_t *xcb, xcb_window_t root)
{
    xcb_window_t active =
        property_value(property(xcb, root, atom_named(xcb, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW));
    if (active != XCB_WINDOW_NONE)
        return active;
    xcb_reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
    if (focus == nullptr || focus->focus == root || focus->focus <= XCB_INPUT_FOCUS_POINTER_ROOT)
        return XCB_WINDOW_NONE;
    return focus->focus;
}

// The focus may be on a window inside a program's top-level one: the first
// of it and its ancestors that carries a class.
xcb_window_t client_window(xcb_connection_t *xcb, xcb_window_t window, xcb_window_t root)
{
    for (int depth = 0; window != XCB_WINDOW_NONE && window != root && depth < 32; ++depth) {
        if (!property(xcb, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).empty())
            return window;
        xcb_reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(xcb, xcb_query_tree(xcb, window), nullptr));
        if (tree == nullptr)
            return XCB_WINDOW_NONE;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

// Whether a window's WM_CLIENT_MACHINE names this host: only then is its
// _NET_WM_PID a process here (a window forwarded by ssh -X carries the
// remote host's pid). A short name matches this host's full one, and the
// other way round.
bool names_this_host(std::string machine)
{
    machine.resize(std::strlen(machine.c_str()));
    char host[256] = {};
    if (machine.empty() || gethostname(host, sizeof host - 1) != 0)
        return false;
    std::string here = host;
    auto short_of = [](const std::string &name, const std::string &other) {
        return name.find('.') == std::string::npos && other.compare(0, name.size(), name) == 0 &&
               other.size() > name.size() && other[name.size()] == '.';
    };
    return machine == here || short_of(machine, here) || short_of(here, machine);
}

int x11_foreground_program(foreground_program *program)
{
    program->count = 0;
    Display *display = x11_thread_display();
    if (display == nullptr)
        return 0;
    xcb_connection_t *xcb = XGetXCBConnection(display);
    xcb_window_t root = DefaultRootWindow(display);
    xcb_window_t window = client_window(xcb, focus_window(xcb, root), root);
    if (window == XCB_WINDOW_NONE)
        return 0;
    if (names_this_host(property(xcb, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_ANY)))
        add_program_name(program,
                         executable_name(property_value(property(
                             xcb, window, atom_named(xcb, "_NET_WM_PID"), XCB_ATOM_CARDINAL))));
    // WM_CLASS holds the instance name, then the class name, each ended by a
    // zero byte.
    std::string classes = property(xcb, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    std::size_t end = classes.find('\0');
    add_program_name(program, classes.substr(0, end));
    if (end != std::string::npos)
        add_program_name(program, classes.substr(end + 1, classes.find('\0', end + 1) - end - 1));
    return program->count;
}

const char *x11_way(const char **)
{
    return "the X server";
}

void x11_open_windows() {}

} // namespace

const window_query x11_windows = {x11_way, x11_open_windows, x11_open_windows,
                                  x11_foreground_program};
