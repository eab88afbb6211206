#include "platform/libinput/evdev_state.h"

#include "platform/libinput/evdev_key_table.h"

#include <cmath>
#include <cstring>

namespace
{

std::int32_t whole_pixels(double value)
{
    constexpr double LIMIT = 2147483647.0;
    double rounded = std::nearbyint(value);
    return static_cast<std::int32_t>(rounded > LIMIT ? LIMIT : rounded < -LIMIT ? -LIMIT : rounded);
}

} // namespace

void note_key(evdev_state *state, unsigned code, bool pressed, unsigned seat_count)
{
    if (code >= EVDEV_CODES)
        return;
    state->down[code] = seat_count > 0;
    if (pressed && seat_count == 1)
        ++state->presses[code];
}

void note_motion(evdev_state *state, double dx, double dy)
{
    state->x += dx;
    state->y += dy;
}

void note_absolute(evdev_state *state, const void *source, double x, double y)
{
    if (state->absolute_source == source) {
        state->x += x - state->absolute_x;
        state->y += y - state->absolute_y;
    }
    state->absolute_source = source;
    state->absolute_x = x;
    state->absolute_y = y;
}

void forget_absolute(evdev_state *state, const void *source)
{
    if (state->absolute_source == source)
        state->absolute_source = nullptr;
}

void note_touch(evdev_state *state, const void *device, touch_change change, int seat_slot,
                double x, double y)
{
    if (seat_slot != 0)
        return;
    // A cancelled touch (a palm, the compositor taking it) is over as surely
    // as a lifted one.
    if (change == touch_change::up || change == touch_change::cancel)
        forget_absolute(state, device);
    else
        note_absolute(state, device, x, y);
}

std::int16_t query_key(evdev_state *state, std::int32_t virtual_key)
{
    evdev_key key;
    if (virtual_key < 0 || virtual_key >= VIRTUAL_KEYS || !find_evdev_key(virtual_key, &key))
        return 0;
    bool down = false;
    std::uint32_t presses = 0;
    for (std::uint16_t code : key.codes)
        if (code != 0 && code < EVDEV_CODES) {
            down = down || state->down[code];
            presses += state->presses[code];
        }
    // Asked for in neither this cycle nor the previous one: counted from the
    // previous pause.
    if (state->pauses - state->asked_at[virtual_key] > 1) {
        state->seen_presses[virtual_key] = 0;
        for (std::uint16_t code : key.codes)
            if (code != 0 && code < EVDEV_CODES)
                state->seen_presses[virtual_key] += state->presses_at_pause[code];
    }
    bool pressed = presses != state->seen_presses[virtual_key];
    state->seen_presses[virtual_key] = presses;
    state->asked_at[virtual_key] = state->pauses;
    state->busy_since_pause = state->busy_since_pause || down || pressed;
    return static_cast<std::int16_t>((down ? INT16_MIN : 0) | (pressed ? 1 : 0));
}

bool pause_may_wait(evdev_state *state)
{
    bool quiet = !state->busy_since_pause;
    state->busy_since_pause = false;
    std::memcpy(state->presses_at_pause, state->presses, sizeof state->presses);
    ++state->pauses;
    return quiet;
}

void cursor_position(const evdev_state *state, std::int32_t *x, std::int32_t *y)
{
    *x = whole_pixels(state->x);
    *y = whole_pixels(state->y);
}
