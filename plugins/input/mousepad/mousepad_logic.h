/* The mouse report from a DirectInput mouse state, apart from the device so
 * that the arithmetic can be checked with made-up states. */
#ifndef MOUSEPAD_LOGIC_H
#define MOUSEPAD_LOGIC_H

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0500
#endif
#include <dinput.h>
#include <stdint.h>

/* Bytes 4 to 6 from the state: the first two buttons (left, right) and the
   relative motion as DirectInput reports it (X to the right, Y downwards),
   unscaled, clamped. The wheel and further buttons are not reported. */
void MouseWriteState(uint8_t *report, const DIMOUSESTATE &state);

/* A mouse at rest: no buttons, no motion. */
void MouseWriteNeutral(uint8_t *report);

#endif
