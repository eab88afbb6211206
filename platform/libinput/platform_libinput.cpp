// The input operations behind platform.h read from the kernel's input
// devices through libinput, for Wayland sessions, where no protocol tells an
// ordinary client the pointer's motion or a held key. Devices are opened for
// reading and never grabbed: every key and movement still reaches the
// compositor. One thread at a time uses the context: the one that opens it,
// then the capture thread it starts.
#include "platform/libinput/evdev_key_table.h"
#include "platform/libinput/evdev_state.h"
#include "platform/linux/input_platform.h"
#include "platform/linux/input_wait.h"

#include <fcntl.h>
#include <libinput.h>
#include <libudev.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

// What an event did to the keys and buttons, the stronger one last.
enum key_event { NO_KEY_EVENT, KEY_RELEASE, KEY_PRESS };

const input_problem NOT_PERMITTED = {
    "cannot read the input devices (/dev/input/event*): gestures are off\n"
    "   join the input group, then log in again: sudo usermod -aG input $USER\n"
    "   whoever is in that group can read every key typed\n",
    "sorvak cannot read the input devices",
    "Gestures are off. Join the input group, then log in again: sudo usermod -aG input $USER\n"
    "Whoever is in that group can read every key typed."};

const input_problem NO_DEVICE = {"found no input device: gestures are off\n",
                                 "sorvak found no input device", "Gestures are off."};

struct libinput_platform {
    bool tried = false;
    udev *devices_udev = nullptr;
    libinput *context = nullptr;
    // Device nodes whose opening was refused, and the devices read.
    int refused = 0;
    std::vector<libinput_device *> devices;
    evdev_state state;
    // The devices are closed while the session is in the background.
    bool suspended = false;
};

libinput_platform platform;

// Whether the login session is in front, as the user interface's thread
// hears it; the capture thread follows it at its next query.
std::atomic<bool> session_active{true};

// The seat the session sits at: several seats may share a machine.
const char *seat_name()
{
    const char *seat = std::getenv("XDG_SEAT");
    return seat != nullptr && *seat != '\0' ? seat : "seat0";
}

// The context is this program's own, so its settings change nothing the
// desktop does. Touchpads tap, tap-and-drag included, as laptop users set
// them (libinput leaves tapping off on a touchpad with a button), and are
// not muted while a key is held: a capture key held down is typing to
// libinput.
void configure_device(libinput_device *device)
{
    if (libinput_device_config_tap_get_finger_count(device) > 0) {
        libinput_device_config_tap_set_enabled(device, LIBINPUT_CONFIG_TAP_ENABLED);
        libinput_device_config_tap_set_drag_enabled(device, LIBINPUT_CONFIG_DRAG_ENABLED);
    }
    if (libinput_device_config_dwt_is_available(device))
        libinput_device_config_dwt_set_enabled(device, LIBINPUT_CONFIG_DWT_DISABLED);
}

int open_device(const char *path, int flags, void *)
{
    int descriptor = open(path, flags | O_CLOEXEC);
    // Reading is all this program does: a node it may only read will do.
    if (descriptor < 0 && (errno == EACCES || errno == EPERM) && (flags & O_ACCMODE) != O_RDONLY)
        descriptor = open(path, (flags & ~O_ACCMODE) | O_RDONLY | O_CLOEXEC);
    if (descriptor >= 0)
        return descriptor;
    int error = errno;
    ++platform.refused;
    return -error;
}

void close_device(int descriptor, void *)
{
    close(descriptor);
}

constexpr libinput_interface DEVICE_ACCESS = {open_device, close_device};

// What libinput would log (each refused device, among others) is said once,
// in the program's own words.
void drop_log(libinput *, libinput_log_priority, const char *, va_list) {}

void forget_device(libinput_platform &p, libinput_device *device)
{
    auto found = std::find(p.devices.begin(), p.devices.end(), device);
    if (found == p.devices.end())
        return;
    p.devices.erase(found);
    forget_absolute(&p.state, device);
    libinput_device_unref(device);
}

