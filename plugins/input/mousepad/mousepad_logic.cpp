#include "mousepad_logic.h"

#include "pad_report.h"

/* DirectInput sets bit 7 of a button byte while that button is down. */
#define MOUSE_BUTTON_DOWN 0x80

void MouseWriteState(uint8_t *report, const DIMOUSESTATE &state)
{
    PadWriteMouse(report, (state.rgbButtons[0] & MOUSE_BUTTON_DOWN) != 0,
                  (state.rgbButtons[1] & MOUSE_BUTTON_DOWN) != 0, state.lX, state.lY);
}

void MouseWriteNeutral(uint8_t *report)
{
    PadWriteMouse(report, false, false, 0, 0);
}
