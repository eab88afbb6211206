#include "conf/diagnostics.h"

#include "conf/text_tools.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace
{

// Only the thread that loads the configuration writes these.
long reports = 0;
long load_reports = 0;
int current_line = 0;
char first[CONF_SUMMARY_SIZE] = "";
// The first problem's words are still to come on its next line.
bool first_waits_for_words = false;

// The first problem of a load starts its summary: where, then what.
void note_problem(bool words_follow)
{
    ++reports;
    if (++load_reports != 1)
        return;
    first[0] = '\0';
    if (current_line != 0)
        std::snprintf(first, sizeof first, "line %d: ", current_line);
    first_waits_for_words = words_follow;
}

// The words of the summary: the line's text without its indent and line feed.
__attribute__((format(printf, 1, 0))) void note_words(const char *format, va_list arguments)
{
    char words[CONF_SUMMARY_SIZE + 8];
    std::vsnprintf(words, sizeof words, format, arguments);
    const char *start = words + std::strspn(words, " ");
    std::size_t used = std::strlen(first);
    std::size_t length = std::strcspn(start, "\n");
    if (length > sizeof first - 1 - used)
        length = whole_chars(start, sizeof first - 1 - used, plat_char_size);
    std::memcpy(first + used, start, length);
    first[used + length] = '\0';
}

__attribute__((format(printf, 2, 0))) void write(bool problem, const char *format,
                                                 va_list arguments)
{
    if (problem)
        note_problem(false);
    if (load_reports == 1 && (problem || first_waits_for_words)) {
        first_waits_for_words = false;
        va_list copy;
        va_copy(copy, arguments);
        note_words(format, copy);
        va_end(copy);
    }
    std::vfprintf(stderr, format, arguments);
}

} // namespace

void conf_report(const char *text)
{
    conf_reportf("%s", text);
}

void conf_reportf(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    write(true, format, arguments);
    va_end(arguments);
}

void conf_report_more(const char *text)
{
    conf_reportf_more("%s", text);
}

void conf_reportf_more(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    write(false, format, arguments);
    va_end(arguments);
}

void conf_report_line_error(int line_number)
{
    note_problem(true);
    std::fprintf(stderr, "error in conf file, line %d\n", line_number);
}

long conf_report_count()
{
    return reports;
}

void conf_report_begin_load()
{
    load_reports = 0;
    current_line = 0;
    first[0] = '\0';
    first_waits_for_words = false;
}

void conf_report_on_line(int line_number)
{
    current_line = line_number;
}

void conf_last_load(conf_load_summary *summary)
{
    summary->problems = load_reports;
    std::memcpy(summary->first, first, sizeof first);
}
