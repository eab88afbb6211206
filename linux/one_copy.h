// One running copy per configuration folder: a second copy reading the same
// conf.txt would start every gesture's program twice. Copies with conf.txt
// files of their own run side by side. The claim is a name on the session
// bus, which the bus gives back when the process ends, however it ends; a
// later start also reaches the running copy by it, with the tray menu's
// commands (sorvak --edit, --reload, --exit) where no tray shows the menu.
#pragma once

// Claims the folder of `conf_path` for this process until it ends;
// `on_second_start` then runs on the main loop at each later start for the
// same folder, `on_command` with CMD_EDIT_CONF, CMD_RELOAD_CONF or CMD_EXIT
// (shell_common/tray_commands.h) at each one that asks for a command. Returns
// false when a running copy holds it already (and has been told); true
// otherwise, also when the folder or the bus cannot be reached (better two
// copies than none).
bool claim_conf_folder(const char *conf_path, void (*on_second_start)(),
                       void (*on_command)(unsigned command_id));

// Has the copy running for the folder of `conf_path` carry out `command_id`,
// once it has answered. False when none runs, or the bus cannot be reached.
bool ask_running_copy(const char *conf_path, unsigned command_id);
