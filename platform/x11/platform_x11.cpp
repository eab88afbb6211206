// The X11 operations behind platform.h for the Linux program. Each thread
// that asks the X server keeps a connection of its own: Xlib connections are
// not shared with the user interface's. The thread that asks for the key also
// listens to raw input events, so that a tap between two queries counts and
// the pause after a query that found the key up can wait for input.
#include "platform/linux/input_platform.h"

#include "platform/platform.h"
#include "platform/x11/input_wait.h"
#include "platform/x11/x11_key_table.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <glib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace
{

using steady = std::chrono::steady_clock;

constexpr int KEYMAP_BYTES = 32;
constexpr int RAW_BUTTONS = 32;
// How long a pause waiting for input may last. Each cycle costs three
// wakeups (the pause, the key's reply, the cursor's); this keeps an idle
// program under two a second, and still sees within it a press whose event
// never came.
constexpr int IDLE_PAUSE_MAX_MS = 2000;

struct x11_connection {
    Display *display = nullptr;
    // A display that cannot be opened is asked again only after a pause, so
    // a missing server is not hammered every cycle.
    steady::time_point retry_after{};
    bool xi2_checked = false;
    bool xi2 = false;
    int xi_opcode = 0;
    int xi_minor = 0;
    int pointer_device = 0;
    // Raw key and button events are selected on this connection.
    bool raw_checked = false;
    bool raw_events = false;
    // What the raw events showed pressed since the previous key query.
    unsigned char pressed_keycodes[KEYMAP_BYTES] = {};
    std::uint32_t pressed_buttons = 0;
    // The previous key query found the key up.
    bool key_was_up = false;
    // The keycodes carrying the capture key's keysyms, for the code they
    // were worked out for (-1: none yet, or the keyboard mapping changed).
    std::int32_t mapped_code = -1;
    unsigned char keycodes[KEYMAP_BYTES] = {};

    ~x11_connection()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }
};

thread_local x11_connection connection;

// Takes everything the server sent: keyboard mapping changes and raw input.
// True when a raw key or button event was among it.
bool take_events(x11_connection &c)
{
    bool input = false;
    while (XPending(c.display) > 0) {
        XEvent event;
        XNextEvent(c.display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            c.mapped_code = -1;
            continue;
        }
        XGenericEventCookie &cookie = event.xcookie;
        if (event.type != GenericEvent || cookie.extension != c.xi_opcode ||
            !XGetEventData(c.display, &cookie))
            continue;
        const auto *raw = static_cast<const XIRawEvent *>(cookie.data);
        input = true;
        int detail = raw->detail;
        if (raw->evtype == XI_RawKeyPress && detail >= 0 && detail < KEYMAP_BYTES * 8)
            c.pressed_keycodes[detail / 8] |= static_cast<unsigned char>(1u << (detail % 8));
        else if (raw->evtype == XI_RawButtonPress && detail > 0 && detail < RAW_BUTTONS)
            c.pressed_buttons |= 1u << detail;
        XFreeEventData(c.display, &cookie);
    }
    return input;
}

bool take_input(void *c)
{
    return take_events(*static_cast<x11_connection *>(c));
}

Display *open_display()
{
    x11_connection &c = connection;
    if (c.display == nullptr) {
        if (steady::now() < c.retry_after)
            return nullptr;
        c.display = XOpenDisplay(nullptr);
        if (c.display == nullptr) {
            c.retry_after = steady::now() + std::chrono::seconds(1);
            return nullptr;
        }
    }
    // The queue must not grow, and a new keyboard mapping must be seen.
    take_events(c);
    return c.display;
}

