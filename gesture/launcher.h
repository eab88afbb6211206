#pragma once

#include "gesture/gesture_context.h"

#include <cstddef>

// Room for what one capture prints (a label and its program line), cut to
// fit, when it is also told to someone.
constexpr std::size_t OUTCOME_TEXT_SIZE = 512;

// Hears the text a capture printed, newlines included, right after it is
// printed.
using outcome_handler = void (*)(const char *outcome);

// The label printed for each kind, newline included; null for no_gesture.
const char *gesture_label(gesture_kind kind);

// Prints the kind's label and, if its slot is bound, " -> program" and asks
// the shell to open it, or presses its keys for a keys binding. `kind` is
// never no_gesture. `told` (null: nobody) hears the printed text before the
// shell is asked. Returns true when keys were sent.
bool launch_action(gesture_kind kind, gesture_context *context, outcome_handler told = nullptr);
