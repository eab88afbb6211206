// The Linux tray icon and its menu: a StatusNotifierItem when a host is on
// the session bus, an XEmbed icon otherwise (X11 only), nothing shown when
// neither is, which is then said once on the standard error.
#pragma once

struct linux_tray;

// Receives CMD_EDIT_CONF, CMD_RELOAD_CONF or CMD_EXIT (shell_common/tray_commands.h)
// on the user-interface thread.
using tray_command_handler = void (*)(unsigned command_id);

// Shows the icon with tooltip `tip` and the menu Edit configuration, Reload
// configuration, a separator, Exit. Needs GTK initialised; never null.
linux_tray *show_tray(const char *tip, tray_command_handler on_command);

// Takes the icon off the tray and releases it.
void remove_tray(linux_tray *tray);
