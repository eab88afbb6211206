#include "conf/value_handlers.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{

struct number_case {
    const char *value;
    const char *extra;
    std::int32_t stored;
    const char *err;
};

class precision : public testing::TestWithParam<number_case>
{
};

TEST_P(precision, is_checked_then_stored_once)
{
    const number_case &c = GetParam();
    test_context context;
    context->precision.store(123);
    captured_output io = capture_output([&] { set_precision(c.value, c.extra, context.get()); });
    EXPECT_EQ(context->precision.load(), c.stored) << c.value;
    EXPECT_EQ(io.err, c.err) << c.value;
    EXPECT_EQ(io.out, "");
}

const char zero_msg[] = "imposible to have a precision of zero\n"
                        "   it'll be set to default value : 50\n";
const char too_high_msg[] =
    "it'll be impossible to use me with a precison higher or equal to 1000\n"
    "   i restore it to default value : 50\n";

INSTANTIATE_TEST_SUITE_P(
    values, precision,
    testing::Values(
        number_case{"30", nullptr, 30, ""}, number_case{"0", nullptr, 50, zero_msg},
        number_case{"abc", nullptr, 50, zero_msg}, number_case{"", nullptr, 50, zero_msg},
        number_case{nullptr, nullptr, 50, zero_msg}, number_case{"200", nullptr, 200, ""},
        number_case{"201", nullptr, 201,
                    "it'll be hard to use me with a precison of 201\n"
                    "   i let it but i advice you to restore it to default value : 50\n"},
        number_case{"999", nullptr, 999,
                    "it'll be hard to use me with a precison of 999\n"
                    "   i let it but i advice you to restore it to default value : 50\n"},
        number_case{"1000", nullptr, 50, too_high_msg},
        number_case{"5000", nullptr, 50, too_high_msg}, number_case{"-5", nullptr, -5, ""},
        number_case{"12abc", nullptr, 12, ""}, number_case{"  +7", nullptr, 7, ""},
        number_case{"99999999999999999999", nullptr, 50, too_high_msg},
        number_case{"-99999999999999999999", nullptr, INT32_MIN, ""},
        number_case{"30", "40", 30, "warning : too much parameter for precision definition\n"},
        number_case{"30", "", 30, "warning : too much parameter for precision definition\n"}));

class key : public testing::TestWithParam<number_case>
{
};

TEST_P(key, is_decimal_or_hexadecimal)
{
    const number_case &c = GetParam();
    test_context context;
    captured_output io = capture_output([&] { set_key(c.value, c.extra, context.get()); });
    EXPECT_EQ(context->key_code.load(), c.stored) << c.value;
    EXPECT_EQ(io.err, c.err) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    values, key,
    testing::Values(
        number_case{"0", nullptr, 0, ""}, number_case{"16", nullptr, 16, ""},
        number_case{"ctrl", nullptr, 17,
                    "unknown key value ctrl, key value must be integer, restore to ctrl key\n"},
        number_case{nullptr, nullptr, 17,
                    "unknown key value , key value must be integer, restore to ctrl key\n"},
        number_case{"0x11", nullptr, 17, ""}, number_case{"0X1b", nullptr, 27, ""},
        number_case{"0x", nullptr, 0, ""}, number_case{"0xFFFFFFFF", nullptr, -1, ""},
        number_case{"0x7fffffff", nullptr, INT32_MAX, ""},
        number_case{"0x0000000011", nullptr, 17, ""}, number_case{"0x100000012", nullptr, 0x12, ""},
        number_case{"-3", nullptr, -3, ""}, number_case{"99999999999", nullptr, INT32_MAX, ""},
        number_case{"0x10", "x", 16, "warning : too much parameter for key definition\n"}));

class trail : public testing::TestWithParam<number_case>
{
};

// Only 1 shows the trail; a word is reported and switches it off.
TEST_P(trail, is_on_for_one_only)
{
    const number_case &c = GetParam();
    test_context context;
    context->trail = c.stored == 0;
    captured_output io = capture_output([&] { set_trail(c.value, c.extra, context.get()); });
    EXPECT_EQ(context->trail, c.stored == 1) << c.value;
    EXPECT_EQ(io.err, c.err) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    values, trail,
    testing::Values(
        number_case{"1", nullptr, 1, ""}, number_case{"0", nullptr, 0, ""},
        number_case{"2", nullptr, 0, ""}, number_case{"1abc", nullptr, 1, ""},
        number_case{"on", nullptr, 0,
                    "unknown trail value on, trail value must be integer, restore to no trail\n"},
        number_case{nullptr, nullptr, 0,
                    "unknown trail value , trail value must be integer, restore to no trail\n"},
        number_case{"1", "x", 1, "warning : too much parameter for trail definition\n"}));

TEST(key_hex, malformed_digit_ends_the_process_as_a_failure)
{
    test_context context;
    EXPECT_EXIT(set_key("0xG1", nullptr, context.get()), testing::ExitedWithCode(1),
                "^invalid hexadecimal value : G1\n$");
    EXPECT_EXIT(set_key("0x1 2", nullptr, context.get()), testing::ExitedWithCode(1),
                "^invalid hexadecimal value : 1 2\n$");
}

TEST(key_hex, exit_is_observable_through_the_stand_in)
{
    stand_in_reset();
    int seen = -1;
    stand_in_on_exit(
        [](int status, void *user) {
            *static_cast<int *>(user) = status;
            throw status;
        },
        &seen);
    captured_output io = capture_output([&] {
        try {
            parse_hex("12z");
        } catch (int) {
        }
    });
    stand_in_reset();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(io.err, "invalid hexadecimal value : 12z\n");
}

TEST(actions, pair_is_replaced_as_a_whole)
{
    test_context context;
    set_action<up>("notepad.exe", "readme.txt", context.get());
    EXPECT_STREQ(context->slots[up].program, "notepad.exe");
    EXPECT_STREQ(context->slots[up].parameters, "readme.txt");
    set_action<up>("calc.exe", nullptr, context.get());
    EXPECT_STREQ(context->slots[up].program, "calc.exe");
    EXPECT_EQ(context->slots[up].parameters, nullptr);
    set_action<up>(nullptr, nullptr, context.get());
    EXPECT_EQ(context->slots[up].program, nullptr);
    for (int k = 0; k < GESTURE_KIND_COUNT; ++k) {
        if (k != up) {
            EXPECT_EQ(context->slots[k].program, nullptr);
        }
    }
}

} // namespace
