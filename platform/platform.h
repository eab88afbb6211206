// The operating-system operations the gesture engine, the configuration
// loader and the shells call. One implementation is linked per platform: the
// Windows one for the shipped program, the stand-in one for tests and
// sorvak-sim; the Linux program links its X11 and libinput ones and forwards
// the input operations to the one it chose at start.
#pragma once

#include "platform/key_ids.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Asynchronous state of a virtual key (the mouse buttons are keys 1, 2, 4, 5
// and 6): negative while the key is down, bit 0 set if it was pressed since
// the previous query of that same key; zero otherwise.
std::int16_t plat_key_state(std::int32_t key_code);

// Cursor position in screen pixels. Returns 1 on success, 0 when the
// position cannot be read (x and y are then left untouched).
int plat_cursor_pos(std::int32_t *x, std::int32_t *y);

constexpr int FOREGROUND_NAME_COUNT = 3;
constexpr std::size_t FOREGROUND_NAME_SIZE = 260;

// What the program owning the foreground window is called: its executable's
// file name first, then any other name the desktop knows it by.
struct foreground_program {
    int count;
    char names[FOREGROUND_NAME_COUNT][FOREGROUND_NAME_SIZE];
};

// Fills `program` and returns its count: 0 when the foreground program
// cannot be told (no foreground window, a process that may not be asked, a
// desktop that does not say).
int plat_foreground_program(foreground_program *program);

// The foreground window, as a number that tells two windows apart, asked at
// a capture's press and release: a change between them means the user
// clicked or switched elsewhere, also where the buttons could not be seen
// (an elevated window hides them). 0 where a change must not count (the
// focus follows the pointer) or cannot be told.
std::uintptr_t plat_foreground_window();

// Suspends the calling thread for about `milliseconds`. Whatever the system
// sends the thread meanwhile is answered. A platform told of input as it
// comes (X11, the input devices) may pause longer, until a key or button
// event, when every key this thread asked for since its previous pause was
// up; never shorter.
void plat_sleep(std::uint32_t milliseconds);

// Presses (`down`) or releases one key in the program in front, as typing
// it would. Returns 1 when it was sent, 0 when it could not be (a platform
// that can tell why says so on the standard error).
int plat_send_key(key_id key, bool down);

// Asks the shell to open `file` with the parameter text `parameters`
// (neither is ever null), with no owner, no verb, no working directory and
// the default show state. Returns without waiting; the outcome is ignored.
void plat_shell_open(const char *file, const char *parameters);

// The standard library's normal exit: flushes the standard streams, then ends
// the process with `status`.
[[noreturn]] void plat_exit(int status);

// The lock that keeps a reload's writes of the action slots apart from a
// launch's reads of them. One for the process, as there is one context; not
// recursive.
void plat_lock_slots();
void plat_unlock_slots();

// Runs body(argument) on a new thread with the default stack size; the thread
// is never joined. Returns 1 when it started, 0 when it could not.
int plat_start_thread(void (*body)(void *argument), void *argument);

// The running program's own file path as a new heap string (plat_malloc), or
// null when the system cannot tell it. Where the system's text cannot spell
// its folder exactly, the spelling is one that plat_open_file and
// plat_shell_open still understand.
char *plat_executable_path();

// Opens the file `path` for reading in binary mode, as std::fopen(path, "rb")
// does, also in the program's folder as plat_executable_path spelt it.
std::FILE *plat_open_file(const char *path);

// The length in bytes (1 to 4) of the character of the system's text
// encoding whose first byte is `first`; texts are cut and searched a whole
// character at a time.
unsigned plat_char_size(unsigned char first);

// Heap allocation used by the engine and the loader, so that a test build can
// make the n-th allocation fail. Release with std::free.
void *plat_malloc(std::size_t size);
void *plat_realloc(void *block, std::size_t size);
