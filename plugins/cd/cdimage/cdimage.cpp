/* cdimage: reads a PlayStation disc from image files: a CUE sheet with its
 * BIN (and WAVE) files, one per track or one for the disc, a single BIN of
 * raw sectors, or an ISO of 2048-byte sectors. Every sector the emulator
 * asks for is read from its file at that moment, so a 700 MB image costs
 * the host no more memory than one sector.
 *
 * The image comes from "CDIMAGE"/"ImageFile", written by the setup dialog
 * (cdimage_dialog.cpp). A read that finds no sector gives zeros under the
 * requested header and raises the read-error status: never the bytes of an
 * earlier sector. */
#include "cdimage.h"

#include <string.h>

#include "cd_iso9660.h"
#include "cd_plugin.h"
#include "kova_module.h"
#include "kova_str.h"

static const PluginInfo kInfo = {
    PLUGIN_CD, 0, 1, 0,
    "KOVA",
    "CDImage",
    "Reads PlayStation discs from image files: CUE sheets with their BIN files, single BIN "
    "images and ISO images.",
};

HINSTANCE ModuleInstance;

/* The disc CD_Open opened; layout.trackCount 0 while none is. */
static OpenImage Disc;
static bool DiscOpen;
/* A whole raw sector; the sector image CD_Read hands out is its bytes from
   12 on. A raw sector is read to the start of a page: the system's copy
   into the buffer is fastest there (cddirect measured the cost of an
   unaligned destination). */
static uint8_t RawSector[CD_RAW_SECTOR_SIZE] __attribute__((aligned(4096)));
/* Raised by a read that found no sector; reported once by CD_Wait. */
static int32_t ReadError;
/* A CUE sheet's text while it is read. */
static char CueText[CDIMAGE_CUE_MAX_SIZE];

/* ---- files ---- */

/* Read-only, and shared for reading, writing and deleting: the user may
   copy, move or replace the image while the emulator has it open. */
static HANDLE OpenShared(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

static bool ReadAt(HANDLE file, int64_t offset, void *dst, DWORD size, DWORD *got)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    *got = 0;
    return SetFilePointerEx(file, at, NULL, FILE_BEGIN) && ReadFile(file, dst, size, got, NULL);
}

/* Opens one file of the image, or says why not: a problem line naming the
   file, and the CUE line that names it when there is one. */
static HANDLE OpenImageFile(DiscLayout *layout, const char *path, int line, int64_t *size)
{
    const char *where = line > 0 ? layout->imagePath : path;
    const char *name = PathName(path);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (line > 0)
            AddProblem(layout, where, line, "\"%s\" is a folder", name);
        else
            AddProblem(layout, where, 0, "the path names a folder");
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = OpenShared(path);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        if (line > 0)
            AddProblem(layout, where, line, missing ? "file \"%s\" is missing" : "file \"%s\" cannot be opened", name);
        else
            AddProblem(layout, where, 0, missing ? "the file is missing" : "the file cannot be opened");
        return INVALID_HANDLE_VALUE;
    }
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(file, &bytes)) {
        AddProblem(layout, path, 0, "the file's size cannot be had");
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    *size = bytes.QuadPart;
    return file;
}

void CloseImage(OpenImage *image)
{
    for (int i = 0; i < image->openCount; i++)
        CloseHandle(image->handles[i]);
    image->openCount = 0;
    image->lastTrack = -1;
}

/* A CUE sheet's files: each opened, a WAVE's samples found. */
static void OpenCueFiles(OpenImage *image)
{
    DiscLayout *layout = &image->layout;
    for (int i = 0; i < layout->fileCount; i++) {
        ImageFileEntry *f = &layout->files[i];
        int64_t size = 0;
        HANDLE file = OpenImageFile(layout, f->path, f->line, &size);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        image->handles[image->openCount++] = file;
        f->size = size;
        if (f->wave) {
            uint8_t head[CDIMAGE_HEAD_SIZE];
            DWORD got = 0;
            if (!ReadAt(file, 0, head, sizeof head, &got) ||
                !WaveData(head, got, size, &f->dataStart, &f->size))
                AddProblem(layout, f->path, 0, "no 16-bit stereo 44.1 kHz PCM WAVE file");
        }
    }
}

bool LoadImage(const char *path, OpenImage *image)
{
    CloseImage(image);
    DiscLayout *layout = &image->layout;
    ResetLayout(layout, path);
    int64_t size = 0;
    HANDLE file = OpenImageFile(layout, path, 0, &size);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    uint8_t head[CDIMAGE_HEAD_SIZE];
    DWORD got = 0;
    if (!ReadAt(file, 0, head, sizeof head, &got)) {
        AddProblem(layout, path, 0, "the file cannot be read");
        CloseHandle(file);
        return false;
    }
    int kind = GuessImageKind(path, head, got);
    if (kind == IMAGE_CUE) {
        layout->kind = IMAGE_CUE;
        bool fits = size <= CDIMAGE_CUE_MAX_SIZE;
        if (!fits) {
            AddProblem(layout, path, 0, "%lld bytes are too many for a CUE sheet",
                       static_cast<long long>(size));
        } else if (!ReadAt(file, 0, CueText, static_cast<DWORD>(size), &got) || got != size) {
            AddProblem(layout, path, 0, "the file cannot be read");
        }
        CloseHandle(file);
        if (layout->problemCount)
            return false;
        ParseCue(layout, CueText, got);
        if (!layout->problemCount)
            OpenCueFiles(image);
    } else {
        image->handles[image->openCount++] = file;
        LayOutLoneImage(layout, kind, head, got, size);
    }
    if (!layout->problemCount)
        LayOutTracks(layout);
    if (layout->problemCount) {
        CloseImage(image);
        return false;
    }
    for (int i = 0; i < image->openCount; i++)
        image->positions[i] = -1;
    image->lastTrack = -1;
    return true;
}

