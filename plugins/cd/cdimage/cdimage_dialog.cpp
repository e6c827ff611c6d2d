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
 * recent list "Recent1".."Recent8" through the host's writeSetting, in the
 * ANSI code page that KOVA.INI is written in; Cancel and Esc store nothing.
 * The controls are wide-character ones, so that names show as they are. */
#include "cdimage.h"

#include <commdlg.h>

#include "cd_iso9660.h"
#include "cd_plugin.h"
#include "cdimage_verify.h"
#include "disc_file_ecm.h"
#include "kova_module.h"
#include "kova_str.h"
#include "resource.h"

/* The record of the CD_Configure call in progress; null outside it. */
static HostServices *SavedServices;
/* The program directory as the stored values know it (ANSI), and as the
   files are opened (UTF-16). */
static char ProgramDir[CDIMAGE_PATH_SIZE];
static wchar_t ProgramDirWide[DISC_PATH_SIZE];
static char Recent[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE];
static int RecentCount;
/* The disc the summary describes, open only while it is read. */
static Disc Shown;
static char Summary[16384];
static wchar_t SummaryWide[16384];
/* The disc chosen of a multi-disc image: the stored one at first, the
   first of any other image the user turns to. */
static int ChosenDisc;
static bool Filling;

static const wchar_t kCaption[] = L"CD Image";

static void ReadStored(const char *key, char *value)
{
    char stored[KOVA_SETTING_SIZE];
    stored[0] = '\0';
    if (SavedServices && SavedServices->readSetting)
        SavedServices->readSetting(CDIMAGE_SECTION, key, stored);
    BufTerminate(stored, sizeof stored);
    BufSet(value, CDIMAGE_PATH_SIZE, stored);
}

static void ShowStored(HWND dialog, int id, const char *value)
{
    wchar_t wide[DISC_PATH_SIZE];
    WidePath(value, wide, DISC_PATH_SIZE);
    SetDlgItemTextW(dialog, id, wide);
}

/* The disc list: the discs of a multi-disc image, the chosen one
   selected; empty and disabled otherwise. */
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
    wchar_t typed[DISC_PATH_SIZE];
    static wchar_t path[DISC_PATH_SIZE];
    GetDlgItemTextW(dialog, IDC_IMAGE_PATH, typed, DISC_PATH_SIZE);
    EcmFilesForget();
    EnableWindow(GetDlgItem(dialog, IDC_VERIFY), FALSE);
    if (!FullImagePath(ProgramDirWide, typed, path, DISC_PATH_SIZE)) {
        SetDlgItemTextW(dialog, IDC_SUMMARY, L"No image chosen.");
        ShowDiscs(dialog, NULL);
        EnableWindow(GetDlgItem(dialog, IDC_VERIFY), FALSE);
        return;
    }
    char boot[256];
    bool haveBoot = false;
    if (DiscOpen(&Shown, path, ChosenDisc)) {
        char line[256];
        haveBoot = DiscBootLine(&Shown, line, sizeof line) && BootProgram(line, boot, sizeof boot);
        DiscClose(&Shown);
    }
    FormatSummary(&Shown, haveBoot ? boot : NULL, Summary, sizeof Summary);
    if (MultiByteToWideChar(CP_UTF8, 0, Summary, -1, SummaryWide, dimof(SummaryWide)) <= 0)
        SummaryWide[0] = L'\0';
    SetDlgItemTextW(dialog, IDC_SUMMARY, SummaryWide);
    ShowDiscs(dialog, &Shown);
    /* Verify is for the ECM files the disc was read from. */
    EnableWindow(GetDlgItem(dialog, IDC_VERIFY), EcmFilesOpened() > 0);
}

/* Each ECM file of the disc shown, until the user cancels a check. */
static void Verify(HWND dialog)
{
    static wchar_t files[ECM_FILES_KEPT][DISC_PATH_SIZE];
    int count = EcmFilesOpened();
    for (int i = 0; i < count; i++)
        BufSet(files[i], EcmFileOpened(i));
    for (int i = 0; i < count && VerifyEcmImage(dialog, files[i]); i++) {
    }
}

/* The system's file-open dialog, starting in the folder of the image shown
   (or the program directory). */
static void Browse(HWND dialog)
{
    wchar_t typed[DISC_PATH_SIZE], file[DISC_PATH_SIZE], folder[DISC_PATH_SIZE];
    GetDlgItemTextW(dialog, IDC_IMAGE_PATH, typed, DISC_PATH_SIZE);
    file[0] = L'\0';
    if (!FullImagePath(ProgramDirWide, typed, folder, DISC_PATH_SIZE))
        BufSet(folder, DISC_PATH_SIZE, ProgramDirWide);
    else
        folder[DiscPathName(folder) - folder] = L'\0';
    OPENFILENAMEW ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = L"Disc images (*.cue;*.bin;*.iso;*.img;*.chd;*.pbp;*.m3u;*.ecm;*.ccd)\0*.cue;*.bin;*.iso;*.img;*.chd;*.pbp;*.m3u;*.m3u8;*.ecm;*.ccd\0"
                      L"All files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = DISC_PATH_SIZE;
    ofn.lpstrInitialDir = folder[0] ? folder : NULL;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    /* The file-open dialog's library (and the shell it brings along) is
       loaded only here: the emulator, which never shows this dialog, does
       not pay for it in its address space. */
    HMODULE library = LoadLibraryA("comdlg32.dll");
    typedef BOOL(WINAPI * OpenFn)(OPENFILENAMEW *);
    OpenFn open = library ? GetProcAs<OpenFn>(library, "GetOpenFileNameW") : NULL;
    if (open && open(&ofn))
        SetDlgItemTextW(dialog, IDC_IMAGE_PATH, file);  /* the edit's change refreshes */
    if (library)
        FreeLibrary(library);
}

