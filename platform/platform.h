// The operating-system operations the gesture engine and the configuration
// loader call. One implementation is linked per platform: the Windows one for
// the shipped program, the stand-in one for tests and sorvak-sim.
#pragma once

#include <cstddef>
#include <cstdint>

// Asynchronous state of a virtual key: non-zero while the key is down or if
// it was pressed since the previous query.
std::int16_t plat_key_state(std::int32_t key_code);

// Cursor position in screen pixels. Returns 1 on success, 0 when the
// position cannot be read (x and y are then left untouched).
int plat_cursor_pos(std::int32_t *x, std::int32_t *y);

// Suspends the calling thread for about `milliseconds`.
void plat_sleep(std::uint32_t milliseconds);

// Asks the shell to open `file` with the parameter text `parameters`
// (neither is ever null), with no owner, no verb, no working directory and
// the default show state. Returns without waiting; the outcome is ignored.
void plat_shell_open(const char *file, const char *parameters);

// The standard library's normal exit: flushes the standard streams, then ends
// the process with `status`.
[[noreturn]] void plat_exit(int status);

// Heap allocation used by the engine and the loader, so that a test build can
// make the n-th allocation fail. Release with std::free.
void *plat_malloc(std::size_t size);
void *plat_realloc(void *block, std::size_t size);
