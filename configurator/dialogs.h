/* The configurator's dialogs, one file each (splash.cpp, main_dialog.cpp,
 * about_box.cpp, plugin_about.cpp; the chooser in file_chooser.h), and the
 * control helpers they share (dialog_util.cpp). */
#ifndef KOVACFG_DIALOGS_H
#define KOVACFG_DIALOGS_H

#include <windows.h>

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

/* ---- control helpers ---- */

/* The text of a combo box's selected entry; "" without a selection. False
   when the entry does not fit dst (dst is then ""). */
bool SelectedComboText(HWND dialog, int id, char *dst, size_t dstSize);
/* The whole text of a control; false (dst "") when it does not fit. */
bool ControlText(HWND dialog, int id, char *dst, size_t dstSize);
void EnableControl(HWND dialog, int id, bool enable);
void CheckControl(HWND dialog, int id, int checked);
int IsControlChecked(HWND dialog, int id);
/* What an information box does with a command: OK and Escape (IDCANCEL,
   there is nothing to cancel) end it. True when the command was one of
   them. */
bool EndOnOkOrCancel(HWND dialog, WPARAM wParam);

#endif
