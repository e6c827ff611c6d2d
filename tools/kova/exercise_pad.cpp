/* The stand-in's pad run: init-header, then polls of both ports. With
 * KOVA_STANDIN_LIVE_MS set it keeps polling once per frame and prints every
 * report that changes, so a person can watch keys and mouse arrive. */
#include <string.h>

#include "kova_str.h"
#include "standin.h"

static const char *const kPadRunNames[2][5] = {
    { "JOY0_Open", "JOY0_Close", "JOY0_Poll", "JOY0_InitHeader", "JOY0_Vibrate" },
    { "JOY1_Open", "JOY1_Close", "JOY1_Poll", "JOY1_InitHeader", "JOY1_Vibrate" },
};
static const char *const kPrefix[2] = { "JOY0", "JOY1" };

/* The emulator's report buffers; byte 0 is the emulator's own. */
static uint8_t Reports[2][32];
static int32_t Lengths[2];
/* For the live polls of the frames: each open pad's poll, its plugin and
   the report last shown. */
static PadPollFn Poll[2];
static InstalledPlugin *Pads[2];
static uint8_t Last[2][32];

/* "JOY0_Poll" and so on, for the transcript. */
static const char *EntryName(int port, const char *op)
{
    static char name[32];
    BufFormat(name, sizeof name, "%s_%s", kPrefix[port], op);
    return name;
}

template <typename Fn>
static Fn PadEntry(const InstalledPlugin *plugin, int port, const char *op)
{
    char name[32];
    BufFormat(name, sizeof name, "%s_%s", kPrefix[port], op);
    return EntryAs<Fn>(plugin, name);
}

void OpenPad(InstalledPlugin *plugin, int port)
{
    if (!LoadInstalled(plugin, kPadRunNames[port], dimof(kPadRunNames[port])))
        return;
    PluginOpenFn open = PadEntry<PluginOpenFn>(plugin, port, "Open");
    int32_t result = -1;
    if (!Call(plugin, EntryName(port, "Open"), [&] { result = open(&Host); }))
        return;
    if (result == 0) {
        Say("%s %s_Open -> 0", plugin->family, kPrefix[port]);
        plugin->opened = true;
    } else {
        Fail("%s %s_Open -> %ld (failed)", plugin->family, kPrefix[port],
             static_cast<long>(result));
    }
}

static bool ShowReport(const InstalledPlugin *plugin, int port, const char *what)
{
    char hex[128];
    HexBytes(hex, sizeof hex, Reports[port], static_cast<size_t>(Lengths[port]));
    Say("%s %s report %s", plugin->family, what, hex);
    return true;
}

void ExercisePads(InstalledPlugin *pads[2])
{
    for (int port = 0; port < 2; port++) {
        InstalledPlugin *plugin = pads[port];
        Pads[port] = plugin;
        Poll[port] = NULL;
        if (!plugin->opened)
            continue;
        memset(Reports[port], 0, sizeof Reports[port]);
        Reports[port][0] = 0x42; /* the emulator's command byte: must stay */
        PadInitHeaderFn initHeader =
            PadEntry<PadInitHeaderFn>(plugin, port, "InitHeader");
        int32_t length = 0;
        if (!Call(plugin, EntryName(port, "InitHeader"), [&] { length = initHeader(Reports[port]); }))
            continue;
        if (length < 3 || length > static_cast<int32_t>(sizeof Reports[port])) {
            Fail("%s %s_InitHeader -> %ld (not a report length)", plugin->family, kPrefix[port],
                 static_cast<long>(length));
            continue;
        }
        Lengths[port] = length;
        Say("%s %s_InitHeader -> %ld", plugin->family, kPrefix[port], static_cast<long>(length));
        ShowReport(plugin, port, "after init");
        Poll[port] = PadEntry<PadPollFn>(plugin, port, "Poll");
    }

    for (int i = 0; i < 3; i++) {
        for (int port = 0; port < 2; port++) {
            if (!Poll[port] || !Call(pads[port], EntryName(port, "Poll"), [&] { Poll[port](); }))
                continue;
            ShowReport(pads[port], port, "poll");
            if (Reports[port][0] != 0x42)
                Fail("%s poll changed byte 0", pads[port]->family);
        }
        PumpMessages(20);
    }
}

bool StartLivePads(DWORD liveMs)
{
    if (!Poll[0] && !Poll[1])
        return false;
    Say("live polling for %lu ms", static_cast<unsigned long>(liveMs));
    memcpy(Last, Reports, sizeof Last);
    return true;
}

void PollPadsLive(DWORD elapsedMs)
{
    for (int port = 0; port < 2; port++) {
        if (!Poll[port] || !Call(Pads[port], EntryName(port, "Poll"), [&] { Poll[port](); }))
            continue;
        if (memcmp(Last[port], Reports[port], static_cast<size_t>(Lengths[port])) != 0) {
            char when[32];
            BufFormat(when, sizeof when, "+%lums", static_cast<unsigned long>(elapsedMs));
            ShowReport(Pads[port], port, when);
            memcpy(Last[port], Reports[port], sizeof Last[port]);
        }
    }
}

void ClosePad(InstalledPlugin *plugin, int port)
{
    if (!plugin->module || plugin->failed)
        return;
    if (plugin->opened) {
        PluginCloseFn close = PadEntry<PluginCloseFn>(plugin, port, "Close");
        if (!Call(plugin, EntryName(port, "Close"), [&] { close(); }))
            return;
        Say("%s %s_Close", plugin->family, kPrefix[port]);
    }
    Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
    plugin->module = NULL;
}
