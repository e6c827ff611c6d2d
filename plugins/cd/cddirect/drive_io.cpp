/* The Windows side of DriveIo. Each entry calls its system function at the
 * time of the call (not through an address taken at load time). */
#include "drive_io.h"

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
