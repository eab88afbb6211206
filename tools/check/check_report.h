// sorvak-check: what the program would run with, read by the same loader.
// The parts that need no desktop.
#pragma once

#include "gesture/gesture_context.h"

#include <cstdint>
#include <cstdio>

struct check_options {
    bool live = false;
    const char *path = nullptr; // a conf.txt or its folder; null: the checker's own folder
};

extern const char CHECK_USAGE[];

// Reads the arguments after the program name. Returns 0 on an unknown option
// or more than one path.
int parse_check_options(int argc, char **argv, check_options *options);

// The kind's name as conf.txt spells it, such as "up_right".
const char *gesture_kind_name(gesture_kind kind);

// Writes the virtual-key code in decimal, with a readable name where it has
// one: "17 (Ctrl)", "65 (A)", "300".
void print_key(std::FILE *out, std::int32_t code);

// The report: the file, the capture key, the precision, whether the trail is
// shown, one line per kind in slot order with its label and binding, or
// "unbound", then one line per exclude line, then each program block: its
// names, then the kinds it binds.
void print_report(std::FILE *out, const gesture_context *context);

// "program block: NAME" (the block's first name), or "none", when the file
// has blocks: which applies in front of `program`, told at each press in the
// live mode.
void print_block(std::FILE *out, const gesture_context *context, const foreground_program *program);

// "foreground program: NAME, NAME", or "unknown": what an exclude line could
// name, told at each press in the live mode.
void print_foreground(std::FILE *out, const foreground_program *program);

// The first line (from 1) of the file that holds a UTF-8 multibyte
// sequence, or 0 when none does or the file cannot be read.
long first_utf8_line(const char *path);

// Printed when first_utf8_line found one.
void print_utf8_note(std::FILE *out, long line);
