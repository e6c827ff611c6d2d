/* cdimage's configure entry point and its dialog, "CD Image": the user
 * types or browses for an image, or picks one of the recent ones, and sees
 * at once what is on it: its kind and files, its tracks, its length, and
 * for a PlayStation disc the boot program and its region, so that a
 * mismatch with the Country setting shows before the emulator runs. A
 * problem with the image is a line naming the file and what is wrong.
 *
 * For a playlist or a PBP of several discs the disc list shows its discs,
 * and the one chosen is the disc the summary describes.
 *
 * OK stores the image as "CDIMAGE"/"ImageFile" (relative when it lies in
 * the program directory, so that the directory can be moved), the disc
 * chosen as "Disc" (1 for the first, and for an image of one disc) and the
 * recent list "Recent1".."Recent8" through the host's writeSetting; Cancel
 * and Esc store nothing. */
#include "cdimage.h"

#include <commdlg.h>

#include "cd_iso9660.h"
#include "cd_plugin.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"

/* The record of the CD_Configure call in progress; null outside it. */
static HostServices *SavedServices;
static char ProgramDir[CDIMAGE_PATH_SIZE];
static char Recent[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE];
static int RecentCount;
/* The image the summary describes, open only while it is read. */
static Disc Shown;
static char Summary[8192];
/* The disc chosen of a multi-disc image: the stored one at first, the
   first of any other image the user turns to. */
static int ChosenDisc;
static bool Filling;

static void ReadStored(const char *key, char *value)
{
    char stored[KOVA_SETTING_SIZE];
    stored[0] = '\0';
    if (SavedServices && SavedServices->readSetting)
        SavedServices->readSetting(CDIMAGE_SECTION, key, stored);
    BufTerminate(stored, sizeof stored);
    BufSet(value, CDIMAGE_PATH_SIZE, stored);
}

/* The disc list: the discs of a multi-disc image (their names may hold
   any character), the chosen one selected; empty and disabled otherwise. */
