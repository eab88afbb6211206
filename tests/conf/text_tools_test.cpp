#include "conf/text_tools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct trim_case {
    std::string text;
    const char *set;
    std::string expected;
};

class trim : public testing::TestWithParam<trim_case>
{
};

TEST_P(trim, removes_set_characters_at_both_ends_only)
{
    std::string buffer = GetParam().text;
    ASSERT_EQ(trim_chars(&buffer[0], GetParam().set), 1);
    EXPECT_EQ(std::string(buffer.c_str()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    cases, trim,
    testing::Values(trim_case{"  prec  ", " ", "prec"}, trim_case{"\t x \t", " \t", "x"},
                    trim_case{"   ", " ", ""}, trim_case{"", " ", ""},
                    trim_case{"  a b  ", "", "  a b  "}, trim_case{"\"x = y\"", " \t\r\"", "x = y"},
                    trim_case{"x\r", " \t\r\"", "x"}, trim_case{"a  b", " ", "a  b"},
                    trim_case{"xxyxx", "x", "y"}));

TEST(trim_null, null_text_is_refused)
{
    EXPECT_EQ(trim_chars(nullptr, " "), 0);
}

struct split_case {
    const char *set;
    const char *text;
    std::vector<std::string> words;
};

class split : public testing::TestWithParam<split_case>
{
};

TEST_P(split, words_are_maximal_runs_outside_the_set)
{
    const split_case &c = GetParam();
    EXPECT_EQ(count_words(c.set, c.text), static_cast<int>(c.words.size()));
    char **table = str_to_word_tab(c.set, c.text);
    ASSERT_NE(table, nullptr);
    std::vector<std::string> words;
    for (char **w = table; *w != nullptr; ++w)
        words.emplace_back(*w);
    EXPECT_EQ(words, c.words);
    EXPECT_EQ(free_word_tab(table), 1);
}

INSTANTIATE_TEST_SUITE_P(cases, split,
                         testing::Values(split_case{"=", "a==b", {"a", "b"}},
                                         split_case{"=", "=b", {"b"}}, split_case{"|", "|", {}},
                                         split_case{"|", " x | y ", {" x ", " y "}},
                                         split_case{"=", "", {}},
                                         split_case{"=", "up = a = b", {"up ", " a ", " b"}},
                                         split_case{" \t", "\ta b\t\tc ", {"a", "b", "c"}},
                                         split_case{"", "whole text", {"whole text"}}));

TEST(first_word, stops_at_the_first_separator)
{
    char *word = get_first_word("|", "abc|def");
    ASSERT_NE(word, nullptr);
    EXPECT_STREQ(word, "abc");
    std::free(word);
    word = get_first_word("|", "|def");
    ASSERT_NE(word, nullptr);
    EXPECT_STREQ(word, "");
    std::free(word);
}

// Code page 932's lead bytes, near enough: a second byte may be '\' (0x5C).
unsigned double_byte_size(unsigned char first)
{
    return (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xFC) ? 2 : 1;
}

TEST(whole_chars, cuts_between_characters_only)
{
    struct {
        const char *text;
        std::size_t limit;
        unsigned (*char_size)(unsigned char);
        std::size_t whole;
    } const cases[] = {
        {"D:\\\x95\x5C", 5, double_byte_size, 5},
        {"D:\\\x95\x5C", 4, double_byte_size, 3},
        {"\x95\x5C\x83\x5C", 3, double_byte_size, 2},
        {"ab", 2, double_byte_size, 2},
        {"caf\xc3\xa9", 4, utf8_char_size, 3},
        {"caf\xc3\xa9", 5, utf8_char_size, 5},
        {"\xe2\x82\xac", 2, utf8_char_size, 0},
        {"\xf0\x9f\x98\x80!", 5, utf8_char_size, 5},
        {"\xf0\x9f\x98\x80!", 4, utf8_char_size, 4},
        {"\xf0\x9f\x98\x80!", 3, utf8_char_size, 0},
        {"\x80\xe9x", 2, utf8_char_size, 1}, // a stray continuation stands alone
        {"", 0, utf8_char_size, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(whole_chars(c.text, c.limit, c.char_size), c.whole) << c.text << " " << c.limit;
}

} // namespace
