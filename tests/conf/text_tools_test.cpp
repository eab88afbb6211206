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

} // namespace
