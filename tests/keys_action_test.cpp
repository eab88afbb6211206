#include "conf/value_handlers.h"
#include "gesture/keys_action.h"
#include "gesture/launcher.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// What the parser made of `text`: the sequence written back, or the problem.
std::string understood(const char *text)
{
    key_sequence sequence;
    const char *name = nullptr;
    std::size_t length = 0;
    switch (parse_keys(text, &sequence, &name, &length)) {
    case keys_ok: {
        char written[256];
        write_keys(&sequence, written, sizeof written);
        return written;
    }
    case keys_empty:
        return "(empty)";
    case keys_unknown_name:
        return "(unknown " + std::string(name, length) + ")";
    case keys_too_many_chords:
        return "(chords)";
    case keys_too_many_names:
        return "(names)";
    }
    return "(?)";
}

std::string repeated(const char *chord, int times)
{
    std::string text = "keys:";
    for (int i = 0; i < times; ++i)
        text += std::string(" ") + chord;
    return text;
}

struct parse_case {
    std::string text;
    std::string understood;
};

class keys_parse : public testing::TestWithParam<parse_case>
{
};

TEST_P(keys_parse, understands_chords_and_names)
{
    EXPECT_EQ(understood(GetParam().text.c_str()), GetParam().understood) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    texts, keys_parse,
    testing::Values(
        parse_case{"keys: alt+left", "alt+left"}, parse_case{"KEYS:  Ctrl+Shift+T", "ctrl+shift+t"},
        parse_case{"keys:ctrl+a\tctrl+c  ", "ctrl+a ctrl+c"},
        parse_case{"keys: lctrl+rctrl lalt+ralt lshift+rshift", "ctrl+rctrl alt+ralt shift+rshift"},
        parse_case{"keys: super+lsuper+lwin+rsuper+RWIN", "win+win+win+rwin+rwin"},
        parse_case{"keys: F1 f9 f10 f24 z 0 9", "f1 f9 f10 f24 z 0 9"},
        parse_case{"keys: BrowserBack PlayPause", "browserback playpause"},
        parse_case{"keys:", "(empty)"}, parse_case{"keys: \t ", "(empty)"},
        parse_case{"keys: ctrl+foo", "(unknown foo)"}, parse_case{"keys: f25", "(unknown f25)"},
        parse_case{"keys: f0", "(unknown f0)"}, parse_case{"keys: f1x", "(unknown f1x)"},
        parse_case{"keys: ab", "(unknown ab)"}, parse_case{"keys: ctrl++a", "(unknown ctrl++a)"},
        parse_case{"keys: a+", "(unknown a+)"}, parse_case{"keys: +", "(unknown +)"},
        parse_case{"keys: control", "(unknown control)"},
        // The limits themselves, then one past each.
        parse_case{repeated("a", MAX_KEY_CHORDS), repeated("a", MAX_KEY_CHORDS).substr(6)},
        parse_case{repeated("a", MAX_KEY_CHORDS + 1), "(chords)"},
        parse_case{repeated("a+b", MAX_KEY_NAMES / 2),
                   repeated("a+b", MAX_KEY_NAMES / 2).substr(6)},
        parse_case{repeated("a+b+c", 11), "(names)"}));

// Every key reads back as itself, whatever the case of its name.
TEST(keys_names, every_key_round_trips_in_any_case)
{
    for (int id = 0; id < KEY_ID_COUNT; ++id) {
        key_sequence one{1, 1, {1}, {static_cast<key_id>(id)}};
        char name[32];
        write_keys(&one, name, sizeof name);
        std::string upper = name;
        for (char &c : upper)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        for (const std::string &spelling : {std::string(name), upper}) {
            key_sequence back;
            const char *unknown = nullptr;
            std::size_t length = 0;
            ASSERT_EQ(parse_keys(("keys: " + spelling).c_str(), &back, &unknown, &length), keys_ok)
                << spelling;
            EXPECT_EQ(back.keys[0], id) << spelling;
        }
    }
}

TEST(keys_names, only_a_keys_prefix_makes_a_keys_binding)
{
    EXPECT_TRUE(is_keys_binding("Keys:x"));
    EXPECT_FALSE(is_keys_binding("keys"));
    EXPECT_FALSE(is_keys_binding("key: a"));
    EXPECT_FALSE(is_keys_binding(nullptr));
}

struct send_case {
    const char *binding;
    key_id refused;
    std::string sent;
    int whole;
};

class keys_send : public testing::TestWithParam<send_case>
{
  protected:
    void SetUp() override { stand_in_reset(); }
    void TearDown() override { stand_in_reset(); }
};

// Chords are pressed in order and released in reverse, one after the other;
// a key that cannot be sent ends the sequence, with what its chord pressed
// released all the same.
TEST_P(keys_send, releases_in_reverse_whatever_happens)
{
    const send_case &c = GetParam();
    stand_in_refuse_key(c.refused);
    key_sequence sequence;
    const char *name = nullptr;
    std::size_t length = 0;
    ASSERT_EQ(parse_keys(c.binding, &sequence, &name, &length), keys_ok);
    EXPECT_EQ(send_keys(&sequence), c.whole) << c.binding;
    EXPECT_EQ(stand_in_sent_keys(), c.sent) << c.binding;
}

const std::string T = std::to_string(kb_a + 19);
const std::string A = std::to_string(kb_a);
const std::string C = std::to_string(kb_a + 2);

INSTANTIATE_TEST_SUITE_P(
    sequences, keys_send,
    testing::Values(
        send_case{"keys: ctrl+shift+t", KEY_ID_COUNT, "+0 +4 +" + T + " -" + T + " -4 -0", 1},
        send_case{"keys: ctrl+a ctrl+c", KEY_ID_COUNT,
                  "+0 +" + A + " -" + A + " -0 +0 +" + C + " -" + C + " -0", 1},
        send_case{"keys: ctrl+shift+t", static_cast<key_id>(kb_a + 19), "+0 +4 -4 -0", 0},
        send_case{"keys: ctrl+a ctrl+c", kb_a, "+0 -0", 0}));

TEST(keys_launch, prints_the_binding_as_written_and_presses_its_keys)
{
    stand_in_reset();
    test_context context;
    bind_action(left, "keys: Alt+Left", nullptr, context.get());
    captured_output io = capture_output([&] { EXPECT_TRUE(launch_action(left, context.get())); });
    EXPECT_EQ(io.out, "gauche\n -> keys: Alt+Left\n");
    EXPECT_EQ(stand_in_sent_keys(), "+2 +8 -8 -2");
    EXPECT_TRUE(stand_in_shell_calls().empty());
    // A binding that does not parse unbinds its kind.
    capture_output([&] { bind_action(left, "keys: alt+nowhere", nullptr, context.get()); });
    EXPECT_EQ(context->slots[left].program, nullptr);
    EXPECT_FALSE(binds_keys(context.get()));
    // Keys bound in a program block only still need a way to send them.
    set_program("firefox", nullptr, context.get());
    bind_action(left, "keys: browserback", nullptr, context.get());
    EXPECT_TRUE(binds_keys(context.get()));
    stand_in_reset();
}

} // namespace
