/* The stand-in's CD run: track table, track starts, a few sector reads,
   and the BOOT line of a PlayStation disc's SYSTEM.CNF. */
#include <string.h>

#include "cd_disc.h"
#include "cd_iso9660.h"
#include "kova_str.h"
#include "standin.h"

static const char *const kCdRunNames[] = {
    "CD_Open", "CD_Close", "CD_Read", "CD_Play", "CD_Stop",
    "CD_GetTN", "CD_GetTD", "CD_Wait", "CD_GetSeek",
};

void OpenCd(InstalledPlugin *plugin)
{
    if (!LoadInstalled(plugin, kCdRunNames, dimof(kCdRunNames)))
        return;
    PluginOpenFn open = EntryAs<PluginOpenFn>(plugin, "CD_Open");
    int32_t result = -1;
    if (!Call(plugin, "CD_Open", [&] { result = open(&Host); }))
        return;
    if (result == 0) {
        Say("CD CD_Open -> 0");
        plugin->opened = true;
    } else {
        Fail("CD CD_Open -> %ld (failed)", static_cast<long>(result));
    }
}

static void ShowRead(InstalledPlugin *plugin, CdReadFn read, CdWaitFn wait, uint8_t minute,
                     uint8_t second, uint8_t frame)
{
    const uint8_t msf[3] = { minute, second, frame };
    const uint8_t *image = NULL;
    if (!Call(plugin, "CD_Read", [&] { image = read(msf); }))
        return;
    if (!image) {
        Fail("CD CD_Read %02u:%02u:%02u -> null", minute, second, frame);
        return;
    }
    /* The image is the plugin's memory: reading it may fault too. */
    char header[16], data[64];
    char text[9];
    if (!Call(plugin, "CD_Read", [&] {
            HexBytes(header, sizeof header, image, 4);
            HexBytes(data, sizeof data, image + CD_SECTOR_DATA_OFFSET, 8);
            for (int i = 0; i < 8; i++) {
                uint8_t c = image[CD_SECTOR_DATA_OFFSET + i];
                text[i] = (c >= 32 && c < 127) ? static_cast<char>(c) : '.';
            }
            text[8] = '\0';
        }))
        return;
    Say("CD CD_Read %02u:%02u:%02u -> header %s data %s |%s|", minute, second, frame,
        header, data, text);
    int32_t waited = 0;
    if (!Call(plugin, "CD_Wait", [&] { waited = wait(); }))
        return;
    Say("CD CD_Wait -> %ld", static_cast<long>(waited));
}

