// A shell call that starts nothing, for dry runs: the launcher still prints
// what it would open.
#include "platform/platform.h"

void plat_shell_open(const char *, const char *) {}