static void FillDialog(HWND dialog)
{
    HostProgramDirectory(SavedServices, ProgramDir, sizeof ProgramDir);
    WidePath(ProgramDir, ProgramDirWide, DISC_PATH_SIZE);
    RecentCount = 0;
    for (int i = 0; i < CDIMAGE_RECENT_COUNT; i++) {
        char key[16];
        BufFormat(key, sizeof key, CDIMAGE_KEY_RECENT_FORMAT, i + 1);
        ReadStored(key, Recent[RecentCount]);
        if (Recent[RecentCount][0]) {
            wchar_t wide[DISC_PATH_SIZE];
            WidePath(Recent[RecentCount], wide, DISC_PATH_SIZE);
            SendDlgItemMessageW(dialog, IDC_RECENT, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
            RecentCount++;
        }
    }
    char image[CDIMAGE_PATH_SIZE], disc[CDIMAGE_PATH_SIZE];
    ReadStored(CDIMAGE_KEY_IMAGE, image);
    ReadStored(CDIMAGE_KEY_DISC, disc);
    ChosenDisc = StoredDiscChoice(disc);
    SendDlgItemMessageW(dialog, IDC_IMAGE_PATH, EM_LIMITTEXT, DISC_PATH_SIZE - 1, 0);
    Filling = true;
    ShowStored(dialog, IDC_IMAGE_PATH, image);
    Filling = false;
    RefreshSummary(dialog);
}

/* path in the ANSI code page, every character as it is; false when one
   has no place there or the whole does not fit. */
static bool AnsiPath(const wchar_t *path, char *out, size_t outSize)
{
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, out, static_cast<int>(outSize),
                                NULL, &lost);
    return n > 0 && !lost;
}

/* The typed image as "ImageFile" keeps it: in the ANSI code page, which
   KOVA.INI is written in; a path that cannot be written there by its short
   path, where its volume has one. False, having said so, when neither. */
static bool StoredForm(HWND dialog, const wchar_t *typed, char *value, size_t valueSize)
{
    char ansi[CDIMAGE_PATH_SIZE];
    if (!AnsiPath(typed, ansi, sizeof ansi)) {
        static wchar_t full[DISC_PATH_SIZE], shortPath[DISC_PATH_SIZE];
        DWORD n = FullImagePath(ProgramDirWide, typed, full, DISC_PATH_SIZE)
                      ? GetShortPathNameW(full, shortPath, DISC_PATH_SIZE)
                      : 0;
        if (n == 0 || n >= DISC_PATH_SIZE || !AnsiPath(shortPath, ansi, sizeof ansi)) {
            MessageBoxW(dialog,
                        L"The path of this image cannot be stored: the system's code page cannot "
                        L"write some of its characters, and it has no short name to stand for it.\n\n"
                        L"Rename the file or its folders so that their names use no such "
                        L"characters, and choose it again.",
                        kCaption, MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
    }
    StoredImagePath(ProgramDir, ansi, value, valueSize);
    return true;
}

/* False when nothing could be stored: the dialog stays. */
static bool Store(HWND dialog)
{
    if (!SavedServices || !SavedServices->writeSetting)
        return true;
    wchar_t typed[DISC_PATH_SIZE];
    char value[CDIMAGE_PATH_SIZE];
    GetDlgItemTextW(dialog, IDC_IMAGE_PATH, typed, DISC_PATH_SIZE);
    if (!StoredForm(dialog, typed, value, sizeof value))
        return false;
    SavedServices->writeSetting(CDIMAGE_SECTION, CDIMAGE_KEY_IMAGE, value);
    char disc[16];
    BufFormat(disc, sizeof disc, "%d", Shown.choiceCount > 1 ? ChosenDisc + 1 : 1);
    SavedServices->writeSetting(CDIMAGE_SECTION, CDIMAGE_KEY_DISC, disc);
    if (!value[0])
        return true;
    RecentCount = PutRecent(Recent, RecentCount, value);
    for (int i = 0; i < RecentCount; i++) {
        char key[16];
        BufFormat(key, sizeof key, CDIMAGE_KEY_RECENT_FORMAT, i + 1);
        SavedServices->writeSetting(CDIMAGE_SECTION, key, Recent[i]);
    }
    return true;
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
            if (Store(dialog))
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
        if (wParam == MAKEWPARAM(IDC_VERIFY, BN_CLICKED)) {
            Verify(dialog);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_RECENT, LBN_SELCHANGE)) {
            LRESULT index = SendDlgItemMessageW(dialog, IDC_RECENT, LB_GETCURSEL, 0, 0);
            if (index >= 0 && index < RecentCount)
                ShowStored(dialog, IDC_IMAGE_PATH, Recent[index]);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_IMAGE_PATH, EN_CHANGE)) {
            if (!Filling)
                ChosenDisc = 0;
            RefreshSummary(dialog);
            return TRUE;
        }
        if (wParam == MAKEWPARAM(IDC_DISC, CBN_SELCHANGE)) {
            LRESULT index = SendDlgItemMessageW(dialog, IDC_DISC, CB_GETCURSEL, 0, 0);
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
    /* Wide-character controls: every name shows as it is. */
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_CDIMAGE), host ? host->mainWindow : NULL,
                    ImageDialogProc, 0);
    SavedServices = NULL;
    return 0;
}
