/* padjoy's state shared by its entry points (padjoy.cpp) and its dialog
 * (padjoy_dialog.cpp): the names in KOVA.INI, the settings, and the
 * system's XInput, which both load by name at run time. */
#ifndef PADJOY_H
#define PADJOY_H

#include <windows.h>
#include <xinput.h>

#include "kova_plugin.h"
#include "padjoy_logic.h"

/* Each library keeps its settings in a section of its own, so the two
   ports can use different controllers and maps. */
#define PADJOY1_SECTION "PADJOY1"
#define PADJOY2_SECTION "PADJOY2"
#define PADJOY_KEY_CONTROLLER "Controller"
#define PADJOY_KEY_MAP "Map"

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

struct PadJoySettings {
    int controller;  /* XInput user index, 0 to 3 */
    JoyMap map;
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

/* Runs the dialog for the section ("Game Controller"); OK stores both keys
   through the record's writeSetting. */
void RunPadJoyDialog(HostServices *host, const char *section);

#endif
