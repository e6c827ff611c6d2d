/* The configurator's text rules, apart from any Win32 call so that tests
 * reach them directly: reading settings values, the plugin version line,
 * the about text, splitting and quoting the emulator's command line, and
 * the chooser's directory arithmetic. */
#ifndef KOVACFG_TEXT_RULES_H
#define KOVACFG_TEXT_RULES_H

#include <stddef.h>

#include "kova_plugin.h"

/* ---- settings values ---- */

/* "on" gives 1, "off" 0, in any letter case; anything else keeps current. */
int ParseOnOff(const char *value, int current);
/* "compiler" gives 1, "interpreter" 0, in any letter case; else current. */
int ParseCpuMode(const char *value, int current);
/* First character minus '0' taken as a signed character; 0 unless 0..2. */
int ParseCountry(const char *value);
const char *OnOffText(int flag);
const char *CpuModeText(int cpuMode);

/* Whether a value read back from KOVA.INI is the one written: reading
   drops the blanks and tabs around a value, so they do not count. */
bool SameSettingValue(const char *written, const char *read);
/* The room a file of bytes takes on a volume with the given allocation
   unit: whole units, and one more for its directory entry. */
unsigned long long ClustersFor(unsigned long long bytes, unsigned long long cluster);
/* The prefix of Save's temporary files in the program directory. */
#define SAVE_TEMPORARY_PREFIX "kov"
/* Whether a file name is one of those: the prefix, one to four hex digits
   and ".tmp", in any letter case, as GetTempFileNameA makes them. */
bool IsSaveTemporaryName(const char *name);

/* ---- plugin information ---- */

/* Forces terminators into author, name and description: the record was
   filled by a plugin, which may have used every byte of a field. */
void TerminatePluginTexts(PluginInfo *info);
/* "%s %x.%x" of name, major, minor ("CDIdle 1.0", minor 10 as "1.a"). */
bool FormatPluginLine(char *dst, size_t dstSize, const PluginInfo *info);

/* ---- program about box ---- */

/* Three lines joined by CR LF, with an empty line after the first. */
bool FormatAboutText(char *dst, size_t dstSize);

/* ---- emulator command line ---- */

/* Finds the next word of text at or after *pos. Words are separated by
   runs of blanks (character 32) only; a tab is a word character. Returns
   false when no word is left; otherwise *start and *length give the word
   and *pos moves behind it. */
bool NextWord(const char *text, size_t *pos, size_t *start, size_t *length);
/* Appends one argument to a Windows command line so that the child's
   runtime parser gives it back unchanged: quoted when it is empty or holds
   a blank, tab, line break or double quote, with backslashes doubled where
   they precede a quote. A blank separates it from what dst holds already.
   False when it does not fit (dst then holds the part that fitted). */
bool AppendArgument(char *dst, size_t dstSize, const char *word, size_t length);
/* The command line that starts program with the blank-separated words of
   words: entry 0 the program path (always quoted, as the runtime reads
   entry 0 up to the closing quote without escapes), then every word.
   False when it does not fit dstSize. */
bool BuildCommandLine(char *dst, size_t dstSize, const char *program, const char *words);

/* ---- file chooser ---- */

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
