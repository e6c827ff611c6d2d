/* cddirect's state shared by its entry points (cddirect.cpp) and its setup
 * dialog (cddirect_dialog.cpp), its names in KOVA.INI, and DriveIo: every call
 * cddirect makes to the drive and to the system's page allocator, in one
 * table. The plugin reaches the device only through DriveIo; the table
 * points at the Windows calls, and a test that builds the plugin's code into
 * its own program points it at a device of its own to count seeks, fail
 * reads or hand out a made-up table of contents. */
#ifndef CDDIRECT_H
#define CDDIRECT_H

#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>
#include <stdint.h>

#include "kova_plugin.h"

/* The drive chosen in the setup dialog: its bare letter ("E"). */
#define CDDIRECT_SECTION "CDIOCTRL"
#define CDDIRECT_KEY_DRIVE "DriveLetter"

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

/* The sector buffer: two pages. The sector image sits across their border
   so that its user data (offset 12) starts exactly on the second page: an
   unbuffered read then lands on a boundary that satisfies any alignment a
   device asks for, and the system copies into it at full speed. */
#define CD_SECTOR_PAGE_SIZE 4096
#define CD_SECTOR_BUFFER_SIZE (2 * CD_SECTOR_PAGE_SIZE)

struct DriveIo {
    /* CreateFileA(path, GENERIC_READ, share read and write, OPEN_EXISTING,
       FILE_FLAG_NO_BUFFERING); INVALID_HANDLE_VALUE on failure. */
    HANDLE (*open)(const char *devicePath);
    void (*close)(HANDLE drive);
    /* Sets the file position to offset bytes from the start. */
    bool (*seek)(HANDLE drive, int64_t offset);
    /* One ReadFile of size bytes into dst; *got receives the count. */
    bool (*read)(HANDLE drive, void *dst, uint32_t size, uint32_t *got);
    /* IOCTL_CDROM_READ_TOC into toc (804 bytes). */
    bool (*readToc)(HANDLE drive, CDROM_TOC *toc);
    /* A fresh, zero-filled, page-aligned CD_SECTOR_BUFFER_SIZE block; null
       when there is no memory. */
    void *(*allocBuffer)(void);
    void (*freeBuffer)(void *buffer);
    /* GetDriveTypeA of a two-character root such as "E:". */
    UINT (*driveType)(const char *root);
};

/* The Windows calls. */
extern const DriveIo kWindowsDriveIo;
/* What the plugin uses; &kWindowsDriveIo unless a test says otherwise. */
extern const DriveIo *CdDriveIo;

#endif
