/* padidle: a digital pad on port 1 on which nothing is ever pressed. */
#include <windows.h>
#include <string.h>

#include "kova_plugin.h"
#include "pad_entry.h"
#include "pad_report.h"

static const PluginInfo kInfo = {
    PLUGIN_JOY0, 0, 1, 0,
    "Tovrin",
    "PadIdle",
    "This Plugin simply emulates digital gamepad.\r\nNO DirectX required.",
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
    /* Before any init-header there is no buffer to write to. */
    if (Report)
        PadWriteButtons(Report, 0);
}

int32_t KOVA_CALL JOY0_Configure(HostServices *host)
{
    MessageBoxA(host ? host->mainWindow : NULL, "This plugin doesn't require configuration", "PadIdle Config", MB_OK);
    return 0;
}

void KOVA_CALL JOY0_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
