/* padjoy's configure entry points run this dialog, "Game Controller": the
 * controller to use (XInput's four user indexes, each marked connected or
 * not), the sixteen pad buttons with the controls that press them, "Set"
 * (waits up to five seconds for a press on the chosen controller and maps
 * it to the selected button; a second Set adds a second control), "Clear",
 * "Defaults", and a live line of the pad buttons the controller presses
 * now, so the user can try the map before playing. It opens on the stored
 * settings; OK stores "Controller" and "Map" through the host's
 * writeSetting, Cancel and Esc store nothing. */
#include "padjoy.h"

#include <string.h>

#include "kova_str.h"
#include "resource.h"

/* How often the controller is read while the dialog is up; the connected
   marks of the list are read again every this many ticks (asking XInput
   about controllers that are not there is slow on some systems). */
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
static XInputGetStateFn DialogGetState;
static int Connected[JOY_USER_COUNT]; /* as the list shows it; -1 unknown */
static int TicksToMarks;
/* "Set" in progress: the button, when the wait began, and the controls
   held at the last tick (only a control that goes down counts). */
static int WaitButton = -1;
static DWORD WaitStart;
static uint32_t WaitHeld;

/* The controls of the chosen controller now; false when it is not there. */
static bool ReadController(int user, uint32_t *active)
{
    *active = 0;
    if (!DialogGetState)
        return false;
    XINPUT_STATE state;
    memset(&state, 0, sizeof state);
    if (DialogGetState(static_cast<DWORD>(user), &state) != ERROR_SUCCESS)
        return false;
    *active = JoyActiveControls(state.Gamepad);
    return true;
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

static void UpdateMarks(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_CONTROLLER);
    for (int user = 0; user < JOY_USER_COUNT; user++) {
        uint32_t active;
        int connected = ReadController(user, &active) ? 1 : 0;
        if (connected == Connected[user])
            continue;
        Connected[user] = connected;
        char item[64];
        BufFormat(item, sizeof item, "Controller %d (%s)", user + 1,
                  connected ? "connected" : "not connected");
        SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(user), 0);
        SendMessageA(combo, CB_INSERTSTRING, static_cast<WPARAM>(user), reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(Edited.controller), 0);
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
    INT tabStop = 48;
    SendMessageA(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    for (int button = 0; button < JOY_BUTTON_COUNT; button++) {
        char line[96];
        JoyFormatButton(Edited.map, button, line, sizeof line);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
}

static void ShowLive(HWND dialog)
{
    char line[160];
    uint32_t active = 0;
    if (!DialogXInput) {
        BufSet(line, "XInput is not available on this computer: no controller can be read.");
    } else if (!ReadController(Edited.controller, &active)) {
        BufFormat(line, sizeof line, "Controller %d is not connected.", Edited.controller + 1);
    } else {
        JoyWords words;
        JoyMapWords(Edited.map, &words);
        uint16_t pressed = JoyButtonsOf(active, words);
        char names[128];
        JoyFormatPressed(pressed, names, sizeof names);
        BufFormat(line, sizeof line, "Pressed now: %s", names);
    }
    ShowLine(dialog, IDC_LIVE, line);

    if (WaitButton < 0)
        return;
    int control = JoyNewControl(WaitHeld, active);
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
        BufFormat(prompt, sizeof prompt, "%s is pressed by %s.", JoyButtonName(button),
                  tab ? tab + 1 : controls);
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
    BufFormat(prompt, sizeof prompt, "Press a control on controller %d for %s (%lu s left).",
              Edited.controller + 1, JoyButtonName(WaitButton),
              static_cast<unsigned long>((kSetWaitMs - waited + 999) / 1000));
    ShowPrompt(dialog, prompt);
}

static int SelectedButton(HWND dialog)
{
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_BUTTONS, LB_GETCURSEL, 0, 0);
    return selected >= 0 && selected < JOY_BUTTON_COUNT ? static_cast<int>(selected) : -1;
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
    ReadController(Edited.controller, &WaitHeld);
    ShowLive(dialog);
}

static void Store(void)
{
    if (!SavedServices || !SavedServices->writeSetting)
        return;
    char controller[2] = { static_cast<char>('0' + Edited.controller), '\0' };
    char map[KOVA_SETTING_SIZE];
    SavedServices->writeSetting(Section, PADJOY_KEY_CONTROLLER, controller);
    if (JoyWriteMap(Edited.map, map, sizeof map))
        SavedServices->writeSetting(Section, PADJOY_KEY_MAP, map);
}

static void OnInit(HWND dialog)
{
    ReadPadJoySettings(SavedServices, Section, &Edited);
    DialogXInput = LoadXInput(&DialogGetState);
    HWND combo = GetDlgItem(dialog, IDC_CONTROLLER);
    for (int user = 0; user < JOY_USER_COUNT; user++) {
        Connected[user] = -1;
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
    }
    UpdateMarks(dialog);
    TicksToMarks = kMarkTicks;
    FillButtons(dialog);
    SendDlgItemMessageA(dialog, IDC_BUTTONS, LB_SETCURSEL, 0, 0);
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
            Edited.map = kJoyDefaultMap;
            FillButtons(dialog);
            SendDlgItemMessageA(dialog, IDC_BUTTONS, LB_SETCURSEL, 0, 0);
            EndWait(dialog, "Every button has its default controls again.");
            return TRUE;
        case IDC_CONTROLLER:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                LRESULT chosen = SendDlgItemMessageA(dialog, IDC_CONTROLLER, CB_GETCURSEL, 0, 0);
                if (chosen >= 0 && chosen < JOY_USER_COUNT)
                    Edited.controller = static_cast<int>(chosen);
                EndWait(dialog, "");
                ShowLive(dialog);
            }
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
    if (DialogXInput)
        FreeLibrary(DialogXInput);
    DialogXInput = NULL;
    DialogGetState = NULL;
    SavedServices = NULL;
    Section = NULL;
}
