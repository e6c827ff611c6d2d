/* Run (launch.cpp): KOVA.EXE with the words of the command line; and the
 * rules for splitting and quoting those words, which touch nothing of the
 * system so that tests reach them directly. */
#ifndef KOVACFG_LAUNCH_H
#define KOVACFG_LAUNCH_H

#include <windows.h>

void LaunchEmulator(HWND dialog);

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

#endif
