// The icon's add for test builds of sorvak.exe: the first two are refused, as
// by a notification area not yet ready at logon; the rest reach the shell,
// which with ADDS_REPORTED_FAILED takes them but reports failure, as a shell
// that timed out does.
#include "shell/tray_icon.h"

BOOL tray_add(NOTIFYICONDATAA *record)
{
    static int refused = 0;
    if (refused < 2) {
        ++refused;
        return FALSE;
    }
    BOOL added = Shell_NotifyIconA(NIM_ADD, record);
#ifdef ADDS_REPORTED_FAILED
    added = FALSE;
#endif
    return added;
}