void map_keycodes(Display *display, const x11_key &key, unsigned char (&keycodes)[KEYMAP_BYTES])
{
    std::memset(keycodes, 0, sizeof keycodes);
    int min_code = 0;
    int max_code = 0;
    XDisplayKeycodes(display, &min_code, &max_code);
    int per_code = 0;
    KeySym *keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(min_code),
                                          max_code - min_code + 1, &per_code);
    if (keysyms == nullptr)
        return;
    // Every level of every group: the key counts whatever modifier or layout
    // is active, as a virtual key does on Windows.
    for (int code = min_code; code <= max_code; ++code)
        for (int level = 0; level < per_code; ++level) {
            KeySym keysym = keysyms[(code - min_code) * per_code + level];
            for (unsigned long wanted : key.keysyms)
                if (wanted != 0 && keysym == wanted)
                    keycodes[code / 8] |= static_cast<unsigned char>(1u << (code % 8));
        }
    XFree(keysyms);
}

bool keyboard_key_down(Display *display, std::int32_t key_code, const x11_key &key)
{
    x11_connection &c = connection;
    if (c.mapped_code != key_code) {
        map_keycodes(display, key, c.keycodes);
        c.mapped_code = key_code;
    }
    char state[KEYMAP_BYTES];
    XQueryKeymap(display, state);
    for (int i = 0; i < KEYMAP_BYTES; ++i)
        if ((static_cast<unsigned char>(state[i]) & c.keycodes[i]) != 0)
            return true;
    return false;
}

// Whether the server speaks version 2 of the input extension; asked once a
// connection, announcing 2.2 (the version a client announces is the one its
// events follow).
bool setup_xi2(Display *display)
{
    x11_connection &c = connection;
    if (!c.xi2_checked) {
        c.xi2_checked = true;
        int first_event = 0;
        int first_error = 0;
        int major = 2;
        int minor = 2;
        if (!XQueryExtension(display, "XInputExtension", &c.xi_opcode, &first_event,
                             &first_error) ||
            XIQueryVersion(display, &major, &minor) != Success)
            return false;
        c.xi2 = true;
        c.xi_minor = minor;
        // A client that never chose a pointer is told none; the first master
        // pointer is the one the server would use.
        int pointer = 0;
        if (!XIGetClientPointer(display, None, &pointer) || pointer == 0) {
            int count = 0;
            XIDeviceInfo *devices = XIQueryDevice(display, XIAllMasterDevices, &count);
            for (int i = 0; i < count && pointer == 0; ++i)
                if (devices[i].use == XIMasterPointer)
                    pointer = devices[i].deviceid;
            if (devices != nullptr)
                XIFreeDeviceInfo(devices);
        }
        c.pointer_device = pointer;
    }
    return c.xi2;
}

