/* KOVA.INI changed only whole. The writes of one batch go into a copy of
 * the file beside it, through the system's profile functions, are read
 * back from the copy, and reach the file together when the copy is moved
 * into its place: the file is either as it was or has every write of the
 * batch. A full volume lets the profile functions cut a file and still
 * report success; only reading back shows it. The configurator's settings
 * callbacks and Save, and the stand-in's callbacks, write so. */
#ifndef KOVA_INI_H
#define KOVA_INI_H

#include <windows.h>

/* The writes that follow, up to EndIniWrites, form one batch. */
void BeginIniWrites();
/* WritePrivateProfileStringA's arguments (a null value removes the key, a
   null key the section). Outside a batch the write is a batch of its own.
   False when this write, or an earlier one of the batch, failed. */
bool WriteIniValue(const char *path, const char *section, const char *key, const char *value);
/* GetPrivateProfileStringA of path with the empty text as default; while
   a batch has written to path, of its copy, so that the batch's own
   writes are seen. */
DWORD ReadIniValue(const char *path, const char *section, const char *key, char *out, DWORD size);
/* Ends the batch: true when every write of it reached the file (or there
   was none); false when the file is as it was before the batch. */
bool EndIniWrites();

#endif
