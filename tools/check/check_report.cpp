#include "tools/check/check_report.h"

#include "conf/text_tools.h"
#include "gesture/keys_action.h"
#include "gesture/launcher.h"
#include "platform/platform.h"

#include <cstring>

const char CHECK_USAGE[] = "usage: sorvak-check [--live] [PATH]\n";

int parse_check_options(int argc, char **argv, check_options *options)
{
    *options = check_options{};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--live") == 0)
            options->live = true;
        else if (argv[i][0] == '-' || options->path != nullptr)
            return 0;
        else
            options->path = argv[i];
    }
    return 1;
}

namespace
{

// Indexed by gesture_kind.
constexpr const char *kind_names[GESTURE_KIND_COUNT] = {
    "up",    "down",       "right",   "up_right",  "down_right", "vertical",
    "other", "horizontal", "up_left", "down_left", "left",
};

struct key_name {
    std::int32_t code;
    const char *name;
};

// Letters, digits, the keypad's digits and the F-keys are named by rule.
constexpr key_name key_names[] = {
    {1, "left mouse button"},
    {2, "right mouse button"},
    {4, "middle mouse button"},
    {5, "side mouse button 1"},
    {6, "side mouse button 2"},
    {8, "Backspace"},
    {9, "Tab"},
    {13, "Enter"},
    {16, "Shift"},
    {17, "Ctrl"},
    {18, "Alt"},
    {19, "Pause"},
    {20, "Caps Lock"},
    {27, "Escape"},
    {32, "Space"},
    {33, "Page Up"},
    {34, "Page Down"},
    {35, "End"},
    {36, "Home"},
    {37, "Left arrow"},
    {38, "Up arrow"},
    {39, "Right arrow"},
    {40, "Down arrow"},
    {45, "Insert"},
    {46, "Delete"},
    {0x5B, "left Windows"},
    {0x5C, "right Windows"},
    {0x90, "Num Lock"},
    {0x91, "Scroll Lock"},
    {0xA0, "left Shift"},
    {0xA1, "right Shift"},
    {0xA2, "left Ctrl"},
    {0xA3, "right Ctrl"},
    {0xA4, "left Alt"},
    {0xA5, "right Alt"},
};

void print_binding(std::FILE *out, const action_slot &slot)
{
    if (slot.program == nullptr) {
        std::fputs("unbound\n", out);
        return;
    }
    // An empty program still reaches the shell; show that it is there.
    std::fputs(slot.program[0] != '\0' ? slot.program : "\"\"", out);
    if (slot.parameters != nullptr) {
        std::fputs(" | ", out);
        std::fputs(slot.parameters, out);
    }
    // What the loader understood: names in one spelling, chords one space
    // apart.
    key_sequence sequence;
    const char *unknown = nullptr;
    std::size_t length = 0;
    if (is_keys_binding(slot.program) &&
        parse_keys(slot.program, &sequence, &unknown, &length) == keys_ok) {
        char understood[MAX_KEY_NAMES * 16];
        write_keys(&sequence, understood, sizeof understood);
        std::fprintf(out, " (presses %s)", understood);
    }
    std::fputs("\n", out);
}

// The kind's name and label in their columns, after `indent`.
void print_kind(std::FILE *out, gesture_kind kind, const char *indent)
{
    const char *label = gesture_label(kind);
    int label_length = static_cast<int>(std::strlen(label)) - 1; // without its newline
    int width = 11 - static_cast<int>(std::strlen(indent));
    std::fprintf(out, "%s%-*s %-*.*s ", indent, width, kind_names[kind], 17, label_length, label);
}

} // namespace

const char *gesture_kind_name(gesture_kind kind)
{
    return kind >= 0 && kind < GESTURE_KIND_COUNT ? kind_names[kind] : nullptr;
}

void print_key(std::FILE *out, std::int32_t code)
{
    std::fprintf(out, "%d", code);
    if (code == 0) {
        std::fputs(" (capture off)", out);
    } else if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')) {
        std::fprintf(out, " (%c)", static_cast<char>(code));
    } else if (code >= 0x60 && code <= 0x69) {
        std::fprintf(out, " (keypad %d)", code - 0x60);
    } else if (code >= 0x70 && code <= 0x87) {
        std::fprintf(out, " (F%d)", code - 0x70 + 1);
    } else {
        for (const key_name &key : key_names)
            if (key.code == code) {
                std::fprintf(out, " (%s)", key.name);
                break;
            }
    }
}

void print_report(std::FILE *out, const gesture_context *context)
{
    std::fprintf(out, "file: %s\n", context->conf_path != nullptr ? context->conf_path : "");
    std::fputs("capture key: ", out);
    print_key(out, context->key_code.load());
    std::fprintf(out, "\nprecision: %d\ntrail: %s\n", context->precision.load(),
                 context->trail ? "on" : "off");
    for (int kind = 0; kind < GESTURE_KIND_COUNT; ++kind) {
        print_kind(out, static_cast<gesture_kind>(kind), "");
        print_binding(out, context->slots[kind]);
    }
    for (int i = 0; i < context->excluded_count; ++i)
        std::fprintf(out, "exclude     %s\n", context->excluded[i]);
    for (int b = 0; b < context->block_count; ++b) {
        const program_block &block = context->blocks[b];
        std::fputs("program    ", out);
        for (int i = 0; i < block.name_count; ++i)
            std::fprintf(out, "%s %s", i == 0 ? "" : ",", block.names[i]);
        std::fputs("\n", out);
        for (int kind = 0; kind < GESTURE_KIND_COUNT; ++kind)
            if (block.slots[kind].program != nullptr) {
                print_kind(out, static_cast<gesture_kind>(kind), "  ");
                print_binding(out, block.slots[kind]);
            }
    }
}

void print_block(std::FILE *out, const gesture_context *context, const foreground_program *program)
{
    plat_lock_slots();
    if (context->block_count != 0) {
        int block = find_program_block(context, program);
        std::fprintf(out, "program block: %s\n",
                     block >= 0 ? context->blocks[block].names[0] : "none");
    }
    plat_unlock_slots();
}

void print_foreground(std::FILE *out, const foreground_program *program)
{
    std::fputs("foreground program:", out);
    for (int i = 0; i < program->count; ++i)
        std::fprintf(out, "%s %s", i == 0 ? "" : ",", program->names[i]);
    std::fputs(program->count == 0 ? " unknown\n" : "\n", out);
}

long first_utf8_line(const char *path)
{
    std::FILE *file = plat_open_file(path);
    if (file == nullptr)
        return 0;
    long line = 1;
    int c;
    // A lead byte of a two- to four-byte sequence followed by as many
    // continuation bytes; text in a single-byte code page rarely has that.
    while ((c = std::fgetc(file)) != EOF) {
        if (c == '\n') {
            ++line;
            continue;
        }
        int follow = static_cast<int>(utf8_char_size(static_cast<unsigned char>(c))) - 1;
        if (follow == 0)
            continue;
        int seen = 0;
        int next = EOF;
        while (seen < follow && (next = std::fgetc(file)) != EOF && (next & 0xC0) == 0x80)
            ++seen;
        if (seen == follow) {
            std::fclose(file);
            return line;
        }
        if (next == '\n')
            ++line;
    }
    std::fclose(file);
    return 0;
}

void print_utf8_note(std::FILE *out, long line)
{
    std::fprintf(out,
                 "note: line %ld holds UTF-8 text. Paths are read in the system's ANSI code "
                 "page, so names with accented letters will not open: save conf.txt in the "
                 "ANSI encoding.\n",
                 line);
}
