// Reloads of conf.txt racing a capture thread that makes gestures as fast as
// it can. Run under ThreadSanitizer as well: the races are the point.
#include "conf/conf_file.h"
#include "gesture/capture_loop.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{

using clock_type = std::chrono::steady_clock;

constexpr std::int16_t DOWN = -32768;

struct point {
    std::int32_t x, y;
};

// Cursor path of one gesture of each kind, from the press position (0, 0);
// with precision 30 or 50 each path is classified as its kind.
const std::vector<point> strokes[GESTURE_KIND_COUNT] = {
    /* up */ {{0, -300}},
    /* down */ {{0, 300}},
    /* right */ {{300, 0}},
    /* up_right */ {{300, -300}},
    /* down_right */ {{300, 300}},
    /* vertical */ {{0, 300}, {0, 0}},
    /* other */ {{300, 300}, {0, 0}},
    /* horizontal */ {{300, 0}, {0, 0}},
    /* up_left */ {{-300, -300}},
    /* down_left */ {{-300, 300}},
    /* left */ {{-300, 0}},
};

// Drives the stand-in from the capture thread's sleep: press at (0, 0), walk
// the stroke with the key down, release; then the next kind.
struct gesture_script {
    int kind = 0;
    std::size_t step = 0; // 0: press, 1..n: stroke points, n + 1: release
    // Kind whose release the next cycle reports, read by the shell hook (same
    // thread).
    int releasing = -1;

    void next()
    {
        const std::vector<point> &stroke = strokes[kind];
        releasing = -1;
        if (step == 0) {
            // Both files' keys, Ctrl and Alt; the mouse buttons stay up.
            stand_in_set_key(17, DOWN);
            stand_in_set_key(0x12, DOWN);
            stand_in_set_cursor(0, 0);
        } else if (step <= stroke.size()) {
            stand_in_set_cursor(stroke[step - 1].x, stroke[step - 1].y);
        } else {
            stand_in_clear_keys();
            releasing = kind;
            kind = (kind + 1) % GESTURE_KIND_COUNT;
            step = 0;
            return;
        }
        ++step;
    }
};

const char *const slot_keys[GESTURE_KIND_COUNT] = {"up",         "down",      "right", "up_right",
                                                   "down_right", "vertical",  "other", "horizontal",
                                                   "up_left",    "down_left", "left"};
// Other spellings of the same slots, used by the second file.
const char *const slot_aliases[GESTURE_KIND_COUNT] = {"UP",        "Down",      "right", "right-up",
                                                      "rightdown", "up down",   "autre", "hori",
                                                      "left_up",   "down left", "left"};

// Kinds the second file unbinds, and the one it binds without parameters.
bool unbound_in_b(int kind)
{
    return kind == up || kind == vertical || kind == down_left;
}
constexpr int BARE_IN_B = left;

std::string conf_a()
{
    std::string text = "// every slot bound\nprec = 50\nkey = 17\n";
    for (int kind = 0; kind < GESTURE_KIND_COUNT; ++kind)
        text += std::string(slot_keys[kind]) + " = progA-" + std::to_string(kind) + " | paramA-" +
                std::to_string(kind) + "\n";
    return text;
}

std::string conf_b()
{
    std::string text = "\r\nprecision = 30\r\nkey = 0x12\r\n";
    for (int kind = 0; kind < GESTURE_KIND_COUNT; ++kind) {
        std::string key = slot_aliases[kind];
        std::string n = std::to_string(kind);
        if (unbound_in_b(kind))
            text += key + " =|\r\n";
        else if (kind == BARE_IN_B)
            text += "\"" + key + " = progB-" + n + "\"\r\n";
        else
            text += key + " =\tprogB-" + n + " | paramB-" + n + "\r\n";
    }
    return text;
}

// Whether (program, parameters) was bound to `kind` by one of the two files.
bool belongs_together(int kind, const std::string &program, const std::string &parameters)
{
    std::string n = std::to_string(kind);
    if (program == "progA-" + n)
        return parameters == "paramA-" + n;
    if (program == "progB-" + n && !unbound_in_b(kind))
        return parameters == (kind == BARE_IN_B ? "" : "paramB-" + n);
    return false;
}

struct race {
    gesture_script script;
    std::atomic<bool> stop{false};
    std::atomic<long> launches{0};
    std::atomic<long> launches_a{0};
    std::atomic<long> launches_b{0};
    std::atomic<bool> in_shell{false};
    std::chrono::milliseconds shell_delay{0};
    std::mutex bad_lock;
    std::vector<std::string> bad;
};

void on_sleep(void *user)
{
    static_cast<race *>(user)->script.next();
}

