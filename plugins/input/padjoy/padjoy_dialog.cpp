/* padjoy's configure entry points run this dialog, "Game Controller": the
 * controller to use (XInput's four user indexes, each marked connected or
 * not, then the game controllers DirectInput has attached, by product
 * name), the pad type (digital or analog), the sixteen pad buttons with the
 * controls that press them and for the analog pad the four stick axes,
 * "Set" (waits up to five seconds for a press on the chosen controller and
 * maps it to the selected row; a second Set adds a second control),
 * "Clear", "Defaults", and a live line of the pad buttons the controller
 * presses now and the stick bytes, so the user can try the map before
 * playing. It opens on the stored settings; OK stores "Controller",
 * "PadType", "Map" and "Sticks" through the host's writeSetting, Cancel
 * and Esc store nothing. */
#include "padjoy.h"

#include <string.h>

#include "kova_str.h"
#include "resource.h"

/* How often the controller is read while the dialog is up; the connected
   marks and the DirectInput devices of the list are read again every this
   many ticks (asking XInput about controllers that are not there is slow
   on some systems, and listing devices is slower still). */
static const UINT kTickMs = 50;
static const UINT kTimerId = 1;
static const int kMarkTicks = 20;
/* How long "Set" waits for a press. */
static const DWORD kSetWaitMs = 5000;

/* The record and section of the configure call in progress; null outside. */
static HostServices *SavedServices;
static const char *Section;
static PadJoySettings Edited;       /* what OK stores */
static HMODULE DialogXInput;
static JoyDirect DialogDirect;
static JoySource Source;            /* the chosen controller, read at every tick */
static JoyReading Reading;
static int Connected[JOY_USER_COUNT]; /* as the list shows it; -1 unknown */
/* The list's DirectInput entries after the four XInput ones: the attached
   devices, then the chosen one when it is not attached. */
static JoyController Entries[JOY_DEVICE_MAX + 1];
static bool EntryAttached[JOY_DEVICE_MAX + 1];
static int EntryCount;
static int TicksToMarks;
/* "Set" in progress: the row, when the wait began, and the controls
   held at the last tick (only a control that goes down counts). */
static int WaitButton = -1;
static DWORD WaitStart;
static JoyActive WaitHeld;

static bool IsDirect(void)
{
    return Edited.controller.user == JOY_DIRECT;
}

/* The rows of the list: the sixteen buttons, and for the analog pad the
   four stick axes. */
static int RowCount(void)
{
    return JOY_BUTTON_COUNT + (Edited.analog ? JOY_STICK_COUNT : 0);
}

/* The controls of the chosen controller now; false when it is not there. */
static bool ReadController(JoyActive *active)
{
    memset(active, 0, sizeof *active);
    if (!ReadSource(&Source, &Reading))
        return false;
    JoyActiveOf(Reading, active);
    return true;
}

/* The chosen controller's name in the texts: "controller 2", or the
   product name of a DirectInput device. */
static void ControllerName(char *dst, size_t dstSize)
{
    if (IsDirect())
        BufSet(dst, dstSize, Edited.controller.product);
    else
        BufFormat(dst, dstSize, "controller %d", Edited.controller.user + 1);
}

/* Sets a line only when it changes: the timer would make it flicker. */
static void ShowLine(HWND dialog, int id, const char *text)
{
    char shown[160];
    GetDlgItemTextA(dialog, id, shown, sizeof shown);
    if (strcmp(shown, text) != 0)
        SetDlgItemTextA(dialog, id, text);
}

static void ShowPrompt(HWND dialog, const char *text)
{
    ShowLine(dialog, IDC_PROMPT, text);
}

/* Reads the chosen controller from now on. */
static void UseController(void)
{
    CloseSource(&Source);
    Source.controller = Edited.controller;
    Source.searched = false;
    Source.rested = false;
}

