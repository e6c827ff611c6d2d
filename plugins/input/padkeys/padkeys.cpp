/* padkeys: a digital pad on port 1 played on the keyboard. */
#include <windows.h>
#include <string.h>

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

/* The emulator's report buffer from the last init-header; null before. */
static uint8_t *Report;

extern "C" {

int32_t KOVA_CALL JOY0_Open(HostServices *)
{
    return 0;
}

void KOVA_CALL JOY0_Close(void)
{
}

void KOVA_CALL JOY0_Vibrate(void)
{
}

int32_t KOVA_CALL JOY0_InitHeader(uint8_t *report)
{
    Report = report;
    return PadWriteHeader(report, PAD_ID_DIGITAL);
}

void KOVA_CALL JOY0_Poll(void)
{
    /* The keys are read afresh at every poll, whichever window has the
       focus; before any init-header there is no buffer to write to. */
    if (Report)
        PadWriteButtons(Report, PadKeysPressed(GetAsyncKeyState));
}

int32_t KOVA_CALL JOY0_Configure(HostServices *host)
{
    MessageBoxA(host ? host->mainWindow : NULL, "This plugin doesn't require configuration",
                "PadKeys Config", MB_OK);
    return 0;
}

void KOVA_CALL JOY0_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
