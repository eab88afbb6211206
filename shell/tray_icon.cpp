#include "shell/tray_icon.h"

#include <cstring>

static_assert(sizeof(tray_icon::tip) <= sizeof(NOTIFYICONDATAA::szTip),
              "the tip fits the first form of the notification record");

BOOL tray_icon::show(HINSTANCE instance)
{
    // The small image itself rather than the large one shrunk; loaded
    // unshared, so it is ours to destroy.
    HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRAY_ICON),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    std::memset(&notify, 0, sizeof notify);
    // The first form of the record: understood by every shell version.
    notify.cbSize = NOTIFYICONDATAA_V1_SIZE;
    notify.hWnd = window;
    notify.uID = icon_id;
    notify.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    notify.uCallbackMessage = WM_TRAY_NOTIFY;
    notify.hIcon = icon;
    std::memcpy(notify.szTip, tip, sizeof tip);
    BOOL added = tray_add(&notify);
    // An add reported failed may have taken all the same (the shell timed out
    // at logon): an icon that can be modified is there.
    if (!added)
        added = Shell_NotifyIconA(NIM_MODIFY, &notify);
    // The shell keeps its own copy of the image.
    if (icon != nullptr)
        DestroyIcon(icon);
    return added;
}

BOOL tray_icon::hide()
{
    return Shell_NotifyIconA(NIM_DELETE, &notify);
}

BOOL tray_icon::balloon(const char *title, const char *text, DWORD icon)
{
    // A record of its own in the larger form, which has room for a balloon;
    // the icon's own record stays in the first form, so adding the icon again
    // never repeats a balloon.
    NOTIFYICONDATAA record;
    std::memset(&record, 0, sizeof record);
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = window;
    record.uID = icon_id;
    record.uFlags = NIF_INFO;
    lstrcpynA(record.szInfoTitle, title != nullptr ? title : "", sizeof record.szInfoTitle);
    lstrcpynA(record.szInfo, text != nullptr ? text : "", sizeof record.szInfo);
    record.dwInfoFlags = icon;
    return Shell_NotifyIconA(NIM_MODIFY, &record);
}
