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
    BOOL added = Shell_NotifyIconA(NIM_ADD, &notify);
    // The shell keeps its own copy of the image.
    if (icon != nullptr)
        DestroyIcon(icon);
    return added;
}

BOOL tray_icon::hide()
{
    return Shell_NotifyIconA(NIM_DELETE, &notify);
}
