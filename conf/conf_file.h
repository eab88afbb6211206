// conf.txt: comments, settings «key = value | extra» and the keyword table.
#pragma once

#include "conf/value_handlers.h"
#include "gesture/gesture_context.h"

struct conf_keyword {
    const char *key; // matched ignoring ASCII letter case
    value_handler handler;
};

// The 64 keywords in table order; the first matching row wins.
extern const conf_keyword conf_keywords[];
extern const int CONF_KEYWORD_COUNT;

// Reads the file named by conf_path and applies every setting in file order.
// Nothing is reset first but the exclude lines and the program blocks, which
// each load brings anew.
// A missing (or null) path prints "unable to find conf.txt" and changes
// nothing.
void load_conf(gesture_context *context);

// Applies one trimmed, non-empty, non-comment line. A line whose split cannot
// be allocated is skipped after the allocator's message.
void parse_conf_line(char *line, int line_number, gesture_context *context);
