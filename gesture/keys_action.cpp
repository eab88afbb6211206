#include "gesture/keys_action.h"

#include "platform/platform.h"

#include <cstring>

namespace
{

constexpr char PREFIX[] = "keys:";
constexpr std::size_t PREFIX_LENGTH = sizeof PREFIX - 1;

struct named_key {
    const char *name;
    key_id key;
};

// The keys not named by rule; the first name of each key is how it is
// written back.
constexpr named_key NAMED_KEYS[] = {
    {"ctrl", kb_ctrl},
    {"lctrl", kb_ctrl},
    {"rctrl", kb_rctrl},
    {"alt", kb_alt},
    {"lalt", kb_alt},
    {"ralt", kb_ralt},
    {"shift", kb_shift},
    {"lshift", kb_shift},
    {"rshift", kb_rshift},
    {"win", kb_win},
    {"lwin", kb_win},
    {"super", kb_win},
    {"lsuper", kb_win},
    {"rwin", kb_rwin},
    {"rsuper", kb_rwin},
    {"left", kb_left},
    {"right", kb_right},
    {"up", kb_up},
    {"down", kb_down},
    {"home", kb_home},
    {"end", kb_end},
    {"pageup", kb_pageup},
    {"pagedown", kb_pagedown},
    {"insert", kb_insert},
    {"delete", kb_delete},
    {"backspace", kb_backspace},
    {"tab", kb_tab},
    {"enter", kb_enter},
    {"esc", kb_esc},
    {"space", kb_space},
    {"volumeup", kb_volumeup},
    {"volumedown", kb_volumedown},
    {"mute", kb_mute},
    {"playpause", kb_playpause},
    {"nexttrack", kb_nexttrack},
    {"prevtrack", kb_prevtrack},
    {"browserback", kb_browserback},
    {"browserforward", kb_browserforward},
    {"browserrefresh", kb_browserrefresh},
};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

// The key `length` bytes at `name` stand for; false when none.
bool find_key(const char *name, std::size_t length, key_id *key)
{
    // Zero-filled: the name ends where its bytes do.
    char word[16] = {};
    if (length == 0 || length >= sizeof word)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        word[i] = lower(name[i]);
    char first = word[0];
    if (length == 1 && first >= 'a' && first <= 'z') {
        *key = static_cast<key_id>(kb_a + (first - 'a'));
        return true;
    }
    if (length == 1 && first >= '0' && first <= '9') {
        *key = static_cast<key_id>(kb_0 + (first - '0'));
        return true;
    }
    if (first == 'f' && word[1] >= '1' && word[1] <= '9' && length <= 3) {
        int number = word[1] - '0';
        if (length == 3)
            number = word[2] >= '0' && word[2] <= '9' ? number * 10 + (word[2] - '0') : 0;
        if (number >= 1 && number <= 24) {
            *key = static_cast<key_id>(kb_f1 + number - 1);
            return true;
        }
    }
    for (const named_key &entry : NAMED_KEYS)
        if (std::strcmp(entry.name, word) == 0) {
            *key = entry.key;
            return true;
        }
    return false;
}

// Presses the chord, then releases what it pressed in reverse: modifiers
// must not stay down, even when a key of the chord could not be sent.
bool send_chord(const key_id *keys, int count)
{
    int pressed = 0;
    while (pressed < count && plat_send_key(keys[pressed], true) != 0)
        ++pressed;
    bool whole = pressed == count;
    while (pressed > 0)
        whole = plat_send_key(keys[--pressed], false) != 0 && whole;
    return whole;
}

} // namespace

bool is_keys_binding(const char *program)
{
    if (program == nullptr)
        return false;
    for (std::size_t i = 0; i < PREFIX_LENGTH; ++i)
        if (lower(program[i]) != PREFIX[i])
            return false;
    return true;
}

keys_problem parse_keys(const char *binding, key_sequence *sequence, const char **name,
                        std::size_t *name_length)
{
    sequence->chord_count = 0;
    sequence->key_count = 0;
    const char *p = binding + (is_keys_binding(binding) ? PREFIX_LENGTH : 0);
    for (;;) {
        while (blank(*p))
            ++p;
        if (*p == '\0')
            break;
        if (sequence->chord_count == MAX_KEY_CHORDS)
            return keys_too_many_chords;
        const char *chord = p;
        std::size_t chord_length = 0;
        while (chord[chord_length] != '\0' && !blank(chord[chord_length]))
            ++chord_length;
        // Each '+'-separated part; an empty one («ctrl++a») names nothing.
        for (const char *part = chord; part <= chord + chord_length;) {
            std::size_t length = 0;
            while (part + length < chord + chord_length && part[length] != '+')
                ++length;
            key_id key;
            if (!find_key(part, length, &key)) {
                *name = length == 0 ? chord : part;
                *name_length = length == 0 ? chord_length : length;
                return keys_unknown_name;
            }
            if (sequence->key_count == MAX_KEY_NAMES)
                return keys_too_many_names;
            sequence->keys[sequence->key_count++] = key;
            part += length + 1;
        }
        sequence->chord_end[sequence->chord_count++] =
            static_cast<std::uint8_t>(sequence->key_count);
        p = chord + chord_length;
    }
    return sequence->chord_count == 0 ? keys_empty : keys_ok;
}

void write_keys(const key_sequence *sequence, char *out, std::size_t size)
{
    std::size_t used = 0;
    auto put = [&](const char *text) {
        for (; *text != '\0' && used + 1 < size; ++text)
            out[used++] = *text;
    };
    int k = 0;
    for (int c = 0; c < sequence->chord_count; ++c) {
        if (c != 0)
            put(" ");
        for (; k < sequence->chord_end[c]; ++k) {
            key_id key = sequence->keys[k];
            char rule[4] = {};
            if (key >= kb_f1) {
                int number = key - kb_f1 + 1;
                rule[0] = 'f';
                rule[1] = static_cast<char>(number < 10 ? '0' + number : '0' + number / 10);
                rule[2] = static_cast<char>(number < 10 ? '\0' : '0' + number % 10);
            } else if (key >= kb_0) {
                rule[0] = static_cast<char>('0' + (key - kb_0));
            } else if (key >= kb_a) {
                rule[0] = static_cast<char>('a' + (key - kb_a));
            }
            if (k != (c == 0 ? 0 : sequence->chord_end[c - 1]))
                put("+");
            if (rule[0] != '\0') {
                put(rule);
                continue;
            }
            for (const named_key &entry : NAMED_KEYS)
                if (entry.key == key) {
                    put(entry.name);
                    break;
                }
        }
    }
    if (size != 0)
        out[used] = '\0';
}

int send_keys(const key_sequence *sequence)
{
    int begin = 0;
    for (int c = 0; c < sequence->chord_count; ++c) {
        int end = sequence->chord_end[c];
        if (!send_chord(sequence->keys + begin, end - begin))
            return 0;
        begin = end;
    }
    return 1;
}

bool binds_keys(const gesture_context *context)
{
    for (const action_slot &slot : context->slots)
        if (is_keys_binding(slot.program))
            return true;
    for (int b = 0; b < context->block_count; ++b)
        for (const action_slot &slot : context->blocks[b].slots)
            if (is_keys_binding(slot.program))
                return true;
    return false;
}
