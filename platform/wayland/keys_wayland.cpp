// The Linux program's key sender in a Wayland session: the first way the
// session offers, or none, which is said.
#include "platform/linux/key_sender.h"
#include "platform/wayland/wayland_keys.h"

#include <atomic>

namespace
{

constexpr const char NO_WAY[] = "the compositor offers no virtual keyboard and no RemoteDesktop "
                                "portal answers on the session bus";

const wayland_key_way *const WAYS[] = {&virtual_keyboard_way, &portal_way};

// Set once by the user-interface thread, read by the capture thread.
std::atomic<const wayland_key_way *> opened{nullptr};

const char *wayland_way(const char **why)
{
    for (const wayland_key_way *way : WAYS)
        if (way->offered())
            return way->name;
    *why = NO_WAY;
    return nullptr;
}

bool wayland_open(const char **why)
{
    for (const wayland_key_way *way : WAYS)
        if (way->open()) {
            opened.store(way);
            return true;
        }
    *why = NO_WAY;
    return false;
}

int wayland_send(key_id key, bool down)
{
    const wayland_key_way *way = opened.load();
    return way != nullptr ? way->send(key, down) : 0;
}

} // namespace

const key_sender wayland_keys = {wayland_way, wayland_open, wayland_send};
