// A binding that presses keys in the program in front instead of starting
// one: «keys: ctrl+shift+t», «keys: ctrl+a ctrl+c». Chords are separated by
// blanks, the keys of a chord joined by '+', names in any case.
#pragma once

#include "gesture/gesture_context.h"
#include "platform/key_ids.h"

#include <cstddef>
#include <cstdint>

constexpr int MAX_KEY_CHORDS = 16;
constexpr int MAX_KEY_NAMES = 32;

struct key_sequence {
    int chord_count;
    int key_count;
    // Where each chord ends in `keys`.
    std::uint8_t chord_end[MAX_KEY_CHORDS];
    key_id keys[MAX_KEY_NAMES];
};

enum keys_problem {
    keys_ok,
    keys_empty,
    keys_unknown_name,
    keys_too_many_chords,
    keys_too_many_names
};

// Whether `program` (a binding's program text) is a keys binding.
bool is_keys_binding(const char *program);

// Reads a keys binding (the text from "keys:" on). On keys_unknown_name,
// `name` points into `binding` at the first name not understood, `length`
// bytes long (the whole chord when a '+' has nothing beside it).
keys_problem parse_keys(const char *binding, key_sequence *sequence, const char **name,
                        std::size_t *length);

// The sequence as it is understood, written back in `out` (room for `size`
// bytes, cut to fit): names in lower case, one spelling each («super» and
// «lwin» are «win»), chords separated by one space.
void write_keys(const key_sequence *sequence, char *out, std::size_t size);

// Presses each chord's keys in order and releases them in reverse, one chord
// after the other, through plat_send_key. A key that cannot be sent ends the
// sequence, with what the chord had pressed released all the same. Returns
// 1 when every key was sent.
int send_keys(const key_sequence *sequence);

// Whether some kind of `context`, for every program or in a block, has a
// keys binding. On the thread that
// loads the configuration.
bool binds_keys(const gesture_context *context);
