#include "shell_common/tray_commands.h"

#include "conf/conf_file.h"
#include "platform/platform.h"

#include <cstring>

tray_command_result run_tray_command(unsigned command_id, gesture_context *context)
{
    switch (command_id) {
    case CMD_EXIT:
        return tray_command_quit;
    case CMD_RELOAD_CONF:
        load_conf(context);
        break;
    case CMD_EDIT_CONF:
        // conf_path is null only after a failed allocation at start-up.
        if (context->conf_path != nullptr)
            plat_shell_open(context->conf_path, "");
        break;
    default:
        break;
    }
    return tray_command_done;
}

void copy_tip(char (&tip)[TRAY_TIP_SIZE], const char *text)
{
    std::size_t length = 0;
    if (text != nullptr) {
        while (length < TRAY_TIP_SIZE - 1 && text[length] != '\0')
            ++length;
        std::memcpy(tip, text, length);
    }
    tip[length] = '\0';
}
