// The gesture engine over the stand-in: classification, whole gestures, idle
// cycles and the delay from a key release to the shell call.
#include "bench_support.h"

#include "conf/value_handlers.h"
#include "gesture/capture_loop.h"
#include "gesture/classifier.h"
#include "gesture/gesture_context.h"
#include "platform/stand_in/stand_in.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{

constexpr std::int16_t KEY_DOWN = INT16_MIN; // high bit: held now

struct sums {
    std::int32_t right, up, down, left, precision;
};

// One of each outcome and the borders between them.
const std::vector<sums> sum_table = {
    {0, 0, 0, 0, 50},     {50, 0, 0, 0, 50},        {49, 0, 0, 0, 50},    {500, 0, 0, 9, 50},
    {500, 0, 0, 10, 50},  {300, 300, 0, 0, 50},     {300, 300, 7, 0, 50}, {300, 0, 0, 300, 50},
    {0, 300, 300, 0, 50}, {300, 300, 300, 300, 50}, {0, 0, 300, 0, 50},   {0, 300, 5, 0, 50},
    {1, 0, 0, 60, 50},    {0, 1, 60, 0, 50},        {3000, 0, 0, 60, 50}, {3000, 3000, 0, 3000, 50},
    {0, 0, 0, 7, 1},      {5, 0, 0, 5, 1},          {0, 0, 400, 0, -50},  {0, 0, 0, 400, -50},
};

void BM_classify_gesture(benchmark::State &state)
{
    for (auto _ : state)
        for (const sums &s : sum_table)
            benchmark::DoNotOptimize(classify_gesture(s.right, s.up, s.down, s.left, s.precision));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sum_table.size()));
}
BENCHMARK(BM_classify_gesture);

// A context as start-up leaves it, with the rightward stroke bound.
void prepare_engine()
{
    static std::string program_path = scratch_dir() + "/sorvak.exe";
    static bool done = false;
    if (!done) {
        init_context(&program_path[0], &g_context);
        done = true;
    }
    g_context.precision.store(DEFAULT_PRECISION);
    g_context.key_code.store(DEFAULT_CAPTURE_KEY);
    store_action(right, "notepad.exe", "notes.txt", &g_context);
    stand_in_reset();
    stand_in_record_shell(false);
    reset_capture_state();
}

// A view as trail = 1 sets one, its handlers doing nothing: what the engine
// adds to a capture for it (what the program's handlers then do is theirs).
const stroke_view idle_view = {
    [](std::int32_t, std::int32_t) {},
    [](std::int32_t, std::int32_t) {},
    [](const char *) {},
};

// Press, one move of 300 px to the right, release: three cycles, the last one
// printing the label and calling the (no-op) shell. Argument 1: with a view.
void BM_gesture_cycles(benchmark::State &state)
{
    prepare_engine();
    watch_strokes(state.range(0) != 0 ? &idle_view : nullptr);
    stream_silencer quiet(STDOUT_FILENO);
    for (auto _ : state) {
        stand_in_set_key(DEFAULT_CAPTURE_KEY, KEY_DOWN);
        stand_in_set_cursor(100, 100);
        capture_cycle(&g_context);
        stand_in_set_cursor(400, 100);
        capture_cycle(&g_context);
        stand_in_set_key(DEFAULT_CAPTURE_KEY, 0);
        capture_cycle(&g_context);
    }
    watch_strokes(nullptr);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("one gesture = 3 cycles, no sleep");
}
BENCHMARK(BM_gesture_cycles)->ArgName("trail")->Arg(0)->Arg(1);
// Fixed counts, for instruction counts under callgrind.
BENCHMARK(BM_gesture_cycles)->Name("BM_gesture_cycles_fixed")->Arg(0)->Iterations(10000);
BENCHMARK(BM_gesture_cycles)->Name("BM_gesture_cycles_trail_fixed")->Arg(1)->Iterations(10000);

// The cycle the program spends nearly all its life in: key up, cursor still.
void BM_idle_cycle(benchmark::State &state)
{
    prepare_engine();
    stand_in_set_cursor(500, 500);
    capture_cycle(&g_context); // first poll of the process
    long before = allocation_count();
    for (auto _ : state)
        capture_cycle(&g_context);
    long allocations = allocation_count() - before;
    state.counters["allocs_per_cycle"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    state.counters["allocs_total"] = static_cast<double>(allocations);
}
BENCHMARK(BM_idle_cycle);
// A fixed count, so that an instruction count under callgrind divides evenly.
BENCHMARK(BM_idle_cycle)->Name("BM_idle_cycle_fixed")->Iterations(100000);

// Release to shell call with the real 10 ms sleep. The key goes up at a point
// spread evenly over one sleep, as a hand would release it; the time counted
// runs from there to the shell call.
struct release_timer {
    using clock = std::chrono::steady_clock;
    bool release_pending = false;
    int step = 0;
    clock::time_point released;
    clock::time_point woke; // end of the sleep the key went up in
    clock::time_point shell_called;
};

release_timer timer;

void sleep_for_real(void *)
{
    if (!timer.release_pending) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return;
    }
    timer.release_pending = false;
    const auto before = std::chrono::microseconds((timer.step++ * 370) % 10000);
    std::this_thread::sleep_for(before);
    stand_in_set_key(DEFAULT_CAPTURE_KEY, 0);
    timer.released = release_timer::clock::now();
    std::this_thread::sleep_for(std::chrono::microseconds(10000) - before);
    timer.woke = release_timer::clock::now();
}

void note_shell_call(const char *, const char *, void *)
{
    timer.shell_called = release_timer::clock::now();
}

void BM_release_to_shell(benchmark::State &state)
{
    prepare_engine();
    stand_in_on_sleep(sleep_for_real, nullptr);
    stand_in_on_shell(note_shell_call, nullptr);
    stream_silencer quiet(STDOUT_FILENO);
    std::vector<double> delays;
    double after_wake = 0;
    timer.step = 0;
    for (auto _ : state) {
        stand_in_set_key(DEFAULT_CAPTURE_KEY, KEY_DOWN);
        stand_in_set_cursor(100, 100);
        capture_cycle(&g_context);
        stand_in_set_cursor(400, 100);
        timer.release_pending = true;
        capture_cycle(&g_context); // its sleep lets the key go
        capture_cycle(&g_context); // sees the release, calls the shell
        std::chrono::duration<double> delay = timer.shell_called - timer.released;
        state.SetIterationTime(delay.count());
        delays.push_back(delay.count());
        after_wake += std::chrono::duration<double>(timer.shell_called - timer.woke).count();
    }
    stand_in_on_sleep(nullptr, nullptr);
    stand_in_on_shell(nullptr, nullptr);
    std::sort(delays.begin(), delays.end());
    state.counters["median_ms"] = delays[delays.size() / 2] * 1e3;
    state.counters["max_ms"] = delays.back() * 1e3;
    state.counters["wake_to_shell_us"] = after_wake / static_cast<double>(delays.size()) * 1e6;
}
BENCHMARK(BM_release_to_shell)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

} // namespace