/* One CD_GetTD line; name "" prints the track number. */
static void ShowTrackStart(InstalledPlugin *plugin, CdGetTDFn getTD, int32_t track,
                           const char *name)
{
    char label[16];
    if (*name)
        BufSet(label, name);
    else
        BufFormat(label, sizeof label, "%ld", static_cast<long>(track));
    uint8_t td[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    int32_t r = -1;
    if (!Call(plugin, "CD_GetTD", [&] { r = getTD(td, track); }))
        return;
    bool untouched = td[1] == 0xEE && td[2] == 0xEE && td[3] == 0xEE;
    if (r == 0 && untouched)
        Say("CD CD_GetTD %s -> 0 (no address given)", label);
    else if (r == 0)
        Say("CD CD_GetTD %s -> 0 start %02u:%02u:%02u", label, td[1], td[2], td[3]);
    else
        Say("CD CD_GetTD %s -> %ld", label, static_cast<long>(r));
    if (td[0] != 0xEE)
        Fail("CD CD_GetTD changed byte 0");
    if (r != 0 && !untouched)
        Fail("CD CD_GetTD %s -> %ld but wrote the buffer", label, static_cast<long>(r));
}

/* The user data of a sector as CD_Read gives it, for the ISO 9660 reader:
   only from a read that CD_Wait calls good. */
struct CdSectors {
    InstalledPlugin *plugin;
    CdReadFn read;
    CdWaitFn wait;
};

static bool ReadUserData(void *context, int32_t sector, uint8_t data[2048])
{
    CdSectors *cd = static_cast<CdSectors *>(context);
    if (sector < 0 || sector > CD_LAST_FRAME - CD_LEAD_IN_FRAMES)
        return false;
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    const uint8_t *image = NULL;
    int32_t waited = -1;
    if (!Call(cd->plugin, "CD_Read", [&] {
            image = cd->read(msf);
            if (image)
                memcpy(data, image + CD_SECTOR_DATA_OFFSET, CD_SECTOR_DATA_SIZE);
        }))
        return false;
    return image && Call(cd->plugin, "CD_Wait", [&] { waited = cd->wait(); }) && waited == 0;
}

void ExerciseCd(InstalledPlugin *plugin)
{
    if (!plugin->opened)
        return;
    CdGetTNFn getTN = EntryAs<CdGetTNFn>(plugin, "CD_GetTN");
    CdGetTDFn getTD = EntryAs<CdGetTDFn>(plugin, "CD_GetTD");
    CdReadFn read = EntryAs<CdReadFn>(plugin, "CD_Read");
    CdWaitFn wait = EntryAs<CdWaitFn>(plugin, "CD_Wait");
    CdPlayFn play = EntryAs<CdPlayFn>(plugin, "CD_Play");
    CdStopFn stop = EntryAs<CdStopFn>(plugin, "CD_Stop");
    CdGetSeekFn getSeek = EntryAs<CdGetSeekFn>(plugin, "CD_GetSeek");

    /* Byte 0 of these buffers is the caller's: a plugin must leave it. A
       plugin that reports -1 must leave the whole buffer. */
    uint8_t tn[4] = { 0xEE, 0xEE, 0xEE, 0xEE };
    int32_t result = -1;
    if (!Call(plugin, "CD_GetTN", [&] { result = getTN(tn); }))
        return;
    if (result == 0) {
        Say("CD CD_GetTN -> 0 first %u last %u", tn[1], tn[2]);
    } else {
        Say("CD CD_GetTN -> %ld (no track table)", static_cast<long>(result));
        if (tn[1] != 0xEE || tn[2] != 0xEE)
            Fail("CD CD_GetTN -> %ld but wrote the buffer", static_cast<long>(result));
    }
    if (tn[0] != 0xEE)
        Fail("CD CD_GetTN changed byte 0");

    if (result == 0) {
        unsigned first = tn[1], last = tn[2];
        if (last > 99)
            last = 99;
        for (unsigned track = first; track <= last && track > 0; track++)
            ShowTrackStart(plugin, getTD, static_cast<int32_t>(track), "");
    }
    /* Asked also without a track table: where the disc ends. */
    ShowTrackStart(plugin, getTD, CD_TRACK_LEADOUT, "lead-out");

    ShowRead(plugin, read, wait, 0, 2, 0);
    ShowRead(plugin, read, wait, 0, 2, 16);  /* sector 16: the volume descriptor of a data disc */
    ShowRead(plugin, read, wait, 0, 2, 17);
    /* What boots a PlayStation disc; a disc without it gives no line. */
    CdSectors sectors = { plugin, read, wait };
    char boot[256];
    if (ReadBootLine(ReadUserData, &sectors, boot, sizeof boot))
        Say("CD SYSTEM.CNF %s", boot);
    int32_t played = 0, stopped = 0;
    if (Call(plugin, "CD_Play", [&] { played = play(); }))
        Say("CD CD_Play -> %ld", static_cast<long>(played));
    if (Call(plugin, "CD_Stop", [&] { stopped = stop(); }))
        Say("CD CD_Stop -> %ld", static_cast<long>(stopped));
    Call(plugin, "CD_GetSeek", [&] { getSeek(); });
}

void CloseCd(InstalledPlugin *plugin)
{
    if (!plugin->module || plugin->failed)
        return;
    /* A CD plugin is closed also after a failed open. */
    PluginCloseFn close = EntryAs<PluginCloseFn>(plugin, "CD_Close");
    if (!Call(plugin, "CD_Close", [&] { close(); }))
        return;
    Say("CD CD_Close");
    Call(plugin, "DllMain", [&] { FreeLibrary(plugin->module); });
    plugin->module = NULL;
}