static void ShowDiscs(HWND dialog, const Disc *disc)
{
    HWND list = GetDlgItem(dialog, IDC_DISC);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    int count = disc && disc->choiceCount > 1 ? disc->choiceCount : 0;
    for (int i = 0; i < count && i < DISC_MAX_CHOICES; i++) {
        wchar_t text[DISC_TEXT_SIZE];
        if (MultiByteToWideChar(CP_UTF8, 0, disc->choices[i], -1, text, DISC_TEXT_SIZE) <= 0)
            text[0] = L'\0';
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(list, CB_SETCURSEL, ChosenDisc < count ? ChosenDisc : -1, 0);
    EnableWindow(list, count > 0);
}

static void RefreshSummary(HWND dialog)
{
    char typed[CDIMAGE_PATH_SIZE], path[CDIMAGE_PATH_SIZE];
    static wchar_t wide[DISC_PATH_SIZE];
    GetDlgItemTextA(dialog, IDC_IMAGE_PATH, typed, sizeof typed);
    if (!FullImagePath(ProgramDir, typed, path, sizeof path) || !WidePath(path, wide, DISC_PATH_SIZE)) {
        SetDlgItemTextA(dialog, IDC_SUMMARY, "No image chosen.");
        ShowDiscs(dialog, NULL);
        return;
    }
    char boot[256];
    bool haveBoot = false;
    if (DiscOpen(&Shown, wide, ChosenDisc)) {
        char line[256];
        haveBoot = DiscBootLine(&Shown, line, sizeof line) && BootProgram(line, boot, sizeof boot);
        DiscClose(&Shown);
    }
    FormatSummary(&Shown, haveBoot ? boot : NULL, Summary, sizeof Summary);
    SetDlgItemTextA(dialog, IDC_SUMMARY, Summary);
    ShowDiscs(dialog, &Shown);
}

/* The system's file-open dialog, starting in the folder of the image shown
   (or the program directory). */
static void Browse(HWND dialog)
{
    char typed[CDIMAGE_PATH_SIZE], file[CDIMAGE_PATH_SIZE], folder[CDIMAGE_PATH_SIZE];
    GetDlgItemTextA(dialog, IDC_IMAGE_PATH, typed, sizeof typed);
    file[0] = '\0';
    if (!FullImagePath(ProgramDir, typed, folder, sizeof folder))
        BufSet(folder, ProgramDir);
    else
        folder[PathName(folder) - folder] = '\0';
    OPENFILENAMEA ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = "Disc images (*.cue;*.bin;*.iso;*.img;*.pbp;*.m3u)\0*.cue;*.bin;*.iso;*.img;*.pbp;*.m3u;*.m3u8\0"
                      "All files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = folder[0] ? folder : NULL;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    /* The file-open dialog's library (and the shell it brings along) is
       loaded only here: the emulator, which never shows this dialog, does
       not pay for it in its address space. */
    HMODULE library = LoadLibraryA("comdlg32.dll");
    typedef BOOL(WINAPI * OpenFn)(OPENFILENAMEA *);
    OpenFn open = library ? GetProcAs<OpenFn>(library, "GetOpenFileNameA") : NULL;
    if (open && open(&ofn))
        SetDlgItemTextA(dialog, IDC_IMAGE_PATH, file);  /* the edit's change refreshes */
    if (library)
        FreeLibrary(library);
}

static void FillDialog(HWND dialog)
{
    HostProgramDirectory(SavedServices, ProgramDir, sizeof ProgramDir);
    RecentCount = 0;
    for (int i = 0; i < CDIMAGE_RECENT_COUNT; i++) {
        char key[16];
        BufFormat(key, sizeof key, CDIMAGE_KEY_RECENT_FORMAT, i + 1);
        ReadStored(key, Recent[RecentCount]);
        if (Recent[RecentCount][0]) {
            SendDlgItemMessageA(dialog, IDC_RECENT, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(Recent[RecentCount]));
            RecentCount++;
        }
    }
    char image[CDIMAGE_PATH_SIZE], disc[CDIMAGE_PATH_SIZE];
    ReadStored(CDIMAGE_KEY_IMAGE, image);
    ReadStored(CDIMAGE_KEY_DISC, disc);
    ChosenDisc = StoredDiscChoice(disc);
    SendDlgItemMessageA(dialog, IDC_IMAGE_PATH, EM_LIMITTEXT, CDIMAGE_PATH_SIZE - 1, 0);
    Filling = true;
    SetDlgItemTextA(dialog, IDC_IMAGE_PATH, image);
    Filling = false;
    RefreshSummary(dialog);
}

static void Store(HWND dialog)
{
    if (!SavedServices || !SavedServices->writeSetting)
        return;
    char typed[CDIMAGE_PATH_SIZE], value[CDIMAGE_PATH_SIZE];
    GetDlgItemTextA(dialog, IDC_IMAGE_PATH, typed, sizeof typed);
    StoredImagePath(ProgramDir, typed, value, sizeof value);
    SavedServices->writeSetting(CDIMAGE_SECTION, CDIMAGE_KEY_IMAGE, value);
    char disc[16];
    BufFormat(disc, sizeof disc, "%d", Shown.choiceCount > 1 ? ChosenDisc + 1 : 1);
    SavedServices->writeSetting(CDIMAGE_SECTION, CDIMAGE_KEY_DISC, disc);
    if (!value[0])
        return;
    RecentCount = PutRecent(Recent, RecentCount, value);
    for (int i = 0; i < RecentCount; i++) {
        char key[16];
        BufFormat(key, sizeof key, CDIMAGE_KEY_RECENT_FORMAT, i + 1);
        SavedServices->writeSetting(CDIMAGE_SECTION, key, Recent[i]);
    }
}

static INT_PTR CALLBACK ImageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        /* The whole wParam: a button click or Enter (IDOK), Esc (IDCANCEL). */
        if (wParam == IDOK) {
            Store(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_BROWSE, BN_CLICKED)) {
            Browse(dialog);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_RECENT, LBN_SELCHANGE)) {
            LRESULT index = SendDlgItemMessageA(dialog, IDC_RECENT, LB_GETCURSEL, 0, 0);
            if (index >= 0 && index < RecentCount)
                SetDlgItemTextA(dialog, IDC_IMAGE_PATH, Recent[index]);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_IMAGE_PATH, EN_CHANGE)) {
            if (!Filling)
                ChosenDisc = 0;
            RefreshSummary(dialog);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_DISC, CBN_SELCHANGE)) {
            LRESULT index = SendDlgItemMessageA(dialog, IDC_DISC, CB_GETCURSEL, 0, 0);
            if (index >= 0 && index < DISC_MAX_CHOICES) {
                ChosenDisc = static_cast<int>(index);
                RefreshSummary(dialog);
            }
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

extern "C" int32_t KOVA_CALL CD_Configure(HostServices *host)
{
    SavedServices = host;
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CDIMAGE), host ? host->mainWindow : NULL,
                    ImageDialogProc, 0);
    SavedServices = NULL;
    return 0;
}