// Raw events reach a client on the root window whatever window has the focus
// or a grab, from version 2.1 on; with an older server the key stays sampled
// and the pause a plain sleep. Pointer motion is not asked for: it must not
// wake the thread.
void watch_raw_input(Display *display)
{
    x11_connection &c = connection;
    if (c.raw_checked)
        return;
    c.raw_checked = true;
    if (!setup_xi2(display) || c.xi_minor < 1)
        return;
    unsigned char mask[XIMaskLen(XI_RawButtonRelease)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XISetMask(mask, XI_RawButtonPress);
    XISetMask(mask, XI_RawButtonRelease);
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    c.raw_events = XISelectEvents(display, DefaultRootWindow(display), &events, 1) == Success;
}

// Whether the raw events showed `key` pressed since the previous query.
bool pressed_since_query(const x11_connection &c, const x11_key &key)
{
    if (key.button != 0)
        return key.button < RAW_BUTTONS && (c.pressed_buttons & (1u << key.button)) != 0;
    for (int i = 0; i < KEYMAP_BYTES; ++i)
        if ((c.pressed_keycodes[i] & c.keycodes[i]) != 0)
            return true;
    return false;
}

int wake_descriptor()
{
    // Made by whichever thread comes first; kept for the process's life.
    static const int descriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return descriptor;
}

// The pointer on the root window through the core protocol. False when it
// is on another screen of the display.
bool query_pointer(Display *display, int *root_x, int *root_y, unsigned *mask)
{
    Window root = 0;
    Window child = 0;
    int window_x = 0;
    int window_y = 0;
    return XQueryPointer(display, DefaultRootWindow(display), &root, &child, root_x, root_y,
                         &window_x, &window_y, mask) != 0;
}

bool button_down(Display *display, unsigned button)
{
    Window root = DefaultRootWindow(display);
    if (button <= 5) {
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        query_pointer(display, &x, &y, &mask);
        return (mask & (Button1Mask << (button - 1))) != 0;
    }
    // The core protocol's state stops at button 5; the side buttons are seen
    // through the input extension only.
    if (!setup_xi2(display) || connection.pointer_device == 0)
        return false;
    Window root_return = 0;
    Window child = 0;
    double root_x = 0;
    double root_y = 0;
    double x = 0;
    double y = 0;
    XIButtonState buttons = {};
    XIModifierState modifiers = {};
    XIGroupState group = {};
    bool down = false;
    if (XIQueryPointer(display, connection.pointer_device, root, &root_return, &child, &root_x,
                       &root_y, &x, &y, &buttons, &modifiers, &group))
        down = static_cast<int>(button) < buttons.mask_len * 8 && XIMaskIsSet(buttons.mask, button);
    XFree(buttons.mask);
    return down;
}

std::int16_t x11_key_state(std::int32_t key_code)
{
    Display *display = open_display();
    if (display == nullptr)
        return 0;
    x11_connection &c = connection;
    watch_raw_input(display);
    x11_key key;
    bool down = false;
    if (find_x11_key(key_code, &key)) {
        down = key.button != 0 ? button_down(display, key.button)
                               : keyboard_key_down(display, key_code, key);
        // The reply came after every event the server sent before it, so the
        // presses taken now are exactly those since the previous query.
        take_events(c);
        down = down || pressed_since_query(c, key);
    }
    std::memset(c.pressed_keycodes, 0, sizeof c.pressed_keycodes);
    c.pressed_buttons = 0;
    c.key_was_up = !down;
    return down ? INT16_MIN : 0;
}

int x11_cursor_pos(std::int32_t *x, std::int32_t *y)
{
    Display *display = open_display();
    if (display == nullptr)
        return 0;
    int root_x = 0;
    int root_y = 0;
    unsigned mask = 0;
    if (!query_pointer(display, &root_x, &root_y, &mask))
        return 0;
    *x = root_x;
    *y = root_y;
    return 1;
}

void x11_sleep(std::uint32_t milliseconds)
{
    // While the key is up nothing can start a gesture but a key or a button,
    // so the pause waits for one; while it is down the cursor is sampled.
    x11_connection &c = connection;
    if (c.raw_events && c.key_was_up) {
        wait_for_input(ConnectionNumber(c.display), take_input, &c, wake_descriptor(),
                       static_cast<int>(milliseconds), IDLE_PAUSE_MAX_MS);
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void x11_wake()
{
    std::uint64_t one = 1;
    ssize_t written = write(wake_descriptor(), &one, sizeof one);
    static_cast<void>(written);
}

bool x11_knows_key(std::int32_t virtual_key)
{
    x11_key key;
    return find_x11_key(virtual_key, &key);
}

// The display is opened by each thread as it first asks; a missing one is
// said by the user interface.
bool x11_open(input_problem *)
{
    return true;
}

int x11_report_access(std::int32_t, std::FILE *, std::FILE *)
{
    return 0;
}

} // namespace

const input_platform x11_input = {"X11",         x11_knows_key,  x11_open,  x11_report_access,
                                  x11_key_state, x11_cursor_pos, x11_sleep, x11_wake};

void plat_exit(int status)
{
    std::exit(status);
}

char *plat_executable_path()
{
    // readlink does not say whether the path was cut: grow until it fits.
    for (std::size_t size = 256; size <= 65536; size *= 2) {
        char *path = static_cast<char *>(plat_malloc(size));
        if (path == nullptr)
            return nullptr;
        ssize_t length = readlink("/proc/self/exe", path, size);
        if (length >= 0 && static_cast<std::size_t>(length) < size) {
            path[length] = '\0';
            return path;
        }
        std::free(path);
        if (length < 0)
            return nullptr;
    }
    return nullptr;
}
