// The icon's add for a test build of sorvak.exe: the first two are refused,
// as by a notification area not yet ready at logon; the rest reach the shell.
#include "shell/tray_icon.h"

BOOL tray_add(NOTIFYICONDATAA *record)
{
    static int refused = 0;
    if (refused < 2) {
        ++refused;
        return FALSE;
    }
    return Shell_NotifyIconA(NIM_ADD, record);
}
