/* This thread's messages, and the dialogs of other processes. */
#ifndef KOVA_WINDOW_H
#define KOVA_WINDOW_H

#include <windows.h>

/* Dispatches the thread's messages for ms milliseconds (0: those waiting
   now). */
void PumpMessages(DWORD ms);

/* The visible dialog (window class "#32770") of the process whose caption
   is caption ("" for one without), or null. */
HWND FindVisibleDialog(DWORD processId, const char *caption);

#endif
