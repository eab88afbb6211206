#include "platform/linux/input_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>

namespace
{

using steady = std::chrono::steady_clock;

int ms_until(steady::time_point when)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(when - steady::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

void wait_for_input(int input_fd, bool (*has_input)(void *argument), void *argument, int wake_fd,
                    int least_ms, int most_ms)
{
    const steady::time_point start = steady::now();
    const steady::time_point least = start + std::chrono::milliseconds(least_ms);
    const steady::time_point most = start + std::chrono::milliseconds(most_ms);
    bool woken = has_input(argument);
    for (;;) {
        int timeout = woken ? ms_until(least) : most_ms < 0 ? -1 : ms_until(most);
        if (timeout == 0)
            return;
        // Once woken only the clock is waited for; later input stays queued
        // for the next cycle.
        pollfd watched[2] = {{woken ? -1 : input_fd, POLLIN, 0}, {woken ? -1 : wake_fd, POLLIN, 0}};
        int ready = poll(watched, 2, timeout);
        if (ready <= 0) {
            // A failed wait falls back on the clock alone: a short cycle, as
            // sampling would have it, rather than a spin or a missed key.
            woken = woken || (ready < 0 && errno != EINTR);
            continue;
        }
        if (watched[1].revents != 0) {
            std::uint64_t count = 0;
            ssize_t got = read(wake_fd, &count, sizeof count);
            static_cast<void>(got);
            woken = true;
        }
        // A connection that hangs up or fails ends the wait too: the next
        // cycle's queries meet it.
        if (watched[0].revents != 0)
            woken = has_input(argument) || woken || (watched[0].revents & ~POLLIN) != 0;
    }
}

void pause_cycle(int input_fd, bool keys_up, bool (*has_press)(void *argument),
                 bool (*has_key_event)(void *argument), void *argument, int cycle_ms,
                 int idle_most_ms)
{
    if (keys_up)
        wait_for_input(input_fd, has_press, argument, wake_descriptor(), cycle_ms, idle_most_ms);
    else
        wait_for_input(input_fd, has_key_event, argument, wake_descriptor(), 0, cycle_ms);
}

int wake_descriptor()
{
    static const int descriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return descriptor;
}

void wake_input_wait()
{
    std::uint64_t one = 1;
    ssize_t written = write(wake_descriptor(), &one, sizeof one);
    static_cast<void>(written);
}

void sleep_ms(int milliseconds)
{
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
