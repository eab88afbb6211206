// The trace format sorvak-sim reads on its standard input, one line per
// capture cycle: «STATE X Y» or «STATE -», where STATE is the capture key's
// state (every other key up) or «CODE:STATE,CODE:STATE...» for chosen keys;
// «reload»; blank lines and «#» comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct trace_key {
    std::int32_t code;
    std::int16_t state;
};

struct trace_cycle {
    bool per_key = false;
    std::int16_t all_keys = 0; // the capture key's, when !per_key
    std::vector<trace_key> keys;
    bool readable = true; // false for «STATE -»
    std::int32_t x = 0;
    std::int32_t y = 0;
};

enum trace_line_kind { trace_skip, trace_cycle_line, trace_reload, trace_malformed };

// Parses one line (without its line feed; a trailing carriage return is
// allowed). Fills `cycle` for trace_cycle_line.
trace_line_kind parse_trace_line(const std::string &line, trace_cycle *cycle);
