#pragma once

#include "gesture/gesture_context.h"

// The label printed for each kind, newline included; null for no_gesture.
const char *gesture_label(gesture_kind kind);

// Prints the kind's label and, if its slot is bound, " -> program" and asks
// the shell to open it. `kind` is never no_gesture.
void launch_action(gesture_kind kind, gesture_context *context);