void on_shell(const char *program, const char *parameters, void *user)
{
    race &r = *static_cast<race *>(user);
    r.in_shell.store(true);
    if (!belongs_together(r.script.releasing, program, parameters)) {
        std::lock_guard<std::mutex> hold(r.bad_lock);
        if (r.bad.size() < 10)
            r.bad.push_back("kind " + std::to_string(r.script.releasing) + ": " + program + " | " +
                            parameters);
    }
    ++r.launches;
    ++(program[4] == 'A' ? r.launches_a : r.launches_b);
    if (r.shell_delay.count() > 0)
        std::this_thread::sleep_for(r.shell_delay);
    r.in_shell.store(false);
}

class reload_race : public testing::Test
{
  protected:
    void SetUp() override
    {
        stand_in_reset();
        reset_capture_state();
        dir = make_temp_dir();
        path_a = dir + "/a.txt";
        path_b = dir + "/b.txt";
        write_file(path_a, conf_a());
        write_file(path_b, conf_b());
        // The context starts from file A, so every slot is bound from the
        // first gesture on.
        use(path_a);
        load_conf(context.get());
        stand_in_record_shell(false);
        stand_in_on_sleep(on_sleep, &state);
        stand_in_on_shell(on_shell, &state);
    }

    void TearDown() override
    {
        stand_in_reset();
        std::remove(path_a.c_str());
        std::remove(path_b.c_str());
        std::remove(dir.c_str());
    }

    // Points conf_path at `path`; only the loader reads it, on this thread.
    void use(const std::string &path)
    {
        std::free(context->conf_path);
        context->conf_path = static_cast<char *>(std::malloc(path.size() + 1));
        path.copy(context->conf_path, path.size());
        context->conf_path[path.size()] = '\0';
    }

    // Runs the capture thread while `reloads` runs on this one.
    template <typename Body> void race_with_capture(Body reloads)
    {
        std::thread capture([this] {
            while (!state.stop.load())
                capture_cycle(context.get());
        });
        reloads();
        // However the scheduler went, let at least a few gestures through.
        auto deadline = clock_type::now() + std::chrono::seconds(10);
        while (state.launches.load() < 3 && clock_type::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.stop.store(true);
        capture.join();
    }

    test_context context;
    race state;
    std::string dir, path_a, path_b;
};

TEST_F(reload_race, every_launch_uses_a_pair_from_one_file)
{
    std::string err;
    capture_output([&] {
        race_with_capture([&] {
            for (int i = 0; i < 3000; ++i) {
                use(i % 2 == 0 ? path_b : path_a);
                load_conf(context.get());
            }
        });
        std::fflush(stderr);
    });
    EXPECT_TRUE(state.bad.empty())
        << state.bad.size() << " mismatched launches, first " << state.bad.front();
    EXPECT_GT(state.launches_a.load(), 0);
    EXPECT_GT(state.launches_b.load(), 0);
    // The last load was file A.
    EXPECT_EQ(context->precision.load(), 50);
    EXPECT_EQ(context->key_code.load(), 17);
    EXPECT_STREQ(context->slots[up].program, "progA-0");
}

TEST_F(reload_race, a_slow_shell_does_not_hold_up_a_reload)
{
    const auto delay = std::chrono::milliseconds(50);
    state.shell_delay = delay;
    std::vector<double> during_shell; // milliseconds of loads begun while the shell ran
    long loads = 0;
    capture_output([&] {
        race_with_capture([&] {
            auto end = clock_type::now() + std::chrono::milliseconds(1500);
            while (clock_type::now() < end) {
                use(loads % 2 == 0 ? path_b : path_a);
                bool overlapping = state.in_shell.load();
                auto start = clock_type::now();
                load_conf(context.get());
                std::chrono::duration<double, std::milli> took = clock_type::now() - start;
                if (overlapping)
                    during_shell.push_back(took.count());
                ++loads;
            }
        });
    });
    EXPECT_TRUE(state.bad.empty()) << state.bad.front();
    ASSERT_GE(during_shell.size(), 20u) << "too few loads overlapped a shell call";
    // A lock held across the shell would make these wait half the delay on
    // average; allow for a busy machine with the median and a few stragglers.
    std::sort(during_shell.begin(), during_shell.end());
    double median = during_shell[during_shell.size() / 2];
    auto slow = std::count_if(during_shell.begin(), during_shell.end(),
                              [&](double ms) { return ms >= delay.count() / 2.0; });
    EXPECT_LT(median, delay.count() / 5.0);
    EXPECT_LT(slow * 10, static_cast<long>(during_shell.size()))
        << slow << " of " << during_shell.size() << " overlapping loads waited";
}

} // namespace