// Notes one event; says what it did to the keys and buttons.
key_event take_event(libinput_platform &p, libinput_event *event)
{
    evdev_state *state = &p.state;
    libinput_device *device = libinput_event_get_device(event);
    switch (libinput_event_get_type(event)) {
    case LIBINPUT_EVENT_DEVICE_ADDED:
        configure_device(device);
        p.devices.push_back(libinput_device_ref(device));
        return NO_KEY_EVENT;
    case LIBINPUT_EVENT_DEVICE_REMOVED:
        forget_device(p, device);
        return NO_KEY_EVENT;
    case LIBINPUT_EVENT_KEYBOARD_KEY: {
        libinput_event_keyboard *key = libinput_event_get_keyboard_event(event);
        bool pressed = libinput_event_keyboard_get_key_state(key) == LIBINPUT_KEY_STATE_PRESSED;
        note_key(state, libinput_event_keyboard_get_key(key), pressed,
                 libinput_event_keyboard_get_seat_key_count(key));
        return pressed ? KEY_PRESS : KEY_RELEASE;
    }
    case LIBINPUT_EVENT_POINTER_BUTTON: {
        libinput_event_pointer *button = libinput_event_get_pointer_event(event);
        bool pressed =
            libinput_event_pointer_get_button_state(button) == LIBINPUT_BUTTON_STATE_PRESSED;
        note_key(state, libinput_event_pointer_get_button(button), pressed,
                 libinput_event_pointer_get_seat_button_count(button));
        return pressed ? KEY_PRESS : KEY_RELEASE;
    }
    case LIBINPUT_EVENT_POINTER_MOTION: {
        libinput_event_pointer *motion = libinput_event_get_pointer_event(event);
        note_motion(state, libinput_event_pointer_get_dx(motion),
                    libinput_event_pointer_get_dy(motion));
        return NO_KEY_EVENT;
    }
    case LIBINPUT_EVENT_POINTER_MOTION_ABSOLUTE: {
        libinput_event_pointer *motion = libinput_event_get_pointer_event(event);
        note_absolute(state, device,
                      libinput_event_pointer_get_absolute_x_transformed(motion, NOMINAL_WIDTH),
                      libinput_event_pointer_get_absolute_y_transformed(motion, NOMINAL_HEIGHT));
        return NO_KEY_EVENT;
    }
    case LIBINPUT_EVENT_TOUCH_DOWN:
    case LIBINPUT_EVENT_TOUCH_MOTION: {
        libinput_event_touch *touch = libinput_event_get_touch_event(event);
        note_touch(state, device,
                   libinput_event_get_type(event) == LIBINPUT_EVENT_TOUCH_DOWN
                       ? touch_change::down
                       : touch_change::motion,
                   libinput_event_touch_get_seat_slot(touch),
                   libinput_event_touch_get_x_transformed(touch, NOMINAL_WIDTH),
                   libinput_event_touch_get_y_transformed(touch, NOMINAL_HEIGHT));
        return NO_KEY_EVENT;
    }
    case LIBINPUT_EVENT_TOUCH_UP:
    case LIBINPUT_EVENT_TOUCH_CANCEL: {
        libinput_event_touch *touch = libinput_event_get_touch_event(event);
        note_touch(state, device,
                   libinput_event_get_type(event) == LIBINPUT_EVENT_TOUCH_UP ? touch_change::up
                                                                             : touch_change::cancel,
                   libinput_event_touch_get_seat_slot(touch), 0, 0);
        return NO_KEY_EVENT;
    }
    case LIBINPUT_EVENT_TABLET_TOOL_PROXIMITY:
    case LIBINPUT_EVENT_TABLET_TOOL_AXIS:
    case LIBINPUT_EVENT_TABLET_TOOL_TIP: {
        libinput_event_tablet_tool *tool = libinput_event_get_tablet_tool_event(event);
        if (libinput_event_tablet_tool_get_proximity_state(tool) ==
            LIBINPUT_TABLET_TOOL_PROXIMITY_STATE_OUT)
            forget_absolute(state, device);
        else
            note_absolute(state, device,
                          libinput_event_tablet_tool_get_x_transformed(tool, NOMINAL_WIDTH),
                          libinput_event_tablet_tool_get_y_transformed(tool, NOMINAL_HEIGHT));
        return NO_KEY_EVENT;
    }
    case LIBINPUT_EVENT_TABLET_TOOL_BUTTON: {
        libinput_event_tablet_tool *tool = libinput_event_get_tablet_tool_event(event);
        bool pressed =
            libinput_event_tablet_tool_get_button_state(tool) == LIBINPUT_BUTTON_STATE_PRESSED;
        note_key(state, libinput_event_tablet_tool_get_button(tool), pressed,
                 libinput_event_tablet_tool_get_seat_button_count(tool));
        return pressed ? KEY_PRESS : KEY_RELEASE;
    }
    default:
        return NO_KEY_EVENT;
    }
}

// Closes the devices while the session is in the background and opens them
// again when it comes back; what that sends (keys held end as released,
// devices removed and added) is taken with the rest.
void follow_session(libinput_platform &p)
{
    bool active = session_active.load();
    if (active != p.suspended)
        return;
    if (active)
        libinput_resume(p.context);
    else
        libinput_suspend(p.context);
    p.suspended = !active;
}

