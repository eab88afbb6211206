// What a desktop program shows from its tray icon after a load of conf.txt
// that reported problems: a title and a two-line body.
#pragma once

#include "conf/diagnostics.h"

#include <cstddef>

// What a Windows balloon holds, terminator included; Linux fits them too.
constexpr std::size_t CONF_NOTICE_TITLE_SIZE = 64;
constexpr std::size_t CONF_NOTICE_BODY_SIZE = 256;

struct conf_notice {
    char title[CONF_NOTICE_TITLE_SIZE];
    char body[CONF_NOTICE_BODY_SIZE];
};

// "sorvak: conf.txt has N problem(s)", then the first problem and where to
// see them all: `checker` is the checker as the user runs it on this
// platform. False, with nothing written, when the load reported none.
bool make_conf_notice(const conf_load_summary &load, const char *checker, conf_notice *notice);

// make_conf_notice for the latest load: what a program says after it loads.
bool latest_conf_notice(const char *checker, conf_notice *notice);
