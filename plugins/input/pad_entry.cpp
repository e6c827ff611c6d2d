/* The pad entry points of both ports, once for every pad plugin: each
 * forwards to the plugin's record kPadPlugin (pad_entry.h). */
#include "pad_entry.h"

#include <windows.h>
#include <string.h>

/* The emulator's report buffer of each port from the last init-header;
   null before. A library serves one port, so one of the two is used. */
static uint8_t *Report[2];

static int32_t Open(HostServices *host, int port)
{
    return kPadPlugin.open ? kPadPlugin.open(host, port) : 0;
}

static void Close(int port)
{
    if (kPadPlugin.close)
        kPadPlugin.close(port);
}

static int32_t InitHeader(uint8_t *report, int port)
{
    Report[port] = report;
    return kPadPlugin.writeHeader(report);
}

static void Poll(int port)
{
    if (Report[port])
        kPadPlugin.poll(Report[port], port);
}

static int32_t Configure(HostServices *host, int port)
{
    if (kPadPlugin.configure)
        kPadPlugin.configure(host, port);
    else
        MessageBoxA(host ? host->mainWindow : NULL, kPadPlugin.noteText, kPadPlugin.noteCaption, MB_OK);
    return 0;
}

static void About(PluginInfo *info, int port)
{
    if (kPadPlugin.info[port])
        memcpy(info, kPadPlugin.info[port], sizeof *info);
}

#define PAD_ENTRY_DEFINITIONS(prefix, port)                                                        \
    int32_t KOVA_CALL prefix##_Open(HostServices *host) { return Open(host, port); }               \
    void KOVA_CALL prefix##_Close(void) { Close(port); }                                           \
    void KOVA_CALL prefix##_Vibrate(void) {}                                                       \
    void KOVA_CALL prefix##_Poll(void) { Poll(port); }                                             \
    int32_t KOVA_CALL prefix##_InitHeader(uint8_t *report) { return InitHeader(report, port); }    \
    int32_t KOVA_CALL prefix##_Configure(HostServices *host) { return Configure(host, port); }     \
    void KOVA_CALL prefix##_About(PluginInfo *info) { About(info, port); }

extern "C" {
PAD_ENTRY_DEFINITIONS(JOY0, 0)
PAD_ENTRY_DEFINITIONS(JOY1, 1)
}
