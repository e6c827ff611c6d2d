/* The keyboard pad's fixed key table and the word of held buttons it gives,
 * apart from the entry points so that the table and the bit arithmetic can
 * be checked against a made-up keyboard, without real keys. */
#ifndef PADKEYS_LOGIC_H
#define PADKEYS_LOGIC_H

#include <windows.h>
#include <stdint.h>

/* Asks for the state of one virtual key: GetAsyncKeyState in the plugin. */
typedef SHORT (WINAPI *KeyStateFn)(int virtualKey);

/* The word of buttons whose keys are down at this moment (bit i set while
   the key of button i is held). Only the "down now" bit (the sign bit) of
   each answer counts; whether the key went down since the last question
   does not. Buttons without a key are not asked about. */
uint16_t PadKeysPressed(KeyStateFn keyState);

#endif
