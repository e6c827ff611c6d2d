#include "padkeys_logic.h"

/* One virtual-key code per button bit: entry i drives bit i of the pressed
   word (0..7 go to report byte 4, 8..15 to byte 3). 0: no key drives the
   bit. Page Up drives R2 and Page Down R1, whatever the About text says. */
static const uint8_t KeyMap[16] = {
    VK_INSERT, /* L2 */
    VK_PRIOR,  /* R2 */
    VK_DELETE, /* L1 */
    VK_NEXT,   /* R1 */
    'V',       /* Triangle */
    'Z',       /* Circle */
    'X',       /* Cross */
    'C',       /* Square */
    VK_TAB,    /* Select */
    0,         /* L3: no key */
    0,         /* R3: no key */
    VK_RETURN, /* Start */
    VK_UP,
    VK_RIGHT,
    VK_DOWN,
    VK_LEFT,
};

uint16_t PadKeysPressed(KeyStateFn keyState)
{
    uint16_t pressed = 0;
    for (unsigned i = 0; i < 16; i++) {
        if (KeyMap[i] && (static_cast<uint16_t>(keyState(KeyMap[i])) & 0x8000u))
            pressed = static_cast<uint16_t>(pressed | (1u << i));
    }
    return pressed;
}
