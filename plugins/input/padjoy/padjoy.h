/* padjoy's state shared by its entry points (padjoy.cpp) and its dialog
 * (padjoy_dialog.cpp): the names in KOVA.INI, the settings, and the
 * system's XInput and DirectInput 8, which both load by name at run time
 * (padjoy_direct.cpp reads a controller through either). */
#ifndef PADJOY_H
#define PADJOY_H

#include "padjoy_logic.h"

#include "kova_plugin.h"

/* Each library keeps its settings in a section of its own, so the two
   ports can use different controllers and maps. */
#define PADJOY1_SECTION "PADJOY1"
#define PADJOY2_SECTION "PADJOY2"
#define PADJOY_KEY_CONTROLLER "Controller"
#define PADJOY_KEY_MAP "Map"
#define PADJOY_KEY_STICKS "Sticks"
#define PADJOY_KEY_PADTYPE "PadType"

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

struct PadJoySettings {
    JoyController controller;
    bool analog;  /* "PadType": the analog pad, else the digital one */
    JoyMap map;   /* buttons and sticks */
};

/* The settings of the section through the host's readSetting; what is
   absent or unreadable comes out as its default. A record without a
   reader gives the defaults. */
void ReadPadJoySettings(const HostServices *host, const char *section, PadJoySettings *settings);

typedef DWORD (WINAPI *XInputGetStateFn)(DWORD user, XINPUT_STATE *state);

/* The system's XInput: the first of xinput1_4, xinput1_3 and xinput9_1_0
   that loads and has XInputGetState. Null (and *getState null) when the
   machine has none. The caller frees the library. */
HMODULE LoadXInput(XInputGetStateFn *getState);

/* DirectInput 8 as padjoy uses it: dinput8.dll loaded by name and its
   IDirectInput8A object. Both null when the machine has none. */
struct JoyDirect {
    HMODULE library;
    IDirectInput8A *input;
};
bool StartDirect(JoyDirect *direct);
void StopDirect(JoyDirect *direct);
/* The attached game controllers but those that XInput reads, in
   DirectInput's order; at most max. */
#define JOY_DEVICE_MAX 16
int ListDirectDevices(JoyDirect *direct, JoyDevice *devices, int max);

/* The chosen controller as the polls and the dialog read it. A DirectInput
   device that is not there (not found, pulled out, not acquired again) is
   looked for again at most once a second. */
struct JoySource {
    JoyController controller;
    HWND window;                   /* for the cooperative level */
    XInputGetStateFn getState;     /* null: no XInput */
    JoyDirect *direct;             /* null: no DirectInput */
    IDirectInputDevice8A *device;  /* open while the device is there */
    JoyDirectShape shape;
    bool needsPoll;
    bool rested;                   /* the resting values are read (once per controller) */
    bool searched;
    DWORD lastSearch;
};
/* Reads the controller now; false (and nothing held) when it is not
   there. */
bool ReadSource(JoySource *source, JoyReading *reading);
/* Lets go of the device; the source stays as set up. */
void CloseSource(JoySource *source);

/* Runs the dialog for the section ("Game Controller"); OK stores the keys
   through the record's writeSetting. */
void RunPadJoyDialog(HostServices *host, const char *section);

#endif
