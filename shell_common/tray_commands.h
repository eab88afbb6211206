// The tray menu's commands, kept apart from the window procedure so their
// effects can be exercised without a desktop.
#pragma once

#include "gesture/gesture_context.h"

#include <cstddef>

constexpr unsigned CMD_EXIT = 40002;
constexpr unsigned CMD_RELOAD_CONF = 40003;
constexpr unsigned CMD_EDIT_CONF = 40004;

constexpr std::size_t TRAY_TIP_SIZE = 64;

enum tray_command_result {
    tray_command_done,
    // The caller removes the icon, destroys the window and posts the quit.
    tray_command_quit
};

// Carries out menu command `command_id` on `context`; unknown ids do nothing.
tray_command_result run_tray_command(unsigned command_id, gesture_context *context);

// Copies at most TRAY_TIP_SIZE - 1 characters of `text` (null: none) into
// `tip` and always terminates it.
void copy_tip(char (&tip)[TRAY_TIP_SIZE], const char *text);
