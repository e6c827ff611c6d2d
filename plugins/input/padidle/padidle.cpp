/* padidle: a digital pad on port 1 on which nothing is ever pressed. */
#include "kova_plugin.h"
#include "pad_entry.h"
#include "pad_report.h"

static const PluginInfo kInfo = {
    PLUGIN_JOY0, 0, 1, 0,
    "Tovrin",
    "PadIdle",
    "This Plugin simply emulates digital gamepad.\r\nNO DirectX required.",
};

static void Poll(uint8_t *report, int)
{
    PadWriteButtons(report, 0);
}

const PadPlugin kPadPlugin = {
    { &kInfo, NULL }, PadWriteDigitalHeader, NULL, NULL, Poll, NULL,
    "This plugin doesn't require configuration", "PadIdle Config",
};
