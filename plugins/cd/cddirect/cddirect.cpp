/* cddirect: reads the data sectors of the disc in a real CD-ROM drive
 * through the drive's device ("\\.\E:"): one unbuffered 2048-byte read per
 * sector, straight into the sector image the emulator gets, and the drive's
 * own table of contents for the tracks. Plays no audio.
 *
 * The drive letter comes from "CDIOCTRL"/"DriveLetter", written by the
 * setup dialog (cddirect_dialog.cpp). Every device call goes through DriveIo. */
#include "cddirect.h"

#include <string.h>

#include "cd_plugin.h"
#include "cddirect_logic.h"

const PluginInfo kInfo = {
    PLUGIN_CD, 0, 1, 0,
    "Tovrin",
    "CDDirect",
    "This Plugin uses IOControl methods for reading CD-ROMs.It can work only on NT4 and NT2000.",
};

HINSTANCE ModuleInstance;

static HANDLE DriveHandle = INVALID_HANDLE_VALUE;
/* Two pages of their own, zero-filled by the system, while a drive is open;
   null otherwise. */
static uint8_t *SectorBuffer;
/* The sector image CD_Read hands out, inside SectorBuffer, placed so that
   its user data starts on the second page (see cddirect.h). Bytes that are
   never written (mode, subheader, error correction) stay zero. */
static uint8_t *SectorImage;
#define SECTOR_IMAGE_OFFSET (CD_SECTOR_PAGE_SIZE - CD_SECTOR_DATA_OFFSET)
/* The sector at which the device's position stands; -1 when unknown. */
static int32_t NextSector = -1;
/* What CD_Read hands out while no drive is open: zeros. */
static uint8_t NoDriveImage[CD_SECTOR_IMAGE_SIZE];

static void CloseDrive(void)
{
    if (SectorBuffer) {
        CdDriveIo->freeBuffer(SectorBuffer);
        SectorBuffer = NULL;
        SectorImage = NULL;
    }
    if (DriveHandle != INVALID_HANDLE_VALUE) {
        CdDriveIo->close(DriveHandle);
        DriveHandle = INVALID_HANDLE_VALUE;
    }
    NextSector = -1;
}

/* Asks the drive for its table of contents. The record is cleared first so
   that nothing of an earlier request, or of the stack, passes for a track. */
static bool ReadToc(CDROM_TOC *toc)
{
    memset(toc, 0, sizeof *toc);
    if (DriveHandle == INVALID_HANDLE_VALUE)
        return false;
    return CdDriveIo->readToc(DriveHandle, toc);
}

/* ---- the Windows side of DriveIo ----
   Each entry calls its system function at the time of the call (not
   through an address taken at load time). */

static HANDLE WinOpen(const char *devicePath)
{
    /* No buffering: sectors land straight in the sector image, without a
       copy through the system file cache. */
    return CreateFileA(devicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, NULL);
}

static void WinClose(HANDLE drive)
{
    CloseHandle(drive);
}

static bool WinSeek(HANDLE drive, int64_t offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(drive, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

static bool WinRead(HANDLE drive, void *dst, uint32_t size, uint32_t *got)
{
    DWORD count = 0;
    BOOL ok = ReadFile(drive, dst, size, &count, NULL);
    *got = count;
    return ok != FALSE;
}

static bool WinReadToc(HANDLE drive, CDROM_TOC *toc)
{
    DWORD returned = 0;
    return DeviceIoControl(drive, IOCTL_CDROM_READ_TOC, NULL, 0, toc, sizeof *toc, &returned,
                           NULL) != FALSE;
}

static void *WinAllocBuffer(void)
{
    return VirtualAlloc(NULL, CD_SECTOR_BUFFER_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

static void WinFreeBuffer(void *buffer)
{
    VirtualFree(buffer, 0, MEM_RELEASE);
}

static UINT WinDriveType(const char *root)
{
    return GetDriveTypeA(root);
}

const DriveIo kWindowsDriveIo = {
    WinOpen, WinClose, WinSeek, WinRead, WinReadToc, WinAllocBuffer, WinFreeBuffer, WinDriveType,
};

const DriveIo *CdDriveIo = &kWindowsDriveIo;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    ModuleInstance = instance;
    return TRUE;
}

int32_t KOVA_CALL CD_Open(HostServices *host)
{
    /* The emulator closes before it opens again; should it not, the drive
       and buffer of the earlier open are not leaked. */
    CloseDrive();
    CdReadError = 0;
    if (!host || !host->readSetting)
        return -1;

    char value[KOVA_SETTING_SIZE];
    value[0] = '\0';
    host->readSetting(CDDIRECT_SECTION, CDDIRECT_KEY_DRIVE, value);
    /* Only the letter counts: "E" and "E:" both name drive E. Nothing
       stored means no drive chosen yet. */
    if (!value[0])
        return -1;
    char path[CD_DEVICE_PATH_SIZE];
    FormDevicePath(path, value[0]);

    DriveHandle = CdDriveIo->open(path);
    if (DriveHandle == INVALID_HANDLE_VALUE)
        return -1;
    SectorBuffer = static_cast<uint8_t *>(CdDriveIo->allocBuffer());
    if (!SectorBuffer) {
        CloseDrive();
        return -1;
    }
    SectorImage = SectorBuffer + SECTOR_IMAGE_OFFSET;
    NextSector = -1;
    return 0;
}

void KOVA_CALL CD_Close(void)
{
    CdReadError = 0;
    CloseDrive();
}

uint8_t *KOVA_CALL CD_Read(const uint8_t *msf)
{
    if (!SectorImage || !msf) {
        /* No drive: no data, and CD_Wait says so. The image is cleared
           again in case a caller wrote into the last one it got. */
        memset(NoDriveImage, 0, sizeof NoDriveImage);
        CdReadError = 1;
        return NoDriveImage;
    }

    int32_t sector = SectorFromMsf(msf);
    uint8_t *data = SectorImage + CD_SECTOR_DATA_OFFSET;
    uint32_t got = 0;
    /* Addresses before 00:02:00 lie before the data area: no such sector. */
    bool ok = sector >= 0;
    if (ok && sector != NextSector) {
        /* A run of consecutive sectors costs one seek, at its start. */
        ok = CdDriveIo->seek(DriveHandle, SectorOffset(sector));
    }
    if (ok) {
        ok = CdDriveIo->read(DriveHandle, data, CD_SECTOR_DATA_SIZE, &got) &&
             got == CD_SECTOR_DATA_SIZE;
    }
    if (ok) {
        NextSector = sector + 1;
        CdReadError = 0;
    } else {
        /* Where the position stands now is anyone's guess; and no bytes of
           an earlier sector may pass for this one's. */
        NextSector = -1;
        if (got > CD_SECTOR_DATA_SIZE)
            got = 0;
        memset(data + got, 0, CD_SECTOR_DATA_SIZE - got);
        CdReadError = 1;
    }
    WriteHeaderAddress(SectorImage, msf);
    return SectorImage;
}

int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    CDROM_TOC toc;
    if (!ReadToc(&toc))
        return -1;
    buffer[1] = toc.FirstTrack;
    buffer[2] = toc.LastTrack;
    return 0;
}

int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track)
{
    CDROM_TOC toc;
    uint8_t msf[3];
    if (!ReadToc(&toc) || !TocTrackStart(&toc, track, msf))
        return -1;
    buffer[1] = msf[0];
    buffer[2] = msf[1];
    buffer[3] = msf[2];
    return 0;
}

} /* extern "C" */
