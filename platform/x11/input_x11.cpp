// The Linux program's input read from an X server: the key and the pointer
// through Xlib and XInput 2. Each thread that asks the X server keeps a
// connection of its own: Xlib connections are not shared with the user
// interface's. The thread that asks for the key also listens to raw input
// events, so that a tap between two queries counts and the pause after a
// query that found the key up can wait for input.
#include "platform/linux/input_platform.h"
#include "platform/x11/x11_connection.h"

#include "platform/linux/input_wait.h"
#include "platform/platform.h"
#include "platform/x11/x11_key_table.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <glib.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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
    // What the raw events showed pressed and no query has yet consumed:
    // each query takes only its own key's presses, as on Windows. A key not
    // asked for in a cycle loses its presses at the pause, so a key asked
    // for anew (after a reload, or a button as a capture starts) goes back
    // one cycle at most.
    unsigned char pressed_keycodes[KEYMAP_BYTES] = {};
    std::uint32_t pressed_buttons = 0;
    unsigned char asked_keycodes[KEYMAP_BYTES] = {};
    std::uint32_t asked_buttons = 0;
    // Every key queried since the previous pause was up.
    bool keys_up_since_pause = false;
    // The keycodes carrying the capture key's keysyms, for the code they
    // were worked out for (-1: none yet, or the keyboard mapping changed)
    // and the reload they were worked out after.
    std::int32_t mapped_code = -1;
    unsigned mapped_after = 0;
    unsigned char keycodes[KEYMAP_BYTES] = {};
    // The type of XKB's events on this connection; -1 without XKB.
    int xkb_event = -1;

    ~x11_connection()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }
};

thread_local x11_connection connection;

// Counts the reloads that asked for the keycodes to be worked out again.
std::atomic<unsigned> mapping_requests{0};

// Takes everything the server sent: keyboard mapping changes and raw input.
// True when a raw key or button event was among it.
bool take_events(x11_connection &c)
{
    bool input = false;
    while (XPending(c.display) > 0) {
        XEvent event;
        XNextEvent(c.display, &event);
        if (event.type == MappingNotify || event.type == c.xkb_event) {
            if (event.type == MappingNotify)
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

// With XKB on (Xlib turns it on as it connects) the server announces a new
// layout or key map (setxkbmap, xmodmap, an option applied after login) by
// XKB's events, not by the core MappingNotify: they are asked for here.
void watch_keyboard_changes(x11_connection &c)
{
    int opcode = 0;
    int first_error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(c.display, &opcode, &c.xkb_event, &first_error, &major, &minor)) {
        c.xkb_event = -1;
        return;
    }
    unsigned long changes = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(c.display, XkbUseCoreKbd, changes, changes);
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
        watch_keyboard_changes(c);
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
    unsigned requests = mapping_requests.load();
    if (c.mapped_code != key_code || c.mapped_after != requests) {
        map_keycodes(display, key, c.keycodes);
        c.mapped_code = key_code;
        c.mapped_after = requests;
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

// Whether the raw events showed `key` pressed since its previous query;
// consumes those presses.
bool take_presses(x11_connection &c, const x11_key &key)
{
    if (key.button != 0) {
        std::uint32_t bit = key.button < RAW_BUTTONS ? 1u << key.button : 0;
        bool pressed = (c.pressed_buttons & bit) != 0;
        c.pressed_buttons &= ~bit;
        c.asked_buttons |= bit;
        return pressed;
    }
    bool pressed = false;
    for (int i = 0; i < KEYMAP_BYTES; ++i) {
        pressed = pressed || (c.pressed_keycodes[i] & c.keycodes[i]) != 0;
        c.pressed_keycodes[i] &= static_cast<unsigned char>(~c.keycodes[i]);
        c.asked_keycodes[i] |= c.keycodes[i];
    }
    return pressed;
}

// At the pause: presses of keys nobody asked for this cycle are dropped.
void forget_unasked_presses(x11_connection &c)
{
    c.pressed_buttons &= c.asked_buttons;
    c.asked_buttons = 0;
    for (int i = 0; i < KEYMAP_BYTES; ++i) {
        c.pressed_keycodes[i] &= c.asked_keycodes[i];
        c.asked_keycodes[i] = 0;
    }
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
    bool pressed = false;
    if (find_x11_key(key_code, &key)) {
        down = key.button != 0 ? button_down(display, key.button)
                               : keyboard_key_down(display, key_code, key);
        // The reply came after every event the server sent before it, so the
        // presses taken now are exactly those since the previous query.
        take_events(c);
        pressed = take_presses(c, key);
    }
    if (down || pressed)
        c.keys_up_since_pause = false;
    return static_cast<std::int16_t>((down ? INT16_MIN : 0) | (pressed ? 1 : 0));
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
    // so the pause waits for one. While it is down the cursor is sampled each
    // cycle, and a key or button event ends the pause early; motion is not
    // listened to, so it does not.
    x11_connection &c = connection;
    bool keys_up = c.keys_up_since_pause;
    c.keys_up_since_pause = true;
    forget_unasked_presses(c);
    if (c.raw_events)
        pause_cycle(ConnectionNumber(c.display), keys_up, take_input, take_input, &c,
                    static_cast<int>(milliseconds), IDLE_PAUSE_MAX_MS);
    else
        sleep_ms(static_cast<int>(milliseconds));
}

// A reload may follow a key map change the server did not announce.
void x11_remap_keys()
{
    mapping_requests.fetch_add(1);
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

Display *x11_thread_display()
{
    return open_display();
}

const input_platform x11_input = {"X11",          x11_knows_key,  x11_open,  x11_report_access,
                                  x11_key_state,  x11_cursor_pos, x11_sleep, wake_input_wait,
                                  x11_remap_keys, nullptr};
