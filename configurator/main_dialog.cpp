/* The main configuration dialog: options, BIOS image, memory cards, serial
 * port, country, one plugin per family and the command line; Save, Run,
 * About and Exit. Its state is its controls and the settings flags. */
#include <string.h>

#include "catalogue.h"
#include "configurator.h"
#include "dialogs.h"
#include "file_chooser.h"
#include "kova_files.h"
#include "kova_ini.h"
#include "kova_str.h"
#include "launch.h"
#include "resource.h"
#include "save.h"
#include "settings.h"

/* Posted at initialisation: the scan's report, once the dialog is up. */
enum { WM_REPORT_SCAN = WM_APP + 1 };

/* preselect: the entry selected when there are that many (the last one
   when there are fewer). */
static int FillFileCombo(HWND dialog, int listId, const char *folder, const char *pattern,
                         int preselect = 0)
{
    char path[MAX_PATH];
    int added = 0;
    if (ProgramPath(path, sizeof path, folder, pattern)) {
        added = ForEachFile(path, [dialog, listId](const char *name) {
            SendDlgItemMessageA(dialog, listId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            return true;
        });
    }
    if (added == 0) {
        EnableControl(dialog, listId, false);
        return 0;
    }
    /* The list is sorted: entry 0 is the first name in order. */
    SendDlgItemMessageA(dialog, listId, CB_SETCURSEL, preselect < added ? preselect : added - 1, 0);
    return 1;
}

/* Slot 2 starts on the second card, so that the two slots do not write
   one file unless the user picks it so. */
static void FillCardCombos(HWND dialog)
{
    FillFileCombo(dialog, IDC_MEMCARD1, "MEMCARDS\\", "*.mcd", 0);
    FillFileCombo(dialog, IDC_MEMCARD2, "MEMCARDS\\", "*.mcd", 1);
}

/* The Memory Cards dialog may have made, or a program removed, cards:
   MEMCARDS\ is listed afresh, and each slot keeps its card while it exists. */
static void ManageMemoryCards(HWND dialog)
{
    static const int kSlots[2] = { IDC_MEMCARD1, IDC_MEMCARD2 };
    char kept[2][MAX_PATH];
    for (int i = 0; i < 2; i++)
        if (!SelectedComboText(dialog, kSlots[i], kept[i], sizeof kept[i]))
            kept[i][0] = '\0';
    RunMemoryCards(dialog, kept[0], kept[1]);
    for (int id : kSlots) {
        SendDlgItemMessageA(dialog, id, CB_RESETCONTENT, 0, 0);
        EnableControl(dialog, id, true);
    }
    FillCardCombos(dialog);
    for (int i = 0; i < 2; i++) {
        LRESULT index = kept[i][0] ? SendDlgItemMessageA(dialog, kSlots[i], CB_FINDSTRINGEXACT,
                                                         static_cast<WPARAM>(-1),
                                                         reinterpret_cast<LPARAM>(kept[i]))
                                   : CB_ERR;
        if (index != CB_ERR)
            SendDlgItemMessageA(dialog, kSlots[i], CB_SETCURSEL, index, 0);
    }
}

static void FillSerialPorts(HWND dialog)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL,
                         NULL) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    if (values == 0) {
        RegCloseKey(key);
        EnableControl(dialog, IDC_PORT_LIST, false);
        return;
    }
    for (DWORD i = 0; i < values; i++) {
        char name[1024];
        BYTE data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        /* Registry strings need not carry their terminator. */
        data[dataSize < sizeof data ? dataSize : sizeof data - 1] = '\0';
        SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(data));
    }
    RegCloseKey(key);
    if (SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_GETCOUNT, 0, 0) > 0)
        SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_SETCURSEL, 0, 0);
}

