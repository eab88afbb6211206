#include "conf/text_tools.h"

#include "conf/diagnostics.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

bool in_set(char c, const char *set)
{
    return c != '\0' && std::strchr(set, c) != nullptr;
}

const char *skip_separators(const char *set, const char *text)
{
    while (in_set(*text, set))
        ++text;
    return text;
}

const char *skip_word(const char *set, const char *text)
{
    while (*text != '\0' && !in_set(*text, set))
        ++text;
    return text;
}

} // namespace

int trim_chars(char *text, const char *set)
{
    if (text == nullptr)
        return 0;
    std::size_t lead = 0;
    while (in_set(text[lead], set))
        ++lead;
    std::size_t len = std::strlen(text + lead);
    std::memmove(text, text + lead, len + 1);
    while (len > 0 && in_set(text[len - 1], set))
        --len;
    text[len] = '\0';
    return 1;
}

int count_words(const char *set, const char *text)
{
    int count = 0;
    for (text = skip_separators(set, text); *text != '\0'; text = skip_separators(set, text)) {
        ++count;
        text = skip_word(set, text);
    }
    return count;
}

char *get_first_word(const char *set, const char *text)
{
    std::size_t len = static_cast<std::size_t>(skip_word(set, text) - text);
    char *word = static_cast<char *>(plat_malloc(len + 1));
    if (word == nullptr) {
        conf_report("get_first_word : error malloc\n");
        return nullptr;
    }
    std::memcpy(word, text, len);
    word[len] = '\0';
    return word;
}

char **str_to_word_tab(const char *set, const char *text)
{
    std::size_t count = static_cast<std::size_t>(count_words(set, text));
    char **table = static_cast<char **>(plat_malloc((count + 1) * sizeof(char *)));
    if (table == nullptr) {
        conf_report("str_to_word_tab : error malloc\n");
        return nullptr;
    }
    std::size_t n = 0;
    for (text = skip_separators(set, text); *text != '\0'; text = skip_separators(set, text)) {
        table[n] = get_first_word(set, text);
        if (table[n] == nullptr)
            return table;
        ++n;
        text = skip_word(set, text);
    }
    table[n] = nullptr;
    return table;
}

int free_word_tab(char **table)
{
    for (char **entry = table; *entry != nullptr; ++entry)
        std::free(*entry);
    std::free(table);
    return 1;
}

std::size_t whole_chars(const char *text, std::size_t limit, unsigned (*char_size)(unsigned char))
{
    std::size_t whole = 0;
    while (whole < limit) {
        std::size_t next = whole + char_size(static_cast<unsigned char>(text[whole]));
        if (next > limit)
            break;
        whole = next;
    }
    return whole;
}
