// The capture thread's pause between cycles, which waits for input rather
// than for the clock alone. Only descriptors, so it can be tested without a
// display or a device.
#pragma once

// Returns once `has_input(argument)` is true or `wake_fd` (a non-blocking
// eventfd) is readable, but no sooner than `least_ms` and no later than
// `most_ms` after the call (no limit when most_ms is negative). has_input is
// asked at once and then each time `input_fd` is readable; it must take what
// is there, or the descriptor stays readable. A readable wake_fd is emptied.
// A descriptor of -1 is not watched.
void wait_for_input(int input_fd, bool (*has_input)(void *argument), void *argument, int wake_fd,
                    int least_ms, int most_ms);

// The pause after a capture cycle, on wake_descriptor(). While every key
// asked for since the previous pause was up (`keys_up`) only a press can
// start a gesture: the pause lasts until `has_press` sees one, at least
// `cycle_ms` and at most `idle_most_ms` (no limit when negative). While a
// key is down it lasts the cycle, but a key or button event that
// `has_key_event` sees (a release above all) ends it at once, so the next
// cycle acts on it. Both take what input_fd holds, as has_input does above.
void pause_cycle(int input_fd, bool keys_up, bool (*has_press)(void *argument),
                 bool (*has_key_event)(void *argument), void *argument, int cycle_ms,
                 int idle_most_ms);

// The capture thread's wake-up descriptor for wait_for_input: an eventfd made
// by whichever thread asks first and kept for the process's life.
int wake_descriptor();

// Ends a wait_for_input on wake_descriptor() at once, or the next one (a
// reload). Safe from any thread.
void wake_input_wait();

// Sleeps `milliseconds`, resumed after a signal: the cycle's pause while the
// key is held.
void sleep_ms(int milliseconds);
