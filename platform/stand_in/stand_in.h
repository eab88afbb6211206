// Control of the portable stand-in platform: what its key-state query and
// cursor read return, what happens on each sleep, on each shell call and on
// exit. Tests and sorvak-sim drive the engine through it.
#pragma once

#include "platform/key_ids.h"

#include <cstdint>
#include <string>
#include <vector>

struct stand_in_shell_call {
    std::string program;
    std::string parameters;
};

// Every key reports `state` (the per-key list is cleared).
void stand_in_set_all_keys(std::int16_t state);
// Only the listed keys report a state; every other key reports 0.
void stand_in_set_key(std::int32_t key_code, std::int16_t state);
void stand_in_clear_keys();
// The cursor reads as (x, y), or fails to read when `readable` is false.
void stand_in_set_cursor(std::int32_t x, std::int32_t y, bool readable = true);

// Number of key-state queries and cursor reads made so far.
long stand_in_key_queries();
long stand_in_cursor_reads();

// The names plat_foreground_program gives (at most FOREGROUND_NAME_COUNT);
// none, the initial state, is a foreground that cannot be told.
void stand_in_set_foreground(const std::vector<std::string> &names);
long stand_in_foreground_queries();

// What plat_foreground_window gives (0, the initial state: cannot be told),
// and how many times it was asked.
void stand_in_set_foreground_window(std::uintptr_t window);
long stand_in_foreground_window_queries();

// Called on every plat_sleep, on the sleeping thread. Null: sleeping returns
// at once.
void stand_in_on_sleep(void (*hook)(void *user), void *user);

// Called on every shell call after it is recorded (for example to log it or to
// make the shell slow). Null: nothing more than recording.
void stand_in_on_shell(void (*hook)(const char *program, const char *parameters, void *user),
                       void *user);
// Whether shell calls are kept in the list below (on by default).
void stand_in_record_shell(bool on);
std::vector<stand_in_shell_call> stand_in_shell_calls();
void stand_in_clear_shell_calls();

// The keys plat_send_key was asked for, in order: each key's id, '+' when
// pressed, '-' when released, separated by spaces («+0 +32 -32 -0»).
std::string stand_in_sent_keys();
// plat_send_key refuses `key` from now on (KEY_ID_COUNT: refuses none).
void stand_in_refuse_key(key_id key);

// Called by plat_exit with the status before the process exits. A hook that
// throws or jumps makes the exit observable without ending the process. Null:
// the process exits.
void stand_in_on_exit(void (*hook)(int status, void *user), void *user);

// What plat_executable_path gives: a copy of `path`, or null when `path` is
// null (the initial state: the system cannot tell).
void stand_in_set_executable_path(const char *path);

// Back to the initial state: all keys up, cursor (0, 0) readable, no
// foreground program, no hooks, no recorded calls or keys, counters zero.
void stand_in_reset();
