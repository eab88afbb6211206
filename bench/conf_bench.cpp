// The configuration reader: text tools on typical lines, the line reader from
// short lines to one 16 MB line, and whole loads of conf.txt.
#include "bench_support.h"

#include "conf/conf_file.h"
#include "conf/line_reader.h"
#include "conf/text_tools.h"
#include "gesture/gesture_context.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

// Twenty lines as a user would write them: comments, a blank, settings,
// bindings with and without parameters, a quoted path.
const char typical_conf[] = "// gestures and the programs they start\n"
                            "// gesture = program | parameters\n"
                            "\n"
                            "prec = 50\n"
                            "key = 0x11\n"
                            "\n"
                            "up = notepad.exe\n"
                            "down = calc.exe\n"
                            "right = \"C:\\Program Files\\Internet Explorer\\iexplore.exe\"\r\n"
                            "left = explorer.exe | c:\\\n"
                            "up_right = mspaint.exe\n"
                            "down-right = cmd.exe | /k echo ready\n"
                            "up left = write.exe\n"
                            "DOWN_LEFT = taskmgr.exe\n"
                            "\tvertical = control.exe\n"
                            "horizontal = explorer.exe | shell:Downloads\n"
                            "autre = charmap.exe\n"
                            "\n"
                            "// the same stroke under another name\n"
                            "upright = mspaint.exe\n";

const std::vector<std::string> typical_lines = {
    "prec = 50",
    "  left = explorer.exe | c:\\  \r",
    "\"up = notepad.exe\"",
    "down-right = cmd.exe | /k echo ready",
    "right = \"C:\\Program Files\\Internet Explorer\\iexplore.exe",
    "// gesture = program | parameters",
};

std::int64_t total_size(const std::vector<std::string> &lines)
{
    std::int64_t size = 0;
    for (const std::string &line : lines)
        size += static_cast<std::int64_t>(line.size());
    return size;
}

void BM_trim_chars(benchmark::State &state)
{
    char buffer[128];
    for (auto _ : state)
        for (const std::string &line : typical_lines) {
            std::memcpy(buffer, line.c_str(), line.size() + 1);
            trim_chars(buffer, " \t\r\"");
            benchmark::DoNotOptimize(buffer);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(typical_lines.size()));
    state.SetBytesProcessed(state.iterations() * total_size(typical_lines));
}
BENCHMARK(BM_trim_chars);

void BM_str_to_word_tab(benchmark::State &state)
{
    for (auto _ : state)
        for (const std::string &line : typical_lines) {
            char **pieces = str_to_word_tab("=", line.c_str());
            benchmark::DoNotOptimize(pieces);
            free_word_tab(pieces);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(typical_lines.size()));
    state.SetBytesProcessed(state.iterations() * total_size(typical_lines));
}
BENCHMARK(BM_str_to_word_tab);

std::string repeat_lines(const std::string &block, std::size_t count)
{
    std::string text;
    text.reserve(block.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        text += block;
    return text;
}

// One file per shape, written once: argument 0 is 100,000 short lines, any
// other argument n is one line of n bytes.
const std::string &reader_file(std::int64_t line_bytes)
{
    static std::string paths[4];
    int slot = line_bytes == 0 ? 0 : line_bytes <= 1024 ? 1 : line_bytes <= (1 << 20) ? 2 : 3;
    if (paths[slot].empty()) {
        std::string text = line_bytes == 0
                               ? repeat_lines("up = notepad.exe | notes.txt\n", 100000)
                               : std::string(static_cast<std::size_t>(line_bytes) - 1, 'x') + "\n";
        paths[slot] = write_scratch_file("lines_" + std::to_string(line_bytes) + ".txt", text);
    }
    return paths[slot];
}

void BM_read_line(benchmark::State &state)
{
    const std::string &path = reader_file(state.range(0));
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        state.SkipWithError("cannot open the line file");
        return;
    }
    std::fseek(file, 0, SEEK_END);
    const std::int64_t size = std::ftell(file);
    reset_line_reader();
    std::int64_t lines = 0;
    for (auto _ : state) {
        std::rewind(file);
        for (char *line = read_line(file); line != nullptr; line = read_line(file)) {
            benchmark::DoNotOptimize(line);
            std::free(line);
            ++lines;
        }
    }
    std::fclose(file);
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(lines);
    state.SetLabel(state.range(0) == 0 ? "100000 lines of 29 bytes"
                                       : "one line of " + std::to_string(state.range(0)) + " B");
}
BENCHMARK(BM_read_line)->Arg(0)->Arg(1024)->Arg(1 << 20)->Arg(16 << 20);

char *heap_copy(const std::string &text)
{
    char *copy = static_cast<char *>(plat_malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Argument: the number of lines, a whole number of copies of the typical file.
void BM_load_conf(benchmark::State &state)
{
    static std::string program_path = scratch_dir() + "/sorvak.exe";
    static bool initialised = false;
    if (!initialised) {
        init_context(&program_path[0], &g_context);
        initialised = true;
    }
    const auto copies = static_cast<std::size_t>(state.range(0) / 20);
    const std::string text = repeat_lines(typical_conf, copies);
    const std::string path =
        write_scratch_file("conf_" + std::to_string(state.range(0)) + ".txt", text);
    std::free(g_context.conf_path);
    g_context.conf_path = heap_copy(path);
    reset_line_reader();
    stream_silencer quiet(STDERR_FILENO);
    for (auto _ : state)
        load_conf(&g_context);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_load_conf)->Arg(20)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
