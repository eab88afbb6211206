#include "conf/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace
{
// Only the thread that loads the configuration writes it.
long reports = 0;
} // namespace

void conf_report(const char *text)
{
    ++reports;
    std::fputs(text, stderr);
}

void conf_reportf(const char *format, ...)
{
    ++reports;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

long conf_report_count()
{
    return reports;
}
