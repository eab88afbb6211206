// The shipped add of the icon: straight to the shell.
#include "shell/tray_icon.h"

BOOL tray_add(NOTIFYICONDATAA *record)
{
    return Shell_NotifyIconA(NIM_ADD, record);
}
