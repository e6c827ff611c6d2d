/* cddirect's configure entry point and its dialog, "IOControl Setup": the
 * user picks the CD-ROM drive that cddirect reads. The list offers the
 * drives Windows reports as CD-ROM drives, built afresh at every opening; OK
 * stores the bare letter ("E") as "CDIOCTRL"/"DriveLetter" through the
 * host's writeSetting, Cancel and Esc store nothing. The stored letter is
 * not read back: the list always opens on the first drive. */
#include "cddirect.h"
#include "cd_plugin.h"
#include "cddirect_logic.h"
#include "resource.h"

/* The record of the CD_Configure call in progress; null outside it. */
static HostServices *SavedServices;
/* Room for every letter a machine can have. */
static char DriveLetters[CD_DRIVE_LETTER_COUNT];
static int DriveCount;

static void FillDriveList(HWND dialog)
{
    DriveCount = CollectCdDrives(DriveLetters, CdDriveIo->driveType);
    HWND list = GetDlgItem(dialog, IDC_DRIVE_LETTER);
    if (DriveCount == 0) {
        EnableWindow(list, FALSE);
        return;
    }
    for (int i = 0; i < DriveCount; i++) {
        const char item[4] = { DriveLetters[i], ':', '\\', '\0' };
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(list, CB_SETCURSEL, 0, 0);
}

static void StoreSelectedDrive(HWND dialog)
{
    if (DriveCount == 0 || !SavedServices || !SavedServices->writeSetting)
        return;
    LRESULT index = SendDlgItemMessageA(dialog, IDC_DRIVE_LETTER, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= DriveCount)
        return;
    const char value[2] = { DriveLetters[index], '\0' };
    SavedServices->writeSetting(CDDIRECT_SECTION, CDDIRECT_KEY_DRIVE, value);
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillDriveList(dialog);
        return TRUE;
    case WM_COMMAND:
        /* The whole wParam: a button click or Enter (IDOK), Esc (IDCANCEL). */
        if (wParam == IDOK) {
            StoreSelectedDrive(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

extern "C" int32_t KOVA_CALL CD_Configure(HostServices *host)
{
    SavedServices = host;
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_SETUP), host ? host->mainWindow : NULL,
                    SetupDialogProc, 0);
    SavedServices = NULL;
    return 0;
}
