// What sorvak-check does its system's own way, beside the main both share:
// which file it checks, what it adds about the loaded file and whether it can
// watch gestures. One implementation is linked per system.
#pragma once

#include "gesture/gesture_context.h"

// Before anything is printed: readies the output the way this system shows
// it, and chooses the input the live mode would read.
void start_check_output();

// Points context->conf_path, made by init_context, at the file to check:
// `argument` as a file, or conf.txt in it as a folder; without an argument
// (null), the file the desktop program beside the checker would read.
void choose_checked_file(const char *argument, gesture_context *context);

// After the report: what this system's program would add about the loaded
// file. Returns how many problems it told of.
int report_system_notes(const gesture_context *context);

// Whether gestures can be watched here; when they cannot, says why on the
// standard error. Called once, as the live mode would start.
bool can_watch_gestures();

// Printed as the live mode starts: what is watched and how to end it.
extern const char WATCHING_TEXT[];
