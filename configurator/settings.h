/* KOVA.INI (settings.cpp): section "KOVA" read at start-up and written by
 * Save, the two settings callbacks of HostServices, and the rules for the
 * section's values, which touch no file so that tests reach them directly. */
#ifndef KOVACFG_SETTINGS_H
#define KOVACFG_SETTINGS_H

#include <windows.h>

#include "kova_plugin.h"

void ResetSettings();
void LoadSettings();
/* Writes section "KOVA" from the main dialog's controls and the flags,
   then installs the plugins. Tells the user once about writes that failed.
   KOVA.INI ends up whole or as it was; a Save that the volume has no room
   for is refused before anything is written. */
void SaveSettings(HWND dialog);
/* Removes what an interrupted whole-file write left in the program
   directory (or its folder relative, "MEMCARDS\\"): its temporary files,
   named by IsSaveTemporaryName. */
void RemoveLeftoverTemporaryFiles(const char *relative = "");
int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out);
int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value);
/* Whether a WriteSetting since the last call did not reach KOVA.INI (a
   read-only or locked file); the next call starts afresh. */
bool TakeSettingsWriteFailure();
/* The one message about that, owned by owner: what + " could not be
   written to " + the file. */
void ReportUnwrittenSettings(HWND owner, const char *what);

/* ---- values ---- */

/* "on" gives 1, "off" 0, in any letter case; anything else keeps current. */
int ParseOnOff(const char *value, int current);
/* "compiler" gives 1, "interpreter" 0, in any letter case; else current. */
int ParseCpuMode(const char *value, int current);
/* First character minus '0' taken as a signed character; 0 unless 0..2. */
int ParseCountry(const char *value);
const char *CpuModeText(int cpuMode);

/* The room a file of bytes takes on a volume with the given allocation
   unit: whole units, and one more for its directory entry. */
unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster);
/* The prefix of Save's temporary files in the program directory. */
#define SAVE_TEMPORARY_PREFIX "kov"

/* Writes size bytes as the whole new content of path: into a temporary
   file beside it, flushed, then moved into its place with moveFlags
   (MOVEFILE_REPLACE_EXISTING to replace a file, 0 to make a new one only).
   path is either as it was or the whole new content; on failure the
   temporary file is gone and GetLastError says why. The plugins that Save
   installs and the memory cards are all written so. */
bool WriteWholeFile(const char *path, const void *data, unsigned long size, unsigned long moveFlags);
/* The same for a path that ANSI may not hold (a user's file anywhere). */
bool WriteWholeFileW(const wchar_t *path, const void *data, unsigned long size, unsigned long moveFlags);

#endif
