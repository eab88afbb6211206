#include "conf/value_handlers.h"
#include "gesture/launcher.h"
#include "platform/stand_in/stand_in.h"
#include "support/capture_output.h"

#include <gtest/gtest.h>

namespace
{

struct label_case {
    gesture_kind kind;
    const char *label;
};

const label_case labels[] = {
    {right, "droite\n"},
    {up, "haut\n"},
    {down, "bas\n"},
    {up_right, "haut droite\n"},
    {down_right, "bas droite\n"},
    {vertical, "trait vertical\n"},
    {other, "autre\n"},
    {left, "gauche\n"},
    {down_left, "bas gauche\n"},
    {up_left, "haut gauche\n"},
    {horizontal, "trait horizontal\n"},
};

class launcher : public testing::TestWithParam<label_case>
{
  protected:
    void SetUp() override { stand_in_reset(); }
};

TEST_P(launcher, unbound_kind_prints_only_its_label)
{
    test_context context;
    captured_output io = capture_output([&] { launch_action(GetParam().kind, context.get()); });
    EXPECT_EQ(io.out, GetParam().label);
    EXPECT_EQ(io.err, "");
    EXPECT_TRUE(stand_in_shell_calls().empty());
}

TEST_P(launcher, bound_kind_uses_its_own_slot)
{
    test_context context;
    // Bind every slot to a distinct program, so a wrong index shows.
    for (int k = 0; k < GESTURE_KIND_COUNT; ++k) {
        std::string program = "prog" + std::to_string(k) + ".exe";
        std::string parameters = "arg " + std::to_string(k);
        store_action(static_cast<gesture_kind>(k), program.c_str(), parameters.c_str(),
                     context.get());
    }
    const int k = GetParam().kind;
    captured_output io = capture_output([&] { launch_action(GetParam().kind, context.get()); });
    EXPECT_EQ(io.out, std::string(GetParam().label) + " -> prog" + std::to_string(k) + ".exe\n");
    auto calls = stand_in_shell_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, "prog" + std::to_string(k) + ".exe");
    EXPECT_EQ(calls[0].parameters, "arg " + std::to_string(k));
}

INSTANTIATE_TEST_SUITE_P(kinds, launcher, testing::ValuesIn(labels));

struct slot_case {
    const char *program;
    const char *parameters;
    const char *out;
    const char *shell_parameters;
};

class launcher_slot : public testing::TestWithParam<slot_case>
{
  protected:
    void SetUp() override { stand_in_reset(); }
};

TEST_P(launcher_slot, passes_the_pair_to_the_shell)
{
    const slot_case &c = GetParam();
    test_context context;
    store_action(up, c.program, c.parameters, context.get());
    captured_output io = capture_output([&] { launch_action(up, context.get()); });
    EXPECT_EQ(io.out, c.out);
    auto calls = stand_in_shell_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, c.program);
    EXPECT_EQ(calls[0].parameters, c.shell_parameters);
}

INSTANTIATE_TEST_SUITE_P(
    slots, launcher_slot,
    testing::Values(slot_case{"notepad.exe", nullptr, "haut\n -> notepad.exe\n", ""},
                    slot_case{"notepad.exe", "readme.txt", "haut\n -> notepad.exe\n", "readme.txt"},
                    slot_case{"", "x", "haut\n -> \n", "x"},
                    slot_case{"C:\\Program Files\\a b.exe", "%s %d",
                              "haut\n -> C:\\Program Files\\a b.exe\n", "%s %d"}));

TEST(launcher_labels, no_gesture_has_no_label)
{
    EXPECT_EQ(gesture_label(no_gesture), nullptr);
}

// A reload that rebinds the slot while the shell call runs must not touch the
// strings the shell was given.
TEST(launcher_reload, shell_gets_copies_that_outlive_a_rebind)
{
    stand_in_reset();
    test_context context;
    store_action(left, "first.exe", "one", context.get());
    struct rebind {
        gesture_context *context;
        std::string seen;
    } state{context.get(), {}};
    stand_in_on_shell(
        [](const char *program, const char *parameters, void *user) {
            auto *s = static_cast<rebind *>(user);
            store_action(left, "second.exe", "two", s->context);
            s->seen = std::string(program) + "|" + parameters;
        },
        &state);
    capture_output([&] { launch_action(left, context.get()); });
    EXPECT_EQ(state.seen, "first.exe|one");
    EXPECT_STREQ(context->slots[left].program, "second.exe");
    stand_in_reset();
}

} // namespace
