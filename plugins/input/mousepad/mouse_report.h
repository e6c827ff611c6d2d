/* The mouse report from a DirectInput mouse state, apart from the device so
 * that the arithmetic can be checked with made-up states. */
#ifndef MOUSE_REPORT_H
#define MOUSE_REPORT_H

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0500
#endif
#include <dinput.h>

#include "pad_report.h"

/* DirectInput sets bit 7 of a button byte while that button is down. */
#define MOUSE_BUTTON_DOWN 0x80

/* Bytes 4 to 6 from the state: the first two buttons (left, right) and the
   relative motion as DirectInput reports it (X to the right, Y downwards),
   unscaled, clamped. The wheel and further buttons are not reported. */
inline void MouseWriteState(uint8_t *report, const DIMOUSESTATE &state)
{
    PadWriteMouse(report, (state.rgbButtons[0] & MOUSE_BUTTON_DOWN) != 0,
                  (state.rgbButtons[1] & MOUSE_BUTTON_DOWN) != 0, state.lX, state.lY);
}

/* A mouse at rest: no buttons, no motion. */
inline void MouseWriteNeutral(uint8_t *report)
{
    PadWriteMouse(report, false, false, 0, 0);
}

#endif
