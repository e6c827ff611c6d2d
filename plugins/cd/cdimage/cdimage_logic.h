/* cdimage's pure logic beside its disc readers: the summary the dialog
 * shows of a disc, the list of recent images and the image path as stored
 * in KOVA.INI. */
#ifndef CDIMAGE_LOGIC_H
#define CDIMAGE_LOGIC_H

#include <stddef.h>

#include "disc.h"

/* A stored path ("ImageFile", "Recent1"...), in the ANSI code page. */
#define CDIMAGE_PATH_SIZE 260

/* The last element of a path ("C:\A\B.CUE" -> "B.CUE"). */
const char *PathName(const char *path);

/* The summary the dialog shows, CR LF between lines (UTF-8): the kind of
   image and the reader's lines under it; then the problems, or the boot
   program (boot: SYSTEM.CNF's BOOT program, or null), its region, the
   length and the track list, which ends with "... and N more tracks" when
   out holds no more. */
void FormatSummary(const Disc *disc, const char *boot, char *out, size_t outSize);

/* The recent list with chosen put first: no repeats (letter case aside),
   at most CDIMAGE_RECENT_COUNT. Returns the new count. */
#define CDIMAGE_RECENT_COUNT 8
int PutRecent(char recent[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE], int count, const char *chosen);

/* The full path of an image as typed or stored: a relative one is taken
   from programDir (ending in '\'). False when empty or it does not fit. */
bool FullImagePath(const wchar_t *programDir, const wchar_t *value, wchar_t *out, size_t outSize);
/* The value to store for a chosen path: relative when inside programDir. */
void StoredImagePath(const char *programDir, const char *chosen, char *out, size_t outSize);

#endif
