#include "gesture/launcher.h"

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

} // namespace

const char *gesture_label(gesture_kind kind)
{
    if (kind < 0 || kind >= GESTURE_KIND_COUNT)
        return nullptr;
    return labels[kind];
}

void launch_action(gesture_kind kind, gesture_context *context, outcome_handler told)
{
    const char *label = gesture_label(kind);
    if (label == nullptr)
        return;
    std::fputs(label, stdout);

    // Copy the pair under the lock and use the copies after it, so a reload
    // never waits on the output or on a slow shell.
    plat_lock_slots();
    const action_slot &slot = context->slots[kind];
    if (slot.program == nullptr) {
        plat_unlock_slots();
        if (told != nullptr)
            told(label);
        return;
    }
    const char *parameters = slot.parameters != nullptr ? slot.parameters : "";
    char *program_copy = copy_text(slot.program);
    char *parameters_copy = copy_text(parameters);
    if (program_copy != nullptr && parameters_copy != nullptr) {
        plat_unlock_slots();
        std::printf(" -> %s\n", program_copy);
        tell_launch(told, label, program_copy);
        plat_shell_open(program_copy, parameters_copy);
    } else {
        // Out of memory: launch from the slot itself, holding the lock.
        std::printf(" -> %s\n", slot.program);
        tell_launch(told, label, slot.program);
        plat_shell_open(slot.program, parameters);
        plat_unlock_slots();
    }
    std::free(program_copy);
    std::free(parameters_copy);
}