// Takes everything the devices sent; says whether a key or button was
// pressed, or else released.
key_event take_events(libinput_platform &p)
{
    if (p.context == nullptr)
        return NO_KEY_EVENT;
    follow_session(p);
    libinput_dispatch(p.context);
    key_event seen = NO_KEY_EVENT;
    while (libinput_event *event = libinput_get_event(p.context)) {
        seen = std::max(seen, take_event(p, event));
        libinput_event_destroy(event);
    }
    return seen;
}

bool take_presses(void *p)
{
    return take_events(*static_cast<libinput_platform *>(p)) == KEY_PRESS;
}

bool take_key_events(void *p)
{
    return take_events(*static_cast<libinput_platform *>(p)) != NO_KEY_EVENT;
}

// The context on the seat, made once; the devices it found are taken.
void open_context(libinput_platform &p)
{
    if (p.tried)
        return;
    p.tried = true;
    p.devices_udev = udev_new();
    if (p.devices_udev == nullptr)
        return;
    p.context = libinput_udev_create_context(&DEVICE_ACCESS, nullptr, p.devices_udev);
    if (p.context == nullptr)
        return;
    libinput_log_set_handler(p.context, drop_log);
    if (libinput_udev_assign_seat(p.context, seat_name()) != 0) {
        libinput_unref(p.context);
        p.context = nullptr;
        return;
    }
    take_events(p);
}

bool device_has_key(libinput_device *device, const evdev_key &key)
{
    for (std::uint16_t code : key.codes)
        if (code != 0 && (libinput_device_keyboard_has_key(device, code) == 1 ||
                          libinput_device_pointer_has_button(device, code) == 1))
            return true;
    return false;
}

bool devices_knows_key(std::int32_t virtual_key)
{
    evdev_key key;
    return find_evdev_key(virtual_key, &key);
}

// Why no device is read: some refused, or none found at all.
const input_problem &problem_of(const libinput_platform &p)
{
    return p.refused != 0 ? NOT_PERMITTED : NO_DEVICE;
}

bool devices_open(input_problem *problem)
{
    libinput_platform &p = platform;
    open_context(p);
    if (!p.devices.empty())
        return true;
    *problem = problem_of(p);
    return false;
}

int devices_report_access(std::int32_t key_code, std::FILE *out, std::FILE *err)
{
    libinput_platform &p = platform;
    open_context(p);
    take_events(p);
    std::fprintf(out, "input devices: %d readable, %d refused\n",
                 static_cast<int>(p.devices.size()), p.refused);
    evdev_key key;
    bool known = key_code != 0 && find_evdev_key(key_code, &key);
    std::string names;
    if (known) {
        for (libinput_device *device : p.devices)
            if (device_has_key(device, key))
                names += std::string(names.empty() ? "" : ", ") + libinput_device_get_name(device) +
                         " (" + libinput_device_get_sysname(device) + ")";
        std::fprintf(out, "capture key on: %s\n", names.empty() ? "none" : names.c_str());
    }
    if (p.devices.empty()) {
        std::fputs(problem_of(p).lines, err);
        return 1;
    }
    if (known && names.empty()) {
        std::fputs("no readable input device has the capture key\n", err);
        return 1;
    }
    return 0;
}

std::int16_t devices_key_state(std::int32_t key_code)
{
    libinput_platform &p = platform;
    open_context(p);
    take_events(p);
    return query_key(&p.state, key_code);
}

int devices_cursor_pos(std::int32_t *x, std::int32_t *y)
{
    libinput_platform &p = platform;
    open_context(p);
    take_events(p);
    cursor_position(&p.state, x, y);
    return 1;
}

void devices_sleep(std::uint32_t milliseconds)
{
    // While every key asked for is up the pause waits for a press, with no
    // time limit; while one is down, for the cycle or a key or button event.
    // Motion is taken as it comes, but ends neither.
    libinput_platform &p = platform;
    pause_cycle(p.context != nullptr ? libinput_get_fd(p.context) : -1, pause_may_wait(&p.state),
                take_presses, take_key_events, &p, static_cast<int>(milliseconds), -1);
}

// Told by the user interface's thread, which follows the login session.
void devices_session_active(bool active)
{
    session_active.store(active);
    wake_input_wait();
}

// Evdev codes name places on the keyboard: a key map changes none of them.
void devices_remap_keys() {}

} // namespace

const input_platform libinput_input = {"evdev",
                                       devices_knows_key,
                                       devices_open,
                                       devices_report_access,
                                       devices_key_state,
                                       devices_cursor_pos,
                                       devices_sleep,
                                       wake_input_wait,
                                       devices_remap_keys,
                                       devices_session_active};
