/* The program's about box, opened by the main dialog's "About" button. */
#include "configurator.h"
#include "dialogs.h"
#include "kova_str.h"
#include "resource.h"

char aboutText[256];

bool FormatAboutText(char *dst, size_t dstSize)
{
    return BufFormat(dst, dstSize,
                     "KOVA Configurator 1.0 Beta 1%c%c%c%cWritten by Tovrin%c%c"
                     "Logo designed by !+Tessel+!.",
                     13, 10, 13, 10, 13, 10);
}

static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, aboutText);
        return TRUE;
    case WM_COMMAND:
        return EndOnOkOrCancel(dialog, wParam) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

void ShowProgramAbout(HWND owner)
{
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
