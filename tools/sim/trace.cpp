#include "tools/sim/trace.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace
{

// A whole-text decimal integer within [low, high].
bool parse_int(const std::string &text, long long low, long long high, long long *value)
{
    if (text.empty())
        return false;
    const char *begin = text.c_str();
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(begin, &end, 10);
    if (errno != 0 || end != begin + text.size() || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool parse_state(const std::string &text, std::int16_t *state)
{
    long long value = 0;
    if (!parse_int(text, INT16_MIN, INT16_MAX, &value))
        return false;
    *state = static_cast<std::int16_t>(value);
    return true;
}

bool parse_keys(const std::string &text, trace_cycle *cycle)
{
    if (text.find(':') == std::string::npos) {
        cycle->per_key = false;
        return parse_state(text, &cycle->all_keys);
    }
    cycle->per_key = true;
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        std::size_t colon = item.find(':');
        long long code = 0;
        trace_key key{};
        if (colon == std::string::npos ||
            !parse_int(item.substr(0, colon), INT32_MIN, INT32_MAX, &code) ||
            !parse_state(item.substr(colon + 1), &key.state))
            return false;
        key.code = static_cast<std::int32_t>(code);
        cycle->keys.push_back(key);
    }
    return !cycle->keys.empty() && text.back() != ',';
}

} // namespace

trace_line_kind parse_trace_line(const std::string &line, trace_cycle *cycle)
{
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string field; words >> field;)
        fields.push_back(field);
    if (fields.empty() || fields[0][0] == '#')
        return trace_skip;
    if (fields.size() == 1 && fields[0] == "reload")
        return trace_reload;

    *cycle = trace_cycle{};
    if (!parse_keys(fields[0], cycle))
        return trace_malformed;
    if (fields.size() == 2 && fields[1] == "-") {
        cycle->readable = false;
        return trace_cycle_line;
    }
    long long x = 0;
    long long y = 0;
    if (fields.size() != 3 || !parse_int(fields[1], INT32_MIN, INT32_MAX, &x) ||
        !parse_int(fields[2], INT32_MIN, INT32_MAX, &y))
        return trace_malformed;
    cycle->x = static_cast<std::int32_t>(x);
    cycle->y = static_cast<std::int32_t>(y);
    return trace_cycle_line;
}
