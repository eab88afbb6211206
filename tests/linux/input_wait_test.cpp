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

struct wait_case {
    const char *queued; // on the input before the wait
    const char *later;  // 40 ms into it: bytes for the input, or "" to wake
    int least_ms, most_ms;
    int at_least_ms, below_ms; // a loaded machine is slow: a wide upper bound
    const char *taken;
};

TEST(input_wait, ends_on_key_input_or_a_wake_within_its_limits)
{
    const wait_case cases[] = {
        // Other traffic is taken but does not end the wait.
        {"m", "m", 10, 150, 150, 2000, "mm"},
        {"", "mk", 10, 5000, 40, 2500, "mk"},
        {"", "", 10, 5000, 40, 2500, ""},
        // The shortest pause holds even with input at once; what comes
        // meanwhile is left for the next cycle.
        {"k", "k", 100, 5000, 100, 2500, "k"},
    };
    for (const wait_case &c : cases) {
        ASSERT_EQ(pipe2(input, O_NONBLOCK | O_CLOEXEC), 0);
        int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        taken.clear();
        std::string queued = c.queued, later = c.later;
        ASSERT_EQ(write(input[1], queued.data(), queued.size()), ssize_t(queued.size()));
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            std::uint64_t one = 1;
            ssize_t done = later.empty() ? write(wake, &one, sizeof one)
                                         : write(input[1], later.data(), later.size());
            EXPECT_GT(done, 0);
        });
        auto start = std::chrono::steady_clock::now();
        wait_for_input(input[0], take, nullptr, wake, c.least_ms, c.most_ms);
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
        writer.join();
        EXPECT_GE(waited, c.at_least_ms) << queued << "|" << later;
        EXPECT_LT(waited, c.below_ms) << queued << "|" << later;
        EXPECT_EQ(taken, c.taken) << queued << "|" << later;
        std::uint64_t count = 0;
        EXPECT_EQ(read(wake, &count, sizeof count), -1) << "the wake is emptied";
        close(input[0]);
        close(input[1]);
        close(wake);
    }
}

} // namespace
