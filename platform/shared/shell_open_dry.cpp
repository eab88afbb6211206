// A shell call that starts nothing and keys that press nothing, for dry
// runs: the launcher still prints what it would open or press.
#include "platform/platform.h"

void plat_shell_open(const char *, const char *) {}

int plat_send_key(key_id, bool)
{
    return 1;
}
