/* This thread's messages, and the dialogs of other processes. */
#include "kova_window.h"

#include <string.h>

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms)
            Sleep(1);
    } while (GetTickCount() - start < ms);
}

struct FindDialog {
    DWORD processId;
    const char *caption;
    HWND found;
};

static BOOL CALLBACK FindDialogProc(HWND window, LPARAM param)
{
    FindDialog *find = reinterpret_cast<FindDialog *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32], text[256];
    if (pid != find->processId || !IsWindowVisible(window) ||
        !GetClassNameA(window, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return TRUE;
    GetWindowTextA(window, text, sizeof text);
    if (strcmp(text, find->caption) != 0)
        return TRUE;
    find->found = window;
    return FALSE;
}

HWND FindVisibleDialog(DWORD processId, const char *caption)
{
    FindDialog find = { processId, caption, NULL };
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
}
