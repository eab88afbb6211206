// What each keyword of conf.txt does with its value: check it, report
// problems on the standard error, store the final value once.
#pragma once

#include "gesture/gesture_context.h"

#include <cstdint>

using value_handler = void (*)(const char *value, const char *extra, gesture_context *context);

// A null value reads as the empty text (the line «prec =|» sets the default
// with the zero-precision messages).
void set_precision(const char *value, const char *extra, gesture_context *context);
// A null value reads as the empty text (unknown key value, back to Ctrl).
void set_key(const char *value, const char *extra, gesture_context *context);

// 1 shows the stroke as it is drawn; 0 and any other number do not. A value
// that is not a number is reported and reads as 0.
void set_trail(const char *value, const char *extra, gesture_context *context);

// The hexadecimal digits of `text` (after its "0x"). A character that is not
// a hexadecimal digit prints "invalid hexadecimal value : TEXT" and ends the
// process with status 1. Digits beyond the eighth shift the earlier ones out:
// the result is the low 32 bits, read as a signed value.
std::int32_t parse_hex(const char *text);

// Decimal reading in the manner of the standard text-to-integer conversion
// (leading white space, optional sign, digits up to the first other
// character; no digits give 0), clamped to the signed 32-bit range.
std::int32_t read_decimal(const char *text);

// Adds `value`, a program's executable file name, to the programs in whose
// windows gestures are off; past MAX_EXCLUDED lines in one load the rest are
// dropped with one warning.
void set_exclude(const char *value, const char *extra, gesture_context *context);
// Empties that list: each load brings its own exclude lines.
void clear_excluded(gesture_context *context);

// `program = NAME`: a row of these opens a block of bindings for the programs
// they name, up to the next row; «*» ends the blocks. Past
// MAX_PROGRAM_BLOCKS blocks, or MAX_BLOCK_NAMES names in one, the rest is
// dropped with one warning.
void set_program(const char *value, const char *extra, gesture_context *context);
// Empties the blocks and puts the loader back before them: each load brings
// its own blocks.
void clear_blocks(gesture_context *context);

// Replaces the pair of `kind`'s slot with copies of program and parameters
// (null stays null). If a copy cannot be allocated the slot is left unbound
// rather than bound to half a pair.
void store_action(gesture_kind kind, const char *program, const char *parameters,
                  gesture_context *context);

// store_action for a binding read from conf.txt, in the block the loader is
// in (a dropped block's are ignored): a keys binding is checked first; one
// that does not parse is reported and leaves the kind unbound, and its
// parameters are reported and dropped.
void bind_action(gesture_kind kind, const char *program, const char *parameters,
                 gesture_context *context);

// The eleven slot handlers, set_action<up> to set_action<left>; each writes
// only its own slot.
template <gesture_kind kind>
void set_action(const char *program, const char *parameters, gesture_context *context)
{
    static_assert(kind < GESTURE_KIND_COUNT, "a slot handler needs a slot");
    bind_action(kind, program, parameters, context);
}
