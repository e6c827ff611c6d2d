/* cdimage's state shared by its entry points (cdimage.cpp) and its setup
 * dialog (cdimage_dialog.cpp): its names in KOVA.INI, and an image opened
 * from its files, which both read the same way. */
#ifndef CDIMAGE_H
#define CDIMAGE_H

#include <windows.h>
#include <stdint.h>

#include "cdimage_logic.h"
#include "kova_plugin.h"

/* The image's path, as the user chose it: a relative one is taken from the
   program directory. */
#define CDIMAGE_SECTION "CDIMAGE"
#define CDIMAGE_KEY_IMAGE "ImageFile"
/* "Recent1" (newest) to "Recent8". */
#define CDIMAGE_KEY_RECENT_FORMAT "Recent%d"

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

/* A disc read from its image files. The files stay open (shared, so the
   user can copy them meanwhile) and are read sector by sector: nothing of
   the image is held in memory. */
struct OpenImage {
    DiscLayout layout;
    int openCount;                      /* handles[0 .. openCount) are open */
    HANDLE handles[CDIMAGE_MAX_FILES];
    int64_t positions[CDIMAGE_MAX_FILES]; /* where each file's position stands; -1 unknown */
    int lastTrack;                      /* the track of the last read */
};

/* Reads and checks the whole image at path (a full path): every file
   present, large enough for its tracks. True with the files open; false
   with nothing open and the problems in image->layout. */
bool LoadImage(const char *path, OpenImage *image);
void CloseImage(OpenImage *image);
/* The disc sector into raw (2352 bytes; the sector image is raw + 12).
   False when the disc has no such sector or the file cannot supply it. */
bool ReadImageSector(OpenImage *image, int32_t sector, uint8_t *raw);
/* SYSTEM.CNF's BOOT line on the image's first data track. */
bool ImageBootLine(OpenImage *image, char *line, size_t lineSize);

/* The folder of the host program (of hostInstance, else of the process),
   with its final backslash; "" when it cannot be had. */
void HostProgramDirectory(const HostServices *host, char *dir, size_t dirSize);

#endif
