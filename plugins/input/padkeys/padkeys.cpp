/* padkeys: a digital pad on port 1 played on the keyboard. */
#include <windows.h>

#include "kova_plugin.h"
#include "pad_entry.h"
#include "pad_report.h"
#include "padkeys_logic.h"

static const PluginInfo kInfo = {
    PLUGIN_JOY0, 0, 1, 0,
    "Tovrin",
    "PadKeys",
    "This Plugin emulates digital gamepad on the keyboard.\r\n\r\nUse:\r\n"
    " Up, Down, Left, Right =  directions\r\n V = Triangle\r\n Z = Circle\r\n C = Square\r\n"
    " X = Cross\r\n ENTER = Start\r\n TAB = Select\r\n Delete = L1\r\n Insert = L2\r\n"
    " PageUp = R1\r\n PageDn = R2\r\n\r\nNO DirectX required.",
};

/* The keys are read afresh at every poll, whichever window has the
   focus. */
static void Poll(uint8_t *report, int)
{
    PadWriteButtons(report, PadKeysPressed(GetAsyncKeyState));
}

const PadPlugin kPadPlugin = {
    { &kInfo, NULL }, PadWriteDigitalHeader, NULL, NULL, Poll, NULL,
    "This plugin doesn't require configuration", "PadKeys Config",
};
