/* The control helpers of the configurator's dialogs (dialog_util.cpp). */
#ifndef KOVACFG_DIALOG_UTIL_H
#define KOVACFG_DIALOG_UTIL_H

#include <stddef.h>
#include <windows.h>

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
