// The operating-system operations the gesture engine, the configuration
// loader and the shells call. One implementation is linked per platform: the
// Windows one for the shipped program, the stand-in one for tests and
// sorvak-sim; the Linux program links its X11 and libinput ones and forwards
// the input operations to the one it chose at start.
#pragma once

#include <cstddef>
#include <cstdint>

// Asynchronous state of a virtual key: non-zero while the key is down or if
// it was pressed since the previous query.
std::int16_t plat_key_state(std::int32_t key_code);

// Cursor position in screen pixels. Returns 1 on success, 0 when the
// position cannot be read (x and y are then left untouched).
int plat_cursor_pos(std::int32_t *x, std::int32_t *y);

// Suspends the calling thread for about `milliseconds`. Whatever the system
// sends the thread meanwhile is answered. A platform told of input as it
// comes (X11) may pause longer while this thread's previous key query found
// the key up, until a key or button event; never shorter.
void plat_sleep(std::uint32_t milliseconds);

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
// null when the system cannot tell it.
char *plat_executable_path();

// Heap allocation used by the engine and the loader, so that a test build can
// make the n-th allocation fail. Release with std::free.
void *plat_malloc(std::size_t size);
void *plat_realloc(void *block, std::size_t size);
