#include "platform/linux/input_wait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace
{

// The input stands for the X connection: 'k' a raw key event, 'm' other
// traffic. What the wait takes from it is kept in `taken`.
int input[2];
std::string taken;

bool take(void *)
{
    bool key = false;
    char byte = 0;
    while (read(input[0], &byte, 1) == 1) {
        taken += byte;
        key = key || byte == 'k';
    }
    return key;
}

// Other traffic does not end the wait; input or a wake does, but not before
// the shortest pause, with or without a longest (the scenarios see the rest
// on a display).
TEST(input_wait, ends_on_key_input_or_a_wake_within_its_limits)
{
    struct {
        const char *queued; // "wake": the wake descriptor written instead
        int least_ms, most_ms, at_least_ms;
    } const cases[] = {{"mm", 10, 150, 150},
                       {"mk", 100, 5000, 100},
                       {"wake", 100, 5000, 100},
                       {"wake", 100, -1, 100}};
    for (const auto &c : cases) {
        ASSERT_EQ(pipe2(input, O_NONBLOCK | O_CLOEXEC), 0);
        int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        std::string queued = c.queued;
        std::uint64_t count = 1;
        ASSERT_GT(queued == "wake" ? write(wake, &count, sizeof count)
                                   : write(input[1], queued.data(), queued.size()),
                  0);
        taken.clear();
        // More of the same comes while the wait is on.
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            EXPECT_EQ(write(input[1], "m", 1), 1);
        });
        auto start = std::chrono::steady_clock::now();
        wait_for_input(input[0], take, nullptr, wake, c.least_ms, c.most_ms);
        auto waited = std::chrono::steady_clock::now() - start;
        later.join();
        EXPECT_GE(waited, std::chrono::milliseconds(c.at_least_ms)) << queued;
        EXPECT_LT(waited, std::chrono::milliseconds(2500)) << queued;
        EXPECT_EQ(taken, queued == "mm" ? "mmm" : queued == "mk" ? "mk" : "");
        EXPECT_EQ(read(wake, &count, sizeof count), -1) << "the wake is emptied";
        close(input[0]);
        close(input[1]);
        close(wake);
    }
}

// The takers pause_cycle is given: 'p' a press, 'r' a release, 'm' motion.
bool take_presses(void *argument)
{
    take(argument);
    return taken.find('p') != std::string::npos;
}

bool take_key_events(void *argument)
{
    take(argument);
    return taken.find_first_of("pr") != std::string::npos;
}

// While a key is held the pause is the cycle, cut short by a key or button
// event (a release: the stroke ends at once) but not by motion; while every
// key is up it waits for a press, whatever else comes.
TEST(input_wait, a_held_keys_pause_ends_at_a_key_event_an_idle_one_at_a_press)
{
    struct {
        bool keys_up;
        const char *sent; // 40 ms into the pause
        int cycle_ms, idle_most_ms, at_least_ms, below_ms;
    } const cases[] = {{false, "r", 1000, -1, 40, 500},
                       {false, "mm", 300, -1, 300, 2500},
                       {true, "r", 10, 300, 300, 2500},
                       {true, "mp", 100, 5000, 100, 2500}};
    for (const auto &c : cases) {
        ASSERT_EQ(pipe2(input, O_NONBLOCK | O_CLOEXEC), 0);
        taken.clear();
        std::string sent = c.sent;
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            EXPECT_EQ(write(input[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
        });
        auto start = std::chrono::steady_clock::now();
        pause_cycle(input[0], c.keys_up, take_presses, take_key_events, nullptr, c.cycle_ms,
                    c.idle_most_ms);
        auto waited = std::chrono::steady_clock::now() - start;
        later.join();
        EXPECT_GE(waited, std::chrono::milliseconds(c.at_least_ms)) << sent << c.keys_up;
        EXPECT_LT(waited, std::chrono::milliseconds(c.below_ms)) << sent << c.keys_up;
        EXPECT_EQ(taken, sent) << "all taken";
        close(input[0]);
        close(input[1]);
    }
}

} // namespace
