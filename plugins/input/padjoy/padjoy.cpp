/* padjoy: a digital or analog pad on a game controller, read through
 * XInput or DirectInput (padjoy_direct.cpp). One code for two libraries:
 * padjoy1.dll on port 1 (JOY0_) and padjoy2.dll on port 2 (JOY1_); the
 * entry points of both ports forward here (pad_entry.h) and each library's
 * .def exports the set of its own port. Each port has its own section in
 * KOVA.INI: which controller, the pad type, and which of its controls
 * presses each pad button or moves each stick (padjoy_dialog.cpp). */
#include "padjoy.h"

#include <string.h>

#include "kova_module.h"
#include "kova_str.h"
#include "pad_entry.h"
#include "pad_report.h"

#define PADJOY_DESCRIPTION                                                                  \
    "A digital or analog pad on a game controller (XInput or DirectInput). Configure chooses " \
    "the controller, the pad type and which of its controls presses each button."

static const PluginInfo kInfo1 = { PLUGIN_JOY0, 0, 1, 0, "KOVA", "PadJoy1", PADJOY_DESCRIPTION };
static const PluginInfo kInfo2 = { PLUGIN_JOY1, 0, 1, 0, "KOVA", "PadJoy2", PADJOY_DESCRIPTION };

HINSTANCE ModuleInstance;

/* Module state, one set per loaded library (which serves one port). */
static HMODULE XInput;                /* null when closed or the machine has none */
static JoyDirect Direct;              /* started at open for a DirectInput controller */
static JoySource Source;              /* the controller the polls read */
static PadJoySettings Settings;       /* read at open */
static JoyWords Words;                /* Settings.map as the polls use it */
static JoyReading Reading;            /* the last poll's; kept here, it is large */

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

/* One key of the section, "" when absent or without a reader. */
static void ReadKey(const HostServices *host, const char *section, const char *key, char *value)
{
    value[0] = '\0';
    if (!host || !host->readSetting)
        return;
    host->readSetting(section, key, value);
    BufTerminate(value, KOVA_SETTING_SIZE);
}

void ReadPadJoySettings(const HostServices *host, const char *section, PadJoySettings *settings)
{
    char value[KOVA_SETTING_SIZE];
    ReadKey(host, section, PADJOY_KEY_CONTROLLER, value);
    JoyReadController(value, &settings->controller);
    ReadKey(host, section, PADJOY_KEY_PADTYPE, value);
    settings->analog = JoyReadAnalog(value);
    /* What cannot be read keeps the defaults of this kind of controller
       and pad. */
    settings->map = JoyDefaultMap(settings->controller.user == JOY_DIRECT, settings->analog);
    ReadKey(host, section, PADJOY_KEY_MAP, value);
    JoyReadMap(value, &settings->map);
    ReadKey(host, section, PADJOY_KEY_STICKS, value);
    JoyReadSticks(value, &settings->map);
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
    CloseSource(&Source);
    StopDirect(&Direct);
    memset(&Source, 0, sizeof Source);
    if (XInput) {
        FreeLibrary(XInput);
        XInput = NULL;
    }
}

static const char *const kSections[2] = { PADJOY1_SECTION, PADJOY2_SECTION };

/* Never fails: without XInput or DirectInput the pad is there and nothing
   is pressed, so the emulator runs as with any other pad. DirectInput is
   started only for a DirectInput controller. */
static int32_t Open(HostServices *host, int port)
{
    Close(port);
    ReadPadJoySettings(host, kSections[port], &Settings);
    JoyMapWords(Settings.map, &Words);
    XInput = LoadXInput(&Source.getState);
    Source.controller = Settings.controller;
    Source.window = host ? host->mainWindow : NULL;
    if (Settings.controller.user == JOY_DIRECT && StartDirect(&Direct))
        Source.direct = &Direct;
    return 0;
}

/* The pad type is read at open: before it, the digital pad. */
static int32_t WriteHeader(uint8_t *report)
{
    return PadWriteHeader(report, Settings.analog ? PAD_ID_ANALOG : PAD_ID_DIGITAL);
}

/* One read of the controller per poll: XInputGetState, or DirectInput's
   state of the device. A controller that is not there reports every
   button released and the sticks at rest; the first poll that finds it
   again uses it. */
static void Poll(uint8_t *report, int)
{
    uint16_t pressed = 0;
    bool there = ReadSource(&Source, &Reading);
    if (there) {
        JoyActive active;
        JoyActiveOf(Reading, &active);
        pressed = JoyButtonsOf(active, Words);
    }
    if (!Settings.analog) {
        PadWriteButtons(report, pressed);
        return;
    }
    uint8_t sticks[JOY_STICK_COUNT] = { 0x80, 0x80, 0x80, 0x80 };
    if (there)
        JoySticksOf(Reading, Settings.map, sticks);
    PadWriteAnalog(report, pressed, sticks);
}

static void Configure(HostServices *host, int port)
{
    RunPadJoyDialog(host, kSections[port]);
}

const PadPlugin kPadPlugin = {
    { &kInfo1, &kInfo2 }, WriteHeader, Open, Close, Poll, Configure, NULL, NULL,
};