bool ReadImageSector(OpenImage *image, int32_t sector, uint8_t *raw)
{
    const DiscLayout *layout = &image->layout;
    SectorPlace place;
    if (image->openCount == 0 || !FindSector(layout, sector, image->lastTrack, &place))
        return false;
    image->lastTrack = place.track;
    int type = layout->tracks[place.track].type;
    if (place.file < 0) {
        /* A gap that no file holds: silence, or an empty data sector. */
        memset(raw, 0, CD_RAW_SECTOR_SIZE);
        FillCookedSector(raw, type, sector);
        return true;
    }
    HANDLE file = image->handles[place.file];
    DWORD size = TrackSectorSize(type), got = 0;
    uint8_t *dst = raw + CD_SYNC_SIZE + SectorDataOffset(type);
    /* A run of sectors in one file costs one ReadFile each: the position
       is moved only when the run breaks. */
    bool ok;
    if (image->positions[place.file] == place.offset) {
        ok = ReadFile(file, dst, size, &got, NULL) != FALSE;
    } else {
        ok = ReadAt(file, place.offset, dst, size, &got);
    }
    if (!ok || got != size) {
        image->positions[place.file] = -1;
        return false;
    }
    image->positions[place.file] = place.offset + size;
    if (SectorDataOffset(type) >= 0)
        FillCookedSector(raw, type, sector);
    return true;
}

/* ---- ISO 9660 through the image ---- */

static bool IsoSector(void *context, int32_t sector, uint8_t data[2048])
{
    OpenImage *image = static_cast<OpenImage *>(context);
    uint8_t raw[CD_RAW_SECTOR_SIZE];
    if (!ReadImageSector(image, sector, raw))
        return false;
    int type = image->layout.tracks[image->lastTrack].type;
    if (type == TRACK_AUDIO)
        return false;
    /* A raw Mode 1 sector's user data follows its header; every other
       kind has it where a Mode 2 sector does, behind the subheader. */
    size_t at = CD_SYNC_SIZE + (type == TRACK_MODE1_2352 ? CD_IMAGE_SUBHEADER_OFFSET : CD_SECTOR_DATA_OFFSET);
    memcpy(data, raw + at, 2048);
    return true;
}

bool ImageBootLine(OpenImage *image, char *line, size_t lineSize)
{
    return ReadBootLine(IsoSector, image, line, lineSize);
}

void HostProgramDirectory(const HostServices *host, char *dir, size_t dirSize)
{
    HMODULE module = host && host->hostInstance ? host->hostInstance : GetModuleHandleA(NULL);
    if (!ModuleDirectory(module, dir, dirSize) && dirSize > 0)
        dir[0] = '\0';
}

static void CloseDisc(void)
{
    CloseImage(&Disc);
    DiscOpen = false;
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
    ReadError = 0;
    if (!host || !host->readSetting)
        return -1;
    char value[KOVA_SETTING_SIZE];
    value[0] = '\0';
    host->readSetting(CDIMAGE_SECTION, CDIMAGE_KEY_IMAGE, value);
    BufTerminate(value, sizeof value);
    char programDir[CDIMAGE_PATH_SIZE], path[CDIMAGE_PATH_SIZE];
    HostProgramDirectory(host, programDir, sizeof programDir);
    if (!FullImagePath(programDir, value, path, sizeof path))
        return -1;
    if (!LoadImage(path, &Disc))
        return -1;
    DiscOpen = true;
    return 0;
}

void KOVA_CALL CD_Close(void)
{
    ReadError = 0;
    CloseDisc();
}

uint8_t *KOVA_CALL CD_Read(const uint8_t *msf)
{
    uint8_t *image = RawSector + CD_SYNC_SIZE;
    if (DiscOpen && msf && ReadImageSector(&Disc, SectorFromMsf(msf), RawSector)) {
        ReadError = 0;
        return image;
    }
    memset(RawSector, 0, sizeof RawSector);
    if (msf)
        WriteHeaderAddress(image, msf);
    ReadError = 1;
    return image;
}

int32_t KOVA_CALL CD_Play(void)
{
    return 0;
}

int32_t KOVA_CALL CD_Stop(void)
{
    return 0;
}

int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    if (!DiscOpen)
        return -1;
    buffer[1] = Disc.layout.tracks[0].number;
    buffer[2] = Disc.layout.tracks[Disc.layout.trackCount - 1].number;
    return 0;
}

int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track)
{
    if (!DiscOpen)
        return -1;
    int32_t sector = -1;
    if (track == CD_TRACK_LEADOUT) {
        sector = Disc.layout.leadOut;
    } else {
        for (int i = 0; i < Disc.layout.trackCount; i++) {
            if (Disc.layout.tracks[i].number == track)
                sector = Disc.layout.tracks[i].start;
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

int32_t KOVA_CALL CD_Wait(void)
{
    if (ReadError) {
        ReadError = 0;
        return -1;
    }
    return 0;
}

void KOVA_CALL CD_GetSeek(void)
{
}

void KOVA_CALL CD_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