static void InitMainDialog(HWND dialog)
{
    /* The button is 16 x 12 units: the icon's small picture fits it. */
    HICON chooseIcon = static_cast<HICON>(LoadImageA(ModuleInstance, MAKEINTRESOURCEA(IDI_CHOOSE_FILE),
                                                     IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    SendDlgItemMessageA(dialog, IDC_CHOOSE_FILE, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(chooseIcon));
    HICON programIcon = LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_PROGRAM));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));

    FillSerialPorts(dialog);
    FillFamilyCombos(dialog);
    if (settings.useSerial == 0)
        EnableControl(dialog, IDC_PORT_LIST, false);

    CheckControl(dialog, IDC_EMULATE_BIOS, settings.emulateBios);
    if (settings.emulateBios == 1)
        EnableControl(dialog, IDC_BIOS_LIST, false);
    settings.biosAvailable = FillFileCombo(dialog, IDC_BIOS_LIST, "BIOS\\", "*.bin");
    if (settings.biosAvailable == 0) {
        CheckControl(dialog, IDC_EMULATE_BIOS, 1);
        settings.emulateBios = 1;
    }
    FillCardCombos(dialog);

    CheckControl(dialog, settings.cpuMode == 1 ? IDC_COMPILER : IDC_INTERPRETER, 1);
    CheckControl(dialog, IDC_VERBOSE, settings.verbose);
    CheckControl(dialog, IDC_DISASM, settings.disasm);
    CheckControl(dialog, IDC_DEBUGGER, settings.debugger);
    CheckControl(dialog, IDC_SECTOR_CACHE, settings.cdUseCache);
    CheckControl(dialog, IDC_USE_SERIAL, settings.useSerial);
    EnableControl(dialog, IDC_VERBOSE, settings.debugger == 0);
    EnableControl(dialog, IDC_DISASM, settings.debugger == 0);

    static const char *const kCountries[] = { "America", "Europe", "Japan" };
    for (const char *country : kCountries)
        SendDlgItemMessageA(dialog, IDC_COUNTRY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(country));
    SendDlgItemMessageA(dialog, IDC_COUNTRY, CB_SETCURSEL, settings.cdCountry, 0);

    /* The command line may be as long as Windows starts a program with. */
    SendDlgItemMessageA(dialog, IDC_COMMAND_LINE, EM_LIMITTEXT, COMMAND_LINE_SIZE - 1, 0);

    Host.mainWindow = dialog;
    /* Once the dialog is up, so that the message has it as its owner. */
    PostMessageA(dialog, WM_REPORT_SCAN, 0, 0);
}

static void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_COMPILER:
        settings.cpuMode = 1;
        return;
    case IDC_INTERPRETER:
        settings.cpuMode = 0;
        return;
    case IDC_EMULATE_BIOS:
        /* Without an image to run, BIOS emulation stays on. */
        if (settings.biosAvailable == 1) {
            EnableControl(dialog, IDC_BIOS_LIST, settings.emulateBios == 1);
            settings.emulateBios = !settings.emulateBios;
            CheckControl(dialog, IDC_EMULATE_BIOS, settings.emulateBios);
        }
        return;
    case IDC_DEBUGGER:
        settings.debugger = IsControlChecked(dialog, IDC_DEBUGGER);
        EnableControl(dialog, IDC_VERBOSE, settings.debugger == 0);
        EnableControl(dialog, IDC_DISASM, settings.debugger == 0);
        return;
    case IDC_USE_SERIAL:
        settings.useSerial = !settings.useSerial;
        EnableControl(dialog, IDC_PORT_LIST, settings.useSerial == 1);
        CheckControl(dialog, IDC_USE_SERIAL, settings.useSerial);
        return;
    case IDC_SAVE:
        settings.verbose = IsControlChecked(dialog, IDC_VERBOSE);
        settings.disasm = IsControlChecked(dialog, IDC_DISASM);
        SaveSettings(dialog);
        return;
    case IDC_EXIT:
        EndDialog(dialog, 0);
        return;
    case IDC_PROGRAM_ABOUT:
        ShowProgramAbout(dialog);
        return;
    case IDC_RUN:
        LaunchEmulator(dialog);
        return;
    case IDC_CHOOSE_FILE:
        AppendChosenFileToCommandLine(dialog);
        return;
    case IDC_MEMORY_CARDS:
        ManageMemoryCards(dialog);
        return;
    default:
        break;
    }
    int family = FamilyOfButton(id, false);
    if (family >= 0) {
        ShowPluginAbout(dialog, family);
        return;
    }
    family = FamilyOfButton(id, true);
    if (family < 0)
        return;
    /* The plugin stores its choices during its call; they reach KOVA.INI
       together when it is over, and the user learns here that they were
       lost, rather than at the emulator's next start. */
    BeginIniWrites();
    ConfigurePlugin(dialog, family);
    if (!EndIniWrites())
        ReportUnwrittenSettings(dialog, "The plugin's settings");
}

static INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitMainDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        /* Button clicks only: list selections and typing are read on Save
           and Run. Escape (IDCANCEL) does not close it; only Exit does. */
        if (HIWORD(wParam) != 0)
            return FALSE;
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY: {
        /* The chooser button's icon was loaded for this dialog alone (at
           its small size, so not shared): it goes with the dialog. */
        HICON icon = reinterpret_cast<HICON>(
            SendDlgItemMessageA(dialog, IDC_CHOOSE_FILE, BM_GETIMAGE, IMAGE_ICON, 0));
        if (icon)
            DestroyIcon(icon);
        return FALSE;
    }
    case WM_REPORT_SCAN:
        /* One box for each kind: what ended the last run, then what failed
           in this one's scan. */
        ReportEndedRun(dialog);
        ReportFailedLibraries(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR RunMainDialog()
{
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
}
