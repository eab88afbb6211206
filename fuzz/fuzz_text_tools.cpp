// trim_chars, count_words, get_first_word and str_to_word_tab on arbitrary
// texts and sets, against the same rules written with std::string.
#include "conf/text_tools.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

std::vector<std::string> words_of(const std::string &text, const std::string &set)
{
    std::vector<std::string> words;
    std::size_t start = text.find_first_not_of(set);
    while (start != std::string::npos) {
        std::size_t end = text.find_first_of(set, start);
        words.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(set, end);
    }
    return words;
}

std::string trimmed(const std::string &text, const std::string &set)
{
    std::size_t start = text.find_first_not_of(set);
    if (start == std::string::npos)
        return "";
    return text.substr(start, text.find_last_not_of(set) - start + 1);
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string set = input.ConsumeRandomLengthString(8);
    std::string text = input.ConsumeRemainingBytesAsString();
    // The routines see zero-terminated texts.
    set = set.c_str();
    text = text.c_str();

    std::vector<std::string> want = words_of(text, set);
    check(count_words(set.c_str(), text.c_str()) == static_cast<int>(want.size()));
    char **table = str_to_word_tab(set.c_str(), text.c_str());
    check(table != nullptr);
    for (std::size_t i = 0; i < want.size(); ++i)
        check(table[i] != nullptr && want[i] == table[i]);
    check(table[want.size()] == nullptr);
    free_word_tab(table);

    char *first = get_first_word(set.c_str(), text.c_str());
    check(first != nullptr && text.substr(0, text.find_first_of(set)) == first);
    std::free(first);

    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    check(trim_chars(buffer.data(), set.c_str()) == 1);
    check(trimmed(text, set) == buffer.data());
    check(trim_chars(nullptr, set.c_str()) == 0);
    return 0;
}
