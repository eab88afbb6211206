#include "platform/linux/key_sender.h"

#include "platform/linux/input_platform.h"

namespace
{

const key_sender *in_use = &xtest_keys;

} // namespace

const key_sender *choose_key_sender(const char *wayland_display, const char *session_type)
{
    return wayland_session(wayland_display, session_type) ? &wayland_keys : &xtest_keys;
}

void use_key_sender(const key_sender *sender)
{
    in_use = sender;
}

const key_sender &key_sender_in_use()
{
    return *in_use;
}
