/* Small control helpers shared by the configurator's dialogs. */
#include "dialog_util.h"

bool SelectedComboText(HWND dialog, int id, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return true;
    LRESULT length = SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, index, 0);
    if (length < 0 || static_cast<size_t>(length) >= dstSize)
        return false;
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(dst));
    return true;
}

bool ControlText(HWND dialog, int id, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    dst[0] = '\0';
    LRESULT length = SendDlgItemMessageA(dialog, id, WM_GETTEXTLENGTH, 0, 0);
    if (length < 0 || static_cast<size_t>(length) >= dstSize)
        return false;
    GetDlgItemTextA(dialog, id, dst, static_cast<int>(dstSize));
    return true;
}

void EnableControl(HWND dialog, int id, bool enable)
{
    EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

void CheckControl(HWND dialog, int id, int checked)
{
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int IsControlChecked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

bool EndOnOkOrCancel(HWND dialog, WPARAM wParam)
{
    if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
        return false;
    EndDialog(dialog, 0);
    return true;
}
