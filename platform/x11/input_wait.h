// The capture thread's pause while the key is up: it waits for input rather
// than for the clock. Only descriptors, so it can be tested without a display.
#pragma once

// Returns once `has_input(argument)` is true or `wake_fd` (a non-blocking
// eventfd) is readable, but no sooner than `least_ms` and no later than
// `most_ms` after the call (no limit when most_ms is negative). has_input is
// asked at once and then each time `input_fd` is readable; it must take what
// is there, or the descriptor stays readable. A readable wake_fd is emptied.
// A descriptor of -1 is not watched.
void wait_for_input(int input_fd, bool (*has_input)(void *argument), void *argument, int wake_fd,
                    int least_ms, int most_ms);
