/* "Load PSX file" (file_chooser.cpp): the program-file chooser, the
 * directory it shows, and its path arithmetic, which touches nothing of the
 * system so that tests reach it directly. */
#ifndef KOVACFG_FILE_CHOOSER_H
#define KOVACFG_FILE_CHOOSER_H

#include <windows.h>

/* The directory shown, ending in a backslash: the program directory at
   start-up, then wherever the user went, for the whole run. */
extern char chooserDirectory[MAX_PATH];
/* What the last opening handed back (ChooserResultCode) and the path of
   the file chosen. */
extern int chooserResult;
extern char chooserPath[2 * MAX_PATH];

/* Button 1104: choose a file and append it to the command line. */
void AppendChosenFileToCommandLine(HWND dialog);

/* The chooser's file types, in the order of its type list. */
enum { CHOOSER_TYPE_PROGRAMS = 0, CHOOSER_TYPE_ACTION_REPLAY = 1, CHOOSER_TYPE_ALL = 2,
       CHOOSER_TYPE_COUNT = 3 };
const char *ChooserTypeText(int type);
/* Null-terminated list of the patterns searched for the type; null for an
   index outside the table. */
const char *const *ChooserTypePatterns(int type);
/* What the chooser hands back: 0 for nothing, else type x 16 + 1. */
int ChooserResultCode(int type);
int ChooserResultType(int code);

/* Removes the last directory name and its backslash ("C:\A\B\" becomes
   "C:\A\"); a drive's root stays as it is. */
void ParentDirectory(char *dir);
/* True for the parent directory's entry "[..]" of a directory listing. */
bool IsParentEntry(const char *entry);
/* Takes NAME out of a directory entry "[NAME]". False for anything else or
   when it does not fit. */
bool DirectoryEntryName(char *dst, size_t dstSize, const char *entry);
/* The drive letter of a drive entry "[-c-]", or 0. */
char DriveEntryLetter(const char *entry);
/* Appends a chosen file to the command line: one blank when the line is
   not empty, "-a" before the path for Action Replay images. False, with
   line unchanged, when the result would not fit. */
bool AppendChosenFile(char *line, size_t lineSize, const char *path, int type);

#endif
