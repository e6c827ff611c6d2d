/* Files written whole, the room they take, and what an interrupted write
 * leaves behind (file_write.cpp): below every other module but the shared
 * paths of configurator.h. */
#ifndef KOVACFG_FILE_WRITE_H
#define KOVACFG_FILE_WRITE_H

#include <windows.h>

#include "kova_files.h"

/* Writes size bytes as the whole new content of path: into a temporary
   file beside it, flushed, then moved into its place with moveFlags
   (MOVEFILE_REPLACE_EXISTING to replace a file, 0 to make a new one only).
   path is either as it was or the whole new content; on failure the
   temporary file is gone and GetLastError says why. The plugins that Save
   installs and the memory cards are all written so. */
bool WriteWholeFile(const char *path, const void *data, unsigned long size, unsigned long moveFlags);
/* The same for a path that ANSI may not hold (a user's file anywhere). */
bool WriteWholeFileW(const wchar_t *path, const void *data, unsigned long size, unsigned long moveFlags);

/* Removes what an interrupted whole-file write left in the program
   directory (or its folder relative, "MEMCARDS\\"): the temporary files,
   "kov" + 1 to 4 hex digits + ".tmp". */
void RemoveLeftoverTemporaryFiles(const char *relative = "");

/* The room a file of bytes takes on a volume with the given allocation
   unit: whole units, and one more for its directory entry. */
unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster);
/* The allocation unit of the volume holding folder (4096 when the system
   cannot tell). */
ULONGLONG ClusterSize(const char *folder);
/* What the user may still write on the volume holding folder; false when
   the system cannot tell. */
bool FreeBytes(const char *folder, ULONGLONG *bytes);
/* 0 for a missing file. */
ULONGLONG FileSizeOf(const char *path);

#endif
