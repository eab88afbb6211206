#include "shell_common/conf_notice.h"

#include "conf/text_tools.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

bool make_conf_notice(const conf_load_summary &load, const char *checker, conf_notice *notice)
{
    if (load.problems <= 0)
        return false;
    std::snprintf(notice->title, sizeof notice->title, "sorvak: conf.txt has %ld problem%s",
                  load.problems, load.problems == 1 ? "" : "s");
    // The way to see them all is never cut: the first problem gives way.
    char advice[CONF_NOTICE_BODY_SIZE];
    std::snprintf(advice, sizeof advice, "\nRun %s to see them all.", checker);
    std::size_t advice_length = std::strlen(advice);
    std::size_t first = std::strlen(load.first);
    if (first > sizeof notice->body - 1 - advice_length)
        first = whole_chars(load.first, sizeof notice->body - 1 - advice_length, plat_char_size);
    std::memcpy(notice->body, load.first, first);
    std::memcpy(notice->body + first, advice, advice_length + 1);
    return true;
}

bool latest_conf_notice(const char *checker, conf_notice *notice)
{
    conf_load_summary load;
    conf_last_load(&load);
    return make_conf_notice(load, checker, notice);
}
