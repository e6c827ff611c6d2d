/* The configurator's dialogs, one file each (splash.cpp, main_dialog.cpp,
 * about_box.cpp, plugin_about.cpp, memory_cards.cpp; the chooser in
 * file_chooser.h), with the control helpers they share (dialog_util.h). */
#ifndef KOVACFG_DIALOGS_H
#define KOVACFG_DIALOGS_H

#include <windows.h>

#include "dialog_util.h"

/* ---- splash ---- */

/* How many timer ticks the splash has handled. */
extern int splashStep;
INT_PTR RunSplash();

/* ---- main dialog ---- */

INT_PTR RunMainDialog();

/* ---- the program's about box ---- */

extern char aboutText[256];
/* Three lines joined by CR LF, with an empty line after the first. */
bool FormatAboutText(char *dst, size_t dstSize);
void ShowProgramAbout(HWND owner);

/* ---- a plugin's about box ---- */

/* The record of the plugin selected in the family's list. */
void ShowPluginAbout(HWND dialog, int family);

/* ---- memory cards ---- */

/* The "Memory Cards" dialog, opening on the slots' cards (bare names in
   MEMCARDS\, "" for none). */
void RunMemoryCards(HWND owner, const char *slot1, const char *slot2);

#endif
