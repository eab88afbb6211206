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

using steady = std::chrono::steady_clock;

// The input stands for the X connection: 'k' for a raw key or button event,
// anything else for other traffic (a keyboard mapping change).
struct wait_case {
    const char *what;
    const char *queued; // on the input before the wait
    bool woken_before;  // the wake descriptor written before the wait
    const char *later;  // written 40 ms into the wait: "k", "m" or "wake"
    int least_ms;
    int most_ms;
    int at_least_ms;    // the wait may not end sooner
    int well_before_ms; // and must end before this (a loaded machine is slow)
    const char *taken;  // what the wait took from the input
};

class input_wait : public testing::TestWithParam<wait_case>
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(pipe2(input, O_NONBLOCK | O_CLOEXEC), 0);
        wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        ASSERT_GE(wake, 0);
    }
    void TearDown() override
    {
        close(input[0]);
        close(input[1]);
        close(wake);
    }
    void write_input(const char *text) const
    {
        std::string bytes = text;
        ASSERT_EQ(write(input[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void wake_up() const
    {
        std::uint64_t one = 1;
        ASSERT_EQ(write(wake, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
    // Takes all there is, as the X event queue is drained.
    static bool take(void *argument)
    {
        auto *self = static_cast<input_wait *>(argument);
        bool key = false;
        char byte = 0;
        while (read(self->input[0], &byte, 1) == 1) {
            self->taken += byte;
            key = key || byte == 'k';
        }
        return key;
    }

    int input[2] = {-1, -1};
    int wake = -1;
    std::string taken;
};

TEST_P(input_wait, ends_on_key_input_or_a_wake_within_its_limits)
{
    const wait_case &c = GetParam();
    write_input(c.queued);
    if (c.woken_before)
        wake_up();
    std::string later = c.later;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        if (later == "wake")
            wake_up();
        else
            write_input(later.c_str());
    });
    steady::time_point start = steady::now();
    wait_for_input(input[0], take, this, wake, c.least_ms, c.most_ms);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - start);
    writer.join();
    EXPECT_GE(waited.count(), c.at_least_ms);
    EXPECT_LT(waited.count(), c.well_before_ms);
    EXPECT_EQ(taken, c.taken);
    std::uint64_t count = 0;
    EXPECT_EQ(read(wake, &count, sizeof count), -1);
}

INSTANTIATE_TEST_SUITE_P(
    cases, input_wait,
    testing::Values(wait_case{"nothing comes", "", false, "", 10, 150, 150, 2000, ""},
                    wait_case{"key input queued", "k", false, "", 10, 5000, 10, 2000, "k"},
                    wait_case{"other traffic only", "mm", false, "m", 10, 150, 150, 2000, "mmm"},
                    wait_case{"woken before", "", true, "", 10, 5000, 10, 2000, ""},
                    wait_case{"key input later", "m", false, "k", 10, 5000, 40, 2500, "mk"},
                    wait_case{"woken later", "", false, "wake", 10, 5000, 40, 2500, ""},
                    // The shortest pause holds even when input is there at once; what
                    // comes meanwhile is left for the next cycle.
                    wait_case{"key input before the shortest", "k", false, "k", 100, 5000, 100,
                              2500, "k"},
                    wait_case{"shortest above longest", "", false, "", 120, 20, 120, 2000, ""}),
    [](const testing::TestParamInfo<wait_case> &param) {
        std::string name = param.param.what;
        for (char &ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

} // namespace
