#include "platform/x11/input_wait.h"

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

} // namespace
