#include "platform/x11/x11_key_table.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace
{

std::vector<unsigned long> keysyms_of(const x11_key &key)
{
    std::vector<unsigned long> found;
    for (unsigned long keysym : key.keysyms)
        if (keysym != 0)
            found.push_back(keysym);
    std::sort(found.begin(), found.end());
    return found;
}

struct keyboard_case {
    std::int32_t virtual_key;
    std::vector<unsigned long> keysyms;
};

class keyboard_keys : public testing::TestWithParam<keyboard_case>
{
};

TEST_P(keyboard_keys, match_their_keysyms_and_no_button)
{
    x11_key key;
    ASSERT_TRUE(find_x11_key(GetParam().virtual_key, &key));
    std::vector<unsigned long> expected = GetParam().keysyms;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keysyms_of(key), expected);
    EXPECT_EQ(key.button, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    codes, keyboard_keys,
    testing::Values(
        // Either side for the generic modifiers, one side for the 0xA0 codes.
        keyboard_case{0x10, {XK_Shift_L, XK_Shift_R}},
        keyboard_case{0x11, {XK_Control_L, XK_Control_R}},
        keyboard_case{0x12, {XK_Alt_L, XK_Alt_R, XK_ISO_Level3_Shift}},
        keyboard_case{0xA0, {XK_Shift_L}}, keyboard_case{0xA1, {XK_Shift_R}},
        keyboard_case{0xA2, {XK_Control_L}}, keyboard_case{0xA3, {XK_Control_R}},
        keyboard_case{0xA4, {XK_Alt_L}}, keyboard_case{0xA5, {XK_Alt_R, XK_ISO_Level3_Shift}},
        // Ranges: both ends and a middle.
        keyboard_case{'A', {XK_a}}, keyboard_case{'M', {XK_m}}, keyboard_case{'Z', {XK_z}},
        keyboard_case{'0', {XK_0}}, keyboard_case{'5', {XK_5}}, keyboard_case{'9', {XK_9}},
        keyboard_case{0x70, {XK_F1}}, keyboard_case{0x7B, {XK_F12}}, keyboard_case{0x87, {XK_F24}},
        keyboard_case{0x60, {XK_KP_0}}, keyboard_case{0x64, {XK_KP_4}},
        keyboard_case{0x69, {XK_KP_9}},
        // Keys with a keypad twin, which must match too.
        keyboard_case{0x0D, {XK_Return, XK_KP_Enter}}, keyboard_case{0x25, {XK_Left, XK_KP_Left}},
        keyboard_case{0x2E, {XK_Delete, XK_KP_Delete}}, keyboard_case{0x5B, {XK_Super_L}}));

struct button_case {
    std::int32_t virtual_key;
    unsigned button;
};

class mouse_buttons : public testing::TestWithParam<button_case>
{
};

TEST_P(mouse_buttons, map_to_pointer_buttons_without_keysyms)
{
    x11_key key;
    ASSERT_TRUE(find_x11_key(GetParam().virtual_key, &key));
    EXPECT_EQ(key.button, GetParam().button);
    EXPECT_TRUE(keysyms_of(key).empty());
}

// Windows numbers left, right, middle; X11 numbers left, middle, right.
INSTANTIATE_TEST_SUITE_P(codes, mouse_buttons,
                         testing::Values(button_case{1, 1}, button_case{2, 3}, button_case{4, 2},
                                         button_case{5, 8}, button_case{6, 9}));

class unmapped_codes : public testing::TestWithParam<std::int32_t>
{
};

TEST_P(unmapped_codes, are_refused)
{
    x11_key key;
    EXPECT_FALSE(find_x11_key(GetParam(), &key));
}

// Holes between the ranges, codes past the table, and values whose low byte
// is a known code.
INSTANTIATE_TEST_SUITE_P(codes, unmapped_codes,
                         testing::Values(0, 3, 7, 0x0A, 0x0C, 0x15, 0x2F, 0x3A, 0x40, 0x5B - 0x80,
                                         0x5E, 0x88, 0x8F, 0x92, 0x9F, 0xA6, 0xFF, 0x100, 0x111,
                                         0x10011, -1, -0x11, INT32_MIN, INT32_MAX));

TEST(key_table, generic_modifiers_cover_exactly_both_sides)
{
    struct pair {
        std::int32_t generic;
        std::int32_t left;
        std::int32_t right;
    };
    for (pair codes : {pair{0x10, 0xA0, 0xA1}, pair{0x11, 0xA2, 0xA3}, pair{0x12, 0xA4, 0xA5}}) {
        x11_key generic;
        x11_key left;
        x11_key right;
        ASSERT_TRUE(find_x11_key(codes.generic, &generic));
        ASSERT_TRUE(find_x11_key(codes.left, &left));
        ASSERT_TRUE(find_x11_key(codes.right, &right));
        std::vector<unsigned long> sides = keysyms_of(left);
        for (unsigned long keysym : keysyms_of(right))
            if (std::find(sides.begin(), sides.end(), keysym) == sides.end())
                sides.push_back(keysym);
        std::sort(sides.begin(), sides.end());
        EXPECT_EQ(keysyms_of(generic), sides) << "code " << codes.generic;
        std::vector<unsigned long> right_keysyms = keysyms_of(right);
        for (unsigned long keysym : keysyms_of(left))
            EXPECT_EQ(std::count(right_keysyms.begin(), right_keysyms.end(), keysym), 0)
                << "code " << codes.left << " shares a keysym with " << codes.right;
    }
}

TEST(key_table, every_known_code_is_a_key_or_a_button_and_range_keys_are_distinct)
{
    std::set<unsigned long> single_keysyms;
    for (std::int32_t code = 0; code < 256; ++code) {
        x11_key key;
        if (!find_x11_key(code, &key))
            continue;
        EXPECT_NE(key.button == 0, keysyms_of(key).empty()) << "code " << code;
        // Letters, digits, function and keypad keys each have a keysym of their own.
        bool own_key = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
                       (code >= 0x60 && code <= 0x69) || (code >= 0x70 && code <= 0x87);
        if (own_key) {
            EXPECT_TRUE(single_keysyms.insert(key.keysyms[0]).second) << "code " << code;
        }
    }
    EXPECT_EQ(single_keysyms.size(), 10u + 26u + 10u + 24u);
}

} // namespace
