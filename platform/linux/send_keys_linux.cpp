// plat_send_key of the Linux program: the way chosen at start. Apart from
// the choice, so that sorvak-check can link the dry one instead.
#include "platform/linux/key_sender.h"
#include "platform/platform.h"

int plat_send_key(key_id key, bool down)
{
    return key_sender_in_use().send(key, down);
}