static void SelectController(HWND dialog)
{
    int index = Edited.controller.user;
    for (int i = 0; IsDirect() && i < EntryCount; i++) {
        if (IsEqualGUID(Entries[i].instance, Edited.controller.instance))
            index = JOY_USER_COUNT + i;
    }
    SendDlgItemMessageA(dialog, IDC_CONTROLLER, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

/* The XInput users' connected marks and the DirectInput devices attached
   now; the list changes only where they did. */
static void UpdateMarks(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_CONTROLLER);
    for (int user = 0; user < JOY_USER_COUNT; user++) {
        XINPUT_STATE state;
        int connected = DialogXInput && Source.getState(static_cast<DWORD>(user), &state) == ERROR_SUCCESS;
        if (connected == Connected[user])
            continue;
        Connected[user] = connected;
        char item[64];
        BufFormat(item, sizeof item, "Controller %d (%s)", user + 1,
                  connected ? "connected" : "not connected");
        SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(user), 0);
        SendMessageA(combo, CB_INSERTSTRING, static_cast<WPARAM>(user), reinterpret_cast<LPARAM>(item));
    }

    JoyDevice devices[JOY_DEVICE_MAX];
    int count = ListDirectDevices(&DialogDirect, devices, JOY_DEVICE_MAX);
    JoyController entries[JOY_DEVICE_MAX + 1];
    bool attached[JOY_DEVICE_MAX + 1];
    memset(entries, 0, sizeof entries);
    for (int i = 0; i < count; i++) {
        entries[i].user = JOY_DIRECT;
        entries[i].instance = devices[i].instance;
        BufSet(entries[i].product, sizeof entries[i].product, devices[i].product);
        attached[i] = true;
    }
    int listed = count;
    if (IsDirect()) {
        int found = JoyFindDevice(Edited.controller, devices, count);
        if (found >= 0) {
            /* Found by its name on another port: its GUID is the new one. */
            Edited.controller.instance = devices[found].instance;
        } else {
            entries[listed] = Edited.controller;
            attached[listed++] = false;
        }
    }
    if (listed != EntryCount || memcmp(entries, Entries, sizeof entries[0] * static_cast<size_t>(listed)) != 0 ||
        memcmp(attached, EntryAttached, sizeof attached[0] * static_cast<size_t>(listed)) != 0) {
        while (SendMessageA(combo, CB_GETCOUNT, 0, 0) > JOY_USER_COUNT)
            SendMessageA(combo, CB_DELETESTRING, JOY_USER_COUNT, 0);
        for (int i = 0; i < listed; i++) {
            char item[JOY_PRODUCT_SIZE + 32];
            BufFormat(item, sizeof item, attached[i] ? "%s" : "%s (not connected)", entries[i].product);
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        memcpy(Entries, entries, sizeof entries);
        memcpy(EntryAttached, attached, sizeof attached);
        EntryCount = listed;
    }
    SelectController(dialog);
}

static void ShowButton(HWND dialog, int button)
{
    HWND list = GetDlgItem(dialog, IDC_BUTTONS);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char line[96];
    JoyFormatButton(Edited.map, button, line, sizeof line);
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(button), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(button), reinterpret_cast<LPARAM>(line));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

static void FillButtons(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_BUTTONS);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    INT tabStop = 56;
    SendMessageA(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    for (int button = 0; button < RowCount(); button++) {
        char line[96];
        JoyFormatButton(Edited.map, button, line, sizeof line);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

static void ShowLive(HWND dialog)
{
    char line[160], name[JOY_PRODUCT_SIZE];
    JoyActive active;
    bool there = ReadController(&active);
    ControllerName(name, sizeof name);
    if (!IsDirect() && !DialogXInput) {
        BufSet(line, "XInput is not available on this computer: no controller can be read.");
    } else if (IsDirect() && !DialogDirect.input) {
        BufSet(line, "DirectInput is not available on this computer: this controller cannot be read.");
    } else if (!there) {
        if (IsDirect())
            BufFormat(line, sizeof line, "%s is not connected.", name);
        else
            BufFormat(line, sizeof line, "Controller %d is not connected.", Edited.controller.user + 1);
    } else {
        JoyWords words;
        JoyMapWords(Edited.map, &words);
        uint16_t pressed = JoyButtonsOf(active, words);
        char names[128];
        JoyFormatPressed(pressed, names, sizeof names);
        BufFormat(line, sizeof line, "Pressed now: %s", names);
        if (Edited.analog) {
            uint8_t sticks[JOY_STICK_COUNT];
            JoySticksOf(Reading, Edited.map, sticks);
            char values[64];
            BufFormat(values, sizeof values, ". Right stick %02X %02X, left stick %02X %02X", sticks[0],
                      sticks[1], sticks[2], sticks[3]);
            BufAppend(line, sizeof line, values);
        }
    }
    ShowLine(dialog, IDC_LIVE, line);

    if (WaitButton < 0)
        return;
    bool stick = WaitButton >= JOY_BUTTON_COUNT;
    int control = JoyNewControl(WaitHeld, active, stick);
    WaitHeld = active;
    char prompt[160];
    if (control != JOY_NONE) {
        int button = WaitButton;
        WaitButton = -1;
        JoyAddControl(&Edited.map, button, control);
        ShowButton(dialog, button);
        char controls[96];
        JoyFormatButton(Edited.map, button, controls, sizeof controls);
        const char *tab = strchr(controls, '\t');
        BufFormat(prompt, sizeof prompt, stick ? "%s is driven by %s." : "%s is pressed by %s.",
                  JoyButtonName(button), tab ? tab + 1 : controls);
        ShowPrompt(dialog, prompt);
        return;
    }
    DWORD waited = GetTickCount() - WaitStart;
    if (waited >= kSetWaitMs) {
        BufFormat(prompt, sizeof prompt, "Nothing was pressed in %lu seconds: %s is unchanged.",
                  static_cast<unsigned long>(kSetWaitMs / 1000), JoyButtonName(WaitButton));
        WaitButton = -1;
        ShowPrompt(dialog, prompt);
        return;
    }
    BufFormat(prompt, sizeof prompt,
              stick ? "Move a stick on %s right or down for %s (%lu s left)."
                    : "Press a control on %s for %s (%lu s left).",
              name, JoyButtonName(WaitButton), static_cast<unsigned long>((kSetWaitMs - waited + 999) / 1000));
    ShowPrompt(dialog, prompt);
}

static int SelectedButton(HWND dialog)
{
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_BUTTONS, LB_GETCURSEL, 0, 0);
    return selected >= 0 && selected < RowCount() ? static_cast<int>(selected) : -1;
}

static void StartSet(HWND dialog)
{
    int button = SelectedButton(dialog);
    if (button < 0) {
        ShowPrompt(dialog, "Choose a button in the list first.");
        return;
    }
    WaitButton = button;
    WaitStart = GetTickCount();
    /* What is held now must be let go and pressed again to count. */
    ReadController(&WaitHeld);
    ShowLive(dialog);
}

static void Store(void)
{
    if (!SavedServices || !SavedServices->writeSetting)
        return;
    char value[KOVA_SETTING_SIZE];
    if (JoyWriteController(Edited.controller, value, sizeof value))
        SavedServices->writeSetting(Section, PADJOY_KEY_CONTROLLER, value);
    SavedServices->writeSetting(Section, PADJOY_KEY_PADTYPE, Edited.analog ? "analog" : "digital");
    if (JoyWriteMap(Edited.map, value, sizeof value))
        SavedServices->writeSetting(Section, PADJOY_KEY_MAP, value);
    if (JoyWriteSticks(Edited.map, value, sizeof value))
        SavedServices->writeSetting(Section, PADJOY_KEY_STICKS, value);
}

static void OnInit(HWND dialog)
{
    ReadPadJoySettings(SavedServices, Section, &Edited);
    memset(&Source, 0, sizeof Source);
    DialogXInput = LoadXInput(&Source.getState);
    if (StartDirect(&DialogDirect))
        Source.direct = &DialogDirect;
    Source.window = dialog;
    UseController();
    HWND combo = GetDlgItem(dialog, IDC_CONTROLLER);
    for (int user = 0; user < JOY_USER_COUNT; user++) {
        Connected[user] = -1;
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
    }
    EntryCount = 0;
    UpdateMarks(dialog);
    TicksToMarks = kMarkTicks;
    SendDlgItemMessageA(dialog, IDC_PADTYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Digital"));
    SendDlgItemMessageA(dialog, IDC_PADTYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Analog"));
    SendDlgItemMessageA(dialog, IDC_PADTYPE, CB_SETCURSEL, Edited.analog ? 1 : 0, 0);
    FillButtons(dialog);
    WaitButton = -1;
    ShowPrompt(dialog, "Choose a button, press Set, then press a control on the controller "
                       "within 5 seconds. Set again adds a second control.");
    ShowLive(dialog);
    SetTimer(dialog, kTimerId, kTickMs, NULL);
}

static void OnTimer(HWND dialog)
{
    if (--TicksToMarks <= 0) {
        TicksToMarks = kMarkTicks;
        UpdateMarks(dialog);
    }
    ShowLive(dialog);
}

static void EndWait(HWND dialog, const char *prompt)
{
    WaitButton = -1;
    ShowPrompt(dialog, prompt);
}

static void OnControllerChosen(HWND dialog)
{
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_CONTROLLER, CB_GETCURSEL, 0, 0);
    bool wasDirect = IsDirect();
    if (chosen >= 0 && chosen < JOY_USER_COUNT) {
        Edited.controller.user = static_cast<int>(chosen);
    } else if (chosen >= JOY_USER_COUNT && chosen < JOY_USER_COUNT + EntryCount) {
        Edited.controller = Entries[chosen - JOY_USER_COUNT];
    }
    UseController();
    /* A map with no control of the new kind of controller would press
       nothing: it gets that kind's defaults. */
    if (IsDirect() != wasDirect && !JoyMapUses(Edited.map, IsDirect())) {
        Edited.map = JoyDefaultMap(IsDirect(), Edited.analog);
        FillButtons(dialog);
        EndWait(dialog, IsDirect() ? "The buttons have the defaults of a DirectInput controller."
                                   : "The buttons have the defaults of an XInput controller.");
    } else {
        EndWait(dialog, "");
    }
    ShowLive(dialog);
}

static void OnPadTypeChosen(HWND dialog)
{
    bool analog = SendDlgItemMessageA(dialog, IDC_PADTYPE, CB_GETCURSEL, 0, 0) == 1;
    if (analog == Edited.analog)
        return;
    /* The defaults of one pad type become those of the other (the left
       stick leaves the D-pad of the analog pad); a map of the user's own
       stays. */
    const JoyMap &before = JoyDefaultMap(IsDirect(), Edited.analog);
    if (memcmp(&before, &Edited.map, sizeof before) == 0)
        Edited.map = JoyDefaultMap(IsDirect(), analog);
    Edited.analog = analog;
    FillButtons(dialog);
    EndWait(dialog, "");
    ShowLive(dialog);
}

static INT_PTR CALLBACK PadJoyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_TIMER:
        if (wParam == kTimerId)
            OnTimer(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            Store();
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_SET:
            StartSet(dialog);
            return TRUE;
        case IDC_CLEAR: {
            int button = SelectedButton(dialog);
            if (button >= 0) {
                JoyClearButton(&Edited.map, button);
                ShowButton(dialog, button);
            }
            EndWait(dialog, "");
            return TRUE;
        }
        case IDC_DEFAULTS:
            Edited.map = JoyDefaultMap(IsDirect(), Edited.analog);
            FillButtons(dialog);
            EndWait(dialog, "Every button has its default controls again.");
            return TRUE;
        case IDC_CONTROLLER:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnControllerChosen(dialog);
            return TRUE;
        case IDC_PADTYPE:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnPadTypeChosen(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        KillTimer(dialog, kTimerId);
        return TRUE;
    }
    return FALSE;
}

void RunPadJoyDialog(HostServices *host, const char *section)
{
    SavedServices = host;
    Section = section;
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_PADJOY), host ? host->mainWindow : NULL,
                    PadJoyDialogProc, 0);
    CloseSource(&Source);
    StopDirect(&DialogDirect);
    if (DialogXInput)
        FreeLibrary(DialogXInput);
    DialogXInput = NULL;
    memset(&Source, 0, sizeof Source);
    SavedServices = NULL;
    Section = NULL;
}
