/* padjoy: a digital pad on a game controller, read through XInput. One
 * code for two libraries: padjoy1.dll on port 1 (JOY0_) and padjoy2.dll on
 * port 2 (JOY1_); the entry points of both ports forward here
 * (pad_entry.h) and each library's .def exports the set of its own port. Each port has its own
 * section in KOVA.INI: which controller, and which of its controls presses
 * each pad button (padjoy_dialog.cpp). */
#include "padjoy.h"

#include <string.h>

#include "kova_module.h"
#include "kova_str.h"
#include "pad_entry.h"
#include "pad_report.h"

#define PADJOY_DESCRIPTION                                                            \
    "A digital pad on a game controller (XInput). Configure chooses the controller " \
    "and which of its controls presses each button."

static const PluginInfo kInfo1 = { PLUGIN_JOY0, 0, 1, 0, "KOVA", "PadJoy1", PADJOY_DESCRIPTION };
static const PluginInfo kInfo2 = { PLUGIN_JOY1, 0, 1, 0, "KOVA", "PadJoy2", PADJOY_DESCRIPTION };

HINSTANCE ModuleInstance;

/* Module state, one set per loaded library (which serves one port). */
static HMODULE XInput;                /* null when closed or the machine has none */
static XInputGetStateFn GetState;
static PadJoySettings Settings;       /* read at open */
static JoyWords Words;                /* Settings.map as the polls use it */

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

void ReadPadJoySettings(const HostServices *host, const char *section, PadJoySettings *settings)
{
    char value[KOVA_SETTING_SIZE];
    settings->controller = 0;
    settings->map = kJoyDefaultMap;
    if (!host || !host->readSetting)
        return;
    value[0] = '\0';
    host->readSetting(section, PADJOY_KEY_CONTROLLER, value);
    BufTerminate(value, sizeof value);
    settings->controller = JoyReadController(value);
    value[0] = '\0';
    host->readSetting(section, PADJOY_KEY_MAP, value);
    BufTerminate(value, sizeof value);
    JoyReadMap(value, &settings->map);
}

HMODULE LoadXInput(XInputGetStateFn *getState)
{
    /* Newest first: xinput1_4 comes with Windows 8 and later, xinput1_3
       with the DirectX runtime, xinput9_1_0 with Windows Vista and 7. */
    static const char *const kNames[] = { "xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll" };
    for (size_t i = 0; i < dimof(kNames); i++) {
        HMODULE library = LoadLibraryQuietly(kNames[i]);
        if (!library)
            continue;
        XInputGetStateFn fn = GetProcAs<XInputGetStateFn>(library, "XInputGetState");
        if (fn) {
            *getState = fn;
            return library;
        }
        FreeLibrary(library);
    }
    *getState = NULL;
    return NULL;
}

static void Close(int)
{
    GetState = NULL;
    if (XInput) {
        FreeLibrary(XInput);
        XInput = NULL;
    }
}

/* Never fails: without XInput the pad is there and nothing is pressed, so
   the emulator runs as with any other pad. */
static const char *const kSections[2] = { PADJOY1_SECTION, PADJOY2_SECTION };

static int32_t Open(HostServices *host, int port)
{
    Close(port);
    ReadPadJoySettings(host, kSections[port], &Settings);
    JoyMapWords(Settings.map, &Words);
    XInput = LoadXInput(&GetState);
    return 0;
}

/* One XInputGetState per poll. A controller that is not connected reports
   every button released; the first poll that finds it again uses it. */
static void Poll(uint8_t *report, int)
{
    uint16_t pressed = 0;
    if (GetState) {
        XINPUT_STATE state;
        memset(&state, 0, sizeof state);
        if (GetState(static_cast<DWORD>(Settings.controller), &state) == ERROR_SUCCESS)
            pressed = JoyButtonsOf(JoyActiveControls(state.Gamepad), Words);
    }
    PadWriteButtons(report, pressed);
}

static void Configure(HostServices *host, int port)
{
    RunPadJoyDialog(host, kSections[port]);
}

const PadPlugin kPadPlugin = {
    { &kInfo1, &kInfo2 }, PadWriteDigitalHeader, Open, Close, Poll, Configure, NULL, NULL,
};
