#include "platform/linux/key_keysyms.h"

#define XK_MISCELLANY
#define XK_XKB_KEYS
#define XK_LATIN1
#include <X11/XF86keysym.h>
#include <X11/keysymdef.h>

namespace
{

// The keys not named by rule, in key_id order.
constexpr key_keysyms NAMED_KEYS[] = {
    {XK_Control_L, 0},
    {XK_Control_R, 0},
    {XK_Alt_L, XK_Meta_L},
    {XK_Alt_R, XK_ISO_Level3_Shift},
    {XK_Shift_L, 0},
    {XK_Shift_R, 0},
    {XK_Super_L, 0},
    {XK_Super_R, 0},
    {XK_Left, 0},
    {XK_Right, 0},
    {XK_Up, 0},
    {XK_Down, 0},
    {XK_Home, 0},
    {XK_End, 0},
    {XK_Prior, 0},
    {XK_Next, 0},
    {XK_Insert, 0},
    {XK_Delete, 0},
    {XK_BackSpace, 0},
    {XK_Tab, 0},
    {XK_Return, 0},
    {XK_Escape, 0},
    {XK_space, 0},
    {XF86XK_AudioRaiseVolume, 0},
    {XF86XK_AudioLowerVolume, 0},
    {XF86XK_AudioMute, 0},
    {XF86XK_AudioPlay, 0},
    {XF86XK_AudioNext, 0},
    {XF86XK_AudioPrev, 0},
    {XF86XK_Back, 0},
    {XF86XK_Forward, 0},
    {XF86XK_Reload, 0},
};
static_assert(sizeof NAMED_KEYS / sizeof NAMED_KEYS[0] == kb_a, "keysyms for each named key");

} // namespace

key_keysyms keysyms_of(key_id key)
{
    if (key < kb_a)
        return NAMED_KEYS[key];
    if (key < kb_0)
        return {static_cast<unsigned long>(XK_a + (key - kb_a)), 0};
    if (key < kb_f1)
        return {static_cast<unsigned long>(XK_0 + (key - kb_0)), 0};
    return {static_cast<unsigned long>(XK_F1 + (key - kb_f1)), 0};
}
