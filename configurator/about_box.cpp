/* The program's about box, opened by the main dialog's "About" button. */
#include "configurator.h"
#include "resource.h"

static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, aboutText);
        return TRUE;
    case WM_COMMAND:
        /* Escape (IDCANCEL) closes it as OK does: there is nothing to cancel. */
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void ShowProgramAbout(HWND owner)
{
    DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
