#include "conf/conf_file.h"

#include "conf/diagnostics.h"
#include "conf/line_reader.h"
#include "conf/text_tools.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

const conf_keyword conf_keywords[] = {
    {"prec", set_precision},
    {"precision", set_precision},
    {"autre", set_action<other>},
    {"other", set_action<other>},
    {"up", set_action<up>},
    {"down", set_action<down>},
    {"right", set_action<right>},
    {"up_right", set_action<up_right>},
    {"up-right", set_action<up_right>},
    {"up right", set_action<up_right>},
    {"upright", set_action<up_right>},
    {"right_up", set_action<up_right>},
    {"right-up", set_action<up_right>},
    {"right up", set_action<up_right>},
    {"rightup", set_action<up_right>},
    {"down_right", set_action<down_right>},
    {"down-right", set_action<down_right>},
    {"down right", set_action<down_right>},
    {"downright", set_action<down_right>},
    {"right_down", set_action<down_right>},
    {"right-down", set_action<down_right>},
    {"right down", set_action<down_right>},
    {"rightdown", set_action<down_right>},
    {"up_down", set_action<vertical>},
    {"up-down", set_action<vertical>},
    {"up down", set_action<vertical>},
    {"updown", set_action<vertical>},
    {"down_up", set_action<vertical>},
    {"down-up", set_action<vertical>},
    {"down up", set_action<vertical>},
    {"downup", set_action<vertical>},
    {"vert", set_action<vertical>},
    {"vertical", set_action<vertical>},
    {"right_left", set_action<horizontal>},
    {"right-left", set_action<horizontal>},
    {"right left", set_action<horizontal>},
    {"rightleft", set_action<horizontal>},
    {"left_right", set_action<horizontal>},
    {"left-right", set_action<horizontal>},
    {"left right", set_action<horizontal>},
    {"leftright", set_action<horizontal>},
    {"hori", set_action<horizontal>},
    {"horizontal", set_action<horizontal>},
    {"down_left", set_action<down_left>},
    {"down-left", set_action<down_left>},
    {"down left", set_action<down_left>},
    {"downleft", set_action<down_left>},
    {"left_down", set_action<down_left>},
    {"left-down", set_action<down_left>},
    {"left down", set_action<down_left>},
    {"leftdown", set_action<down_left>},
    {"up_left", set_action<up_left>},
    {"up-left", set_action<up_left>},
    {"up left", set_action<up_left>},
    {"upleft", set_action<up_left>},
    {"left_up", set_action<up_left>},
    {"left-up", set_action<up_left>},
    {"left up", set_action<up_left>},
    {"leftup", set_action<up_left>},
    {"left", set_action<left>},
    {"key", set_key},
    {"exclude", set_exclude},
    {"trail", set_trail},
    {"program", set_program},
};

const int CONF_KEYWORD_COUNT = static_cast<int>(sizeof conf_keywords / sizeof conf_keywords[0]);

namespace
{

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_key(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (ascii_lower(*a) != ascii_lower(*b))
            return false;
    return *a == *b;
}

// The table, or null when the split could not allocate all of it (the
// allocator has reported it).
char **split(const char *set, const char *text)
{
    char **table = str_to_word_tab(set, text);
    if (table == nullptr)
        return nullptr;
    int words = 0;
    while (table[words] != nullptr)
        ++words;
    if (words != count_words(set, text)) {
        free_word_tab(table);
        return nullptr;
    }
    return table;
}

// The rows that are not bindings: they apply to every program wherever they
// stand.
bool is_setting(value_handler handler)
{
    return handler == set_precision || handler == set_key || handler == set_trail ||
           handler == set_exclude;
}

void apply_value(const conf_keyword &row, const char *text, gesture_context *context)
{
    char **words = split("|", text);
    if (words == nullptr)
        return;
    char *value = words[0];
    char *extra = value != nullptr ? words[1] : nullptr;
    trim_chars(value, " \t");
    trim_chars(extra, " \t");
    row.handler(value, extra, context);
    free_word_tab(words);
}

} // namespace

void parse_conf_line(char *line, int line_number, gesture_context *context)
{
    char **pieces = split("=", line);
    if (pieces == nullptr)
        return;
    if (pieces[0] == nullptr || pieces[1] == nullptr) {
        conf_report_line_error(line_number);
        conf_report_more("   missing value, line skipped\n");
        free_word_tab(pieces);
        return;
    }
    trim_chars(pieces[0], " ");
    const conf_keyword *match = nullptr;
    for (int i = 0; i < CONF_KEYWORD_COUNT && match == nullptr; ++i)
        if (same_key(pieces[0], conf_keywords[i].key))
            match = &conf_keywords[i];
    // Any other line ends a row of program lines.
    if (match == nullptr || match->handler != set_program)
        context->program_line_before = false;
    if (match != nullptr) {
        if (context->loading_block != EVERY_PROGRAM && is_setting(match->handler))
            conf_reportf("warning : %s in a program block applies to every program\n", match->key);
        apply_value(*match, pieces[1], context);
    } else {
        conf_report_line_error(line_number);
        conf_reportf_more("   unknown parameter %s\n", pieces[0]);
    }
    free_word_tab(pieces);
}

void load_conf(gesture_context *context)
{
    conf_report_begin_load();
    std::FILE *file = context->conf_path != nullptr ? plat_open_file(context->conf_path) : nullptr;
    if (file == nullptr) {
        conf_report("unable to find conf.txt\n");
        return;
    }
    char *line = read_line(file);
    // A directory opens like a file on some systems; only its read fails.
    if (line == nullptr && std::ferror(file) != 0) {
        std::fclose(file);
        conf_report("unable to find conf.txt\n");
        return;
    }
    // The list and the blocks are the file's own: a line taken out of it
    // takes the program out.
    clear_excluded(context);
    clear_blocks(context);
    int line_number = 0;
    for (; line != nullptr; line = read_line(file)) {
        if (line_number < INT32_MAX)
            ++line_number;
        conf_report_on_line(line_number);
        trim_chars(line, " \t\r\"");
        if (line[0] != '\0' && !(line[0] == '/' && line[1] == '/'))
            parse_conf_line(line, line_number, context);
        std::free(line);
    }
    conf_report_on_line(0);
    std::fclose(file);
}
