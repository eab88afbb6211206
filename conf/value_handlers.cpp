#include "conf/value_handlers.h"

#include "conf/diagnostics.h"
#include "gesture/keys_action.h"
#include "platform/platform.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

int hex_digit(char c)
{
    if (is_digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char *copy_or_null(const char *text, bool &failed)
{
    if (text == nullptr)
        return nullptr;
    char *copy = copy_text(text);
    if (copy == nullptr)
        failed = true;
    return copy;
}

} // namespace

std::int32_t read_decimal(const char *text)
{
    while (is_space(*text))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    // Accumulate the magnitude in 64 bits and stop growing once it is past the
    // 32-bit range, so no digit count can overflow.
    std::int64_t magnitude = 0;
    for (; is_digit(*text); ++text)
        if (magnitude <= INT32_MAX)
            magnitude = magnitude * 10 + (*text - '0');
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::int32_t parse_hex(const char *text)
{
    std::uint32_t bits = 0;
    for (const char *p = text; *p != '\0'; ++p) {
        int digit = hex_digit(*p);
        if (digit < 0) {
            conf_reportf("invalid hexadecimal value : %s\n", text);
            // A malformed key is a failure: do not report success.
            plat_exit(1);
        }
        bits = (bits << 4) | static_cast<std::uint32_t>(digit);
    }
    std::int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void set_precision(const char *value, const char *extra, gesture_context *context)
{
    if (extra != nullptr)
        conf_report("warning : too much parameter for precision definition\n");
    std::int32_t p = read_decimal(value != nullptr ? value : "");
    if (p == 0) {
        conf_report("imposible to have a precision of zero\n");
        conf_reportf_more("   it'll be set to default value : %d\n", DEFAULT_PRECISION);
        p = DEFAULT_PRECISION;
    }
    if (p >= 1000) {
        conf_report("it'll be impossible to use me with a precison higher or equal to 1000\n");
        conf_reportf_more("   i restore it to default value : %d\n", DEFAULT_PRECISION);
        p = DEFAULT_PRECISION;
    } else if (p > 200) {
        conf_reportf("it'll be hard to use me with a precison of %d\n", p);
        conf_reportf_more("   i let it but i advice you to restore it to default value : %d\n",
                          DEFAULT_PRECISION);
    }
    context->precision.store(p);
}

void set_key(const char *value, const char *extra, gesture_context *context)
{
    if (extra != nullptr)
        conf_report("warning : too much parameter for key definition\n");
    if (value == nullptr)
        value = "";
    std::int32_t k;
    if (value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        k = parse_hex(value + 2);
    } else {
        k = read_decimal(value);
        if (k == 0 && value[0] != '0') {
            conf_reportf("unknown key value %s, key value must be integer, restore to ctrl key\n",
                         value);
            k = DEFAULT_CAPTURE_KEY;
        }
    }
    context->key_code.store(k);
}

void set_trail(const char *value, const char *extra, gesture_context *context)
{
    if (extra != nullptr)
        conf_report("warning : too much parameter for trail definition\n");
    if (value == nullptr)
        value = "";
    std::int32_t t = read_decimal(value);
    if (t == 0 && value[0] != '0')
        conf_reportf("unknown trail value %s, trail value must be integer, restore to no trail\n",
                     value);
    context->trail = t == 1;
}

void set_exclude(const char *value, const char *extra, gesture_context *context)
{
    if (extra != nullptr)
        conf_report("warning : too much parameter for exclude definition\n");
    if (value == nullptr || value[0] == '\0') {
        conf_report("warning : empty exclude definition, line ignored\n");
        return;
    }
    if (context->excluded_count == MAX_EXCLUDED) {
        if (context->excluded_dropped++ == 0)
            conf_reportf("warning : more than %d exclude lines, the rest is ignored\n",
                         MAX_EXCLUDED);
        return;
    }
    char *name = copy_text(value);
    if (name == nullptr) {
        conf_report("set_exclude : error malloc\n");
        return;
    }
    plat_lock_slots();
    context->excluded[context->excluded_count++] = name;
    plat_unlock_slots();
}

void clear_excluded(gesture_context *context)
{
    plat_lock_slots();
    int count = context->excluded_count;
    context->excluded_count = 0;
    plat_unlock_slots();
    for (int i = 0; i < count; ++i) {
        std::free(context->excluded[i]);
        context->excluded[i] = nullptr;
    }
    context->excluded_dropped = 0;
}

namespace
{

// Replaces the pair of `slot` with copies of program and parameters.
void store_pair(action_slot &slot, const char *program, const char *parameters)
{
    bool failed = false;
    char *new_program = copy_or_null(program, failed);
    char *new_parameters = copy_or_null(parameters, failed);
    if (failed) {
        conf_report("set_action : error malloc\n");
        std::free(new_program);
        std::free(new_parameters);
        new_program = nullptr;
        new_parameters = nullptr;
    }
    char *old_program;
    char *old_parameters;
    plat_lock_slots();
    old_program = slot.program;
    old_parameters = slot.parameters;
    slot.program = new_program;
    slot.parameters = new_parameters;
    plat_unlock_slots();
    // The launcher copies under the lock, so nobody holds the old pair now.
    std::free(old_program);
    std::free(old_parameters);
}

} // namespace

void store_action(gesture_kind kind, const char *program, const char *parameters,
                  gesture_context *context)
{
    store_pair(context->slots[kind], program, parameters);
}

void set_program(const char *value, const char *extra, gesture_context *context)
{
    if (extra != nullptr)
        conf_report("warning : too much parameter for program definition\n");
    if (value == nullptr || value[0] == '\0') {
        conf_report("warning : empty program definition, line ignored\n");
        return;
    }
    bool adds_to_block = context->program_line_before;
    context->program_line_before = true;
    if (value[0] == '*' && value[1] == '\0') {
        context->loading_block = EVERY_PROGRAM;
        context->program_line_before = false;
        return;
    }
    if (!adds_to_block) {
        context->block_names_dropped = false;
        if (context->block_count == MAX_PROGRAM_BLOCKS) {
            if (context->blocks_dropped++ == 0)
                conf_reportf("warning : more than %d program blocks, the rest is ignored\n",
                             MAX_PROGRAM_BLOCKS);
            context->loading_block = DROPPED_BLOCK;
            return;
        }
        context->loading_block = context->block_count;
        plat_lock_slots();
        ++context->block_count;
        plat_unlock_slots();
    }
    if (context->loading_block == DROPPED_BLOCK)
        return;
    program_block &block = context->blocks[context->loading_block];
    if (block.name_count == MAX_BLOCK_NAMES) {
        if (!context->block_names_dropped)
            conf_reportf("warning : more than %d names in one program block, the rest is ignored\n",
                         MAX_BLOCK_NAMES);
        context->block_names_dropped = true;
        return;
    }
    char *name = copy_text(value);
    if (name == nullptr) {
        conf_report("set_program : error malloc\n");
        return;
    }
    plat_lock_slots();
    block.names[block.name_count++] = name;
    plat_unlock_slots();
}

void clear_blocks(gesture_context *context)
{
    plat_lock_slots();
    int count = context->block_count;
    context->block_count = 0;
    plat_unlock_slots();
    for (int b = 0; b < count; ++b) {
        program_block &block = context->blocks[b];
        for (int i = 0; i < block.name_count; ++i)
            std::free(block.names[i]);
        for (action_slot &slot : block.slots) {
            std::free(slot.program);
            std::free(slot.parameters);
        }
        block = program_block{};
    }
    context->loading_block = EVERY_PROGRAM;
    context->program_line_before = false;
    context->blocks_dropped = 0;
    context->block_names_dropped = false;
}

void bind_action(gesture_kind kind, const char *program, const char *parameters,
                 gesture_context *context)
{
    if (is_keys_binding(program)) {
        if (parameters != nullptr)
            conf_report("warning : too much parameter for keys definition\n");
        parameters = nullptr;
        key_sequence sequence;
        const char *name = nullptr;
        std::size_t length = 0;
        switch (parse_keys(program, &sequence, &name, &length)) {
        case keys_ok:
            break;
        case keys_empty:
            conf_report("warning : empty keys definition, binding ignored\n");
            program = nullptr;
            break;
        case keys_unknown_name:
            conf_reportf("unknown key name %.*s in keys definition, binding ignored\n",
                         static_cast<int>(length), name);
            program = nullptr;
            break;
        case keys_too_many_chords:
            conf_reportf("warning : more than %d chords in keys definition, binding ignored\n",
                         MAX_KEY_CHORDS);
            program = nullptr;
            break;
        case keys_too_many_names:
            conf_reportf("warning : more than %d key names in keys definition, binding ignored\n",
                         MAX_KEY_NAMES);
            program = nullptr;
            break;
        }
    }
    if (context->loading_block == DROPPED_BLOCK)
        return;
    store_pair(context->loading_block == EVERY_PROGRAM
                   ? context->slots[kind]
                   : context->blocks[context->loading_block].slots[kind],
               program, parameters);
}
