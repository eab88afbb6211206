// Arbitrary bytes as conf.txt: load them into a fresh context, then make a
// few gestures so the stored values are used. A malformed hexadecimal key
// ends the process; here the exit hook throws back to the harness instead.
#include "conf/conf_file.h"
#include "conf/line_reader.h"
#include "conf/value_handlers.h"
#include "fuzz/fuzz_support.h"
#include "gesture/capture_loop.h"
#include "platform/platform.h"
#include "platform/stand_in/stand_in.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

struct process_exit {
    int status;
};

void throw_exit(int status, void *)
{
    throw process_exit{status};
}

// Every block handed out during one input. The exit path unwinds through the
// loader and leaves the line being parsed and its two splits behind; those
// are found here and freed. ASan's quarantine keeps a freed block from being
// handed out again soon, so a block it still owns is one nobody freed.
std::vector<void *> handed_out;

std::FILE *last_opened = nullptr;

std::string conf_path;

void free_left_behind()
{
    std::sort(handed_out.begin(), handed_out.end());
    handed_out.erase(std::unique(handed_out.begin(), handed_out.end()), handed_out.end());
    for (void *block : handed_out)
        if (__sanitizer_get_ownership(block) != 0)
            std::free(block);
}

// A gesture of each shape: press at (0, 0), then the stroke, then release.
const std::vector<std::vector<std::int32_t>> strokes = {{0, -300},
                                                        {300, 0},
                                                        {-300, 300},
                                                        {300, 0, 0, 0},
                                                        {0, 300, 0, 0},
                                                        {300, 300, 0, 0},
                                                        {5000, -5000, -5000, 5000}};

void make_gestures(gesture_context *context)
{
    constexpr std::int16_t DOWN = -32768;
    reset_capture_state();
    for (const std::vector<std::int32_t> &stroke : strokes) {
        // Whatever key the file chose; the buttons stay up, or every capture
        // would end as a drag.
        stand_in_clear_keys();
        stand_in_set_key(context->key_code.load(), DOWN);
        stand_in_set_cursor(0, 0);
        capture_cycle(context);
        for (std::size_t i = 0; i + 1 < stroke.size(); i += 2) {
            stand_in_set_cursor(stroke[i], stroke[i + 1]);
            capture_cycle(context);
        }
        stand_in_clear_keys();
        capture_cycle(context);
    }
}

} // namespace

extern "C" std::FILE *__real_fopen(const char *path, const char *mode);
extern "C" std::FILE *__wrap_fopen(const char *path, const char *mode)
{
    last_opened = __real_fopen(path, mode);
    return last_opened;
}

void *plat_malloc(std::size_t size)
{
    void *block = std::malloc(size);
    if (block != nullptr)
        handed_out.push_back(block);
    return block;
}

void *plat_realloc(void *block, std::size_t size)
{
    void *grown = std::realloc(block, size);
    if (grown != nullptr)
        handed_out.push_back(grown);
    return grown;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    conf_path = make_scratch_path("conf.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    write_bytes(conf_path, data, size);

    stand_in_reset();
    stand_in_record_shell(false);
    stand_in_on_exit(throw_exit, nullptr);
    handed_out.clear();

    std::string program_path = conf_path;
    auto context = std::make_unique<gesture_context>();
    init_context(&program_path[0], context.get());
    bool exited = false;
    try {
        load_conf(context.get());
    } catch (const process_exit &) {
        exited = true;
        reset_line_reader();
        std::fclose(last_opened);
    }
    make_gestures(context.get());

    for (action_slot &slot : context->slots) {
        std::free(slot.program);
        std::free(slot.parameters);
    }
    clear_excluded(context.get());
    clear_blocks(context.get());
    std::free(context->conf_path);
    if (exited)
        free_left_behind();
    stand_in_reset();
    return 0;
}
