#include "gesture/launcher.h"

#include "gesture/keys_action.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace
{

// Indexed by gesture_kind.
constexpr const char *labels[GESTURE_KIND_COUNT] = {
    "haut\n",           "bas\n",   "droite\n",           "haut droite\n", "bas droite\n",
    "trait vertical\n", "autre\n", "trait horizontal\n", "haut gauche\n", "bas gauche\n",
    "gauche\n",
};

// Tells `told` the lines just printed for a bound gesture.
void tell_launch(outcome_handler told, const char *label, const char *program)
{
    if (told == nullptr)
        return;
    char text[OUTCOME_TEXT_SIZE];
    std::snprintf(text, sizeof text, "%s -> %s\n", label, program);
    told(text);
}

// Starts the binding's program, or presses its keys. True when keys were
// sent.
bool act(const char *program, const char *parameters)
{
    if (!is_keys_binding(program)) {
        plat_shell_open(program, parameters);
        return false;
    }
    // Checked at load: a binding that does not parse was never stored.
    key_sequence sequence;
    const char *unknown = nullptr;
    std::size_t length = 0;
    if (parse_keys(program, &sequence, &unknown, &length) == keys_ok)
        send_keys(&sequence);
    return true;
}

} // namespace

const char *gesture_label(gesture_kind kind)
{
    if (kind < 0 || kind >= GESTURE_KIND_COUNT)
        return nullptr;
    return labels[kind];
}

bool launch_action(gesture_kind kind, gesture_context *context, outcome_handler told)
{
    const char *label = gesture_label(kind);
    if (label == nullptr)
        return false;
    std::fputs(label, stdout);

    // Copy the pair under the lock and use the copies after it, so a reload
    // never waits on the output or on a slow shell.
    plat_lock_slots();
    // A block of the program in front at the press overrides the kinds it
    // binds.
    int block = find_program_block(context, &context->pressed_over);
    const action_slot &slot = block >= 0 && context->blocks[block].slots[kind].program != nullptr
                                  ? context->blocks[block].slots[kind]
                                  : context->slots[kind];
    if (slot.program == nullptr) {
        plat_unlock_slots();
        if (told != nullptr)
            told(label);
        return false;
    }
    const char *parameters = slot.parameters != nullptr ? slot.parameters : "";
    char *program_copy = copy_text(slot.program);
    char *parameters_copy = copy_text(parameters);
    bool keys = false;
    if (program_copy != nullptr && parameters_copy != nullptr) {
        plat_unlock_slots();
        std::printf(" -> %s\n", program_copy);
        tell_launch(told, label, program_copy);
        keys = act(program_copy, parameters_copy);
    } else {
        // Out of memory: launch from the slot itself, holding the lock.
        std::printf(" -> %s\n", slot.program);
        tell_launch(told, label, slot.program);
        keys = act(slot.program, parameters);
        plat_unlock_slots();
    }
    std::free(program_copy);
    std::free(parameters_copy);
    return keys;
}
