/* cdimage: reads a PlayStation disc from image files: a CUE sheet with its
 * BIN (and WAVE) files, one per track or one for the disc, a single BIN of
 * raw sectors, or an ISO of 2048-byte sectors. Every sector the emulator
 * asks for is read from its file at that moment, so a 700 MB image costs
 * the host no more memory than one sector.
 *
 * The image comes from "CDIMAGE"/"ImageFile", written by the setup dialog
 * (cdimage_dialog.cpp). The image's format is its reader's business
 * (disc.h): this file knows only "a disc". A read that finds no sector
 * gives zeros under the requested header and raises the read-error status:
 * never the bytes of an earlier sector. */
#include "cdimage.h"

#include <string.h>

#include "cd_iso9660.h"
#include "cd_plugin.h"
#include "kova_module.h"
#include "kova_str.h"

const PluginInfo kInfo = {
    PLUGIN_CD, 0, 1, 0,
    "KOVA",
    "CDImage",
    "Reads PlayStation discs from image files: CUE sheets with their BIN files, single BIN "
    "images, ISO, CHD, PBP, ECM and CloneCD images, and playlists of the discs of a game.",
};

HINSTANCE ModuleInstance;

/* The disc CD_Open opened; its format null while none is. */
static Disc Image;
/* A whole raw sector; the sector image CD_Read hands out is its bytes from
   12 on. A raw sector is read to the start of a page: the system's copy
   into the buffer is fastest there (cddirect measured the cost of an
   unaligned destination). */
static uint8_t RawSector[CD_RAW_SECTOR_SIZE] __attribute__((aligned(4096)));

/* ---- ISO 9660 through the disc ---- */

static bool IsoSector(void *context, int32_t sector, uint8_t data[2048])
{
    Disc *disc = static_cast<Disc *>(context);
    uint8_t raw[CD_RAW_SECTOR_SIZE];
    int track = DiscTrackAt(disc, sector);
    if (track < 0 || disc->tracks[track].type == TRACK_AUDIO || !DiscRead(disc, sector, raw))
        return false;
    /* A raw Mode 1 sector's user data follows its header; every other
       kind has it where a Mode 2 sector does, behind the subheader. */
    size_t at = CD_SYNC_SIZE + (disc->tracks[track].type == TRACK_MODE1_2352 ? CD_IMAGE_SUBHEADER_OFFSET
                                                                             : CD_SECTOR_DATA_OFFSET);
    memcpy(data, raw + at, 2048);
    return true;
}

bool DiscBootLine(Disc *disc, char *line, size_t lineSize)
{
    return ReadBootLine(IsoSector, disc, line, lineSize);
}

bool WidePath(const char *path, wchar_t *out, size_t outSize)
{
    if (outSize == 0)
        return false;
    int n = MultiByteToWideChar(CP_ACP, 0, path, -1, out, static_cast<int>(outSize));
    if (n <= 0) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

void HostProgramDirectory(const HostServices *host, char *dir, size_t dirSize)
{
    HMODULE module = host && host->hostInstance ? host->hostInstance : GetModuleHandleA(NULL);
    if (!ModuleDirectory(module, dir, dirSize) && dirSize > 0)
        dir[0] = '\0';
}

static void CloseDisc(void)
{
    DiscClose(&Image);
    Image.trackCount = 0;
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    ModuleInstance = instance;
    if (reason == DLL_PROCESS_DETACH)
        CloseDisc();
    return TRUE;
}

int32_t KOVA_CALL CD_Open(HostServices *host)
{
    /* The emulator closes before it opens again; should it not, the files
       of the earlier open are not left open. */
    CloseDisc();
    CdReadError = 0;
    if (!host || !host->readSetting)
        return -1;
    char value[KOVA_SETTING_SIZE];
    value[0] = '\0';
    host->readSetting(CDIMAGE_SECTION, CDIMAGE_KEY_IMAGE, value);
    BufTerminate(value, sizeof value);
    char programDir[CDIMAGE_PATH_SIZE];
    static wchar_t programDirWide[DISC_PATH_SIZE], stored[DISC_PATH_SIZE], wide[DISC_PATH_SIZE];
    HostProgramDirectory(host, programDir, sizeof programDir);
    if (!WidePath(programDir, programDirWide, DISC_PATH_SIZE) || !WidePath(value, stored, DISC_PATH_SIZE) ||
        !FullImagePath(programDirWide, stored, wide, DISC_PATH_SIZE))
        return -1;
    value[0] = '\0';
    host->readSetting(CDIMAGE_SECTION, CDIMAGE_KEY_DISC, value);
    BufTerminate(value, sizeof value);
    return DiscOpen(&Image, wide, StoredDiscChoice(value)) ? 0 : -1;
}

void KOVA_CALL CD_Close(void)
{
    CdReadError = 0;
    CloseDisc();
}

uint8_t *KOVA_CALL CD_Read(const uint8_t *msf)
{
    uint8_t *image = RawSector + CD_SYNC_SIZE;
    if (msf && DiscRead(&Image, SectorFromMsf(msf), RawSector)) {
        CdReadError = 0;
        return image;
    }
    memset(RawSector, 0, sizeof RawSector);
    if (msf)
        WriteHeaderAddress(image, msf);
    CdReadError = 1;
    return image;
}

int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    if (!Image.format)
        return -1;
    buffer[1] = Image.tracks[0].number;
    buffer[2] = Image.tracks[Image.trackCount - 1].number;
    return 0;
}

int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track)
{
    if (!Image.format)
        return -1;
    int32_t sector = -1;
    if (track == CD_TRACK_LEADOUT) {
        sector = Image.leadOut;
    } else {
        for (int i = 0; i < Image.trackCount; i++) {
            if (Image.tracks[i].number == track)
                sector = Image.tracks[i].start;
        }
    }
    if (sector < 0)
        return -1;
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    buffer[1] = msf[0];
    buffer[2] = msf[1];
    buffer[3] = msf[2];
    return 0;
}

} /* extern "C" */
