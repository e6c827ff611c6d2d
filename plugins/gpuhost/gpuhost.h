/* gpuhost's module state, shared by the entry points (gpuhost.cpp) and the
 * selection dialog (gpuhost_dialog.cpp), and its names in KOVA.INI. One set
 * per loaded copy of the library; the entry points are called one at a
 * time. */
#ifndef GPUHOST_H
#define GPUHOST_H

#include <windows.h>

#include "kova_plugin.h"

/* The choice of hosted plugin: its bare file name in PLUGIN\PSEMU\. */
#define GPUHOST_SECTION "GPUHOST"
#define GPUHOST_KEY_PLUGIN "PluginName"
#define GPUHOST_PSEMU_FOLDER "PSEMU\\"

/* The hosted PSEmu Pro GPU plugin loaded last: its handle and one pointer
   per function, null where the library does not export it. */
struct HostedFunctions {
    HMODULE library;
#define GPUHOST_API_POINTER(name) Pse##name##Fn name;
    PSE_GPU_FUNCTIONS(GPUHOST_API_POINTER)
#undef GPUHOST_API_POINTER
};

extern HostedFunctions HostedGpuApi;
/* A directory ending in a backslash: gpuhost's own until GPU_Open, the
   emulator's from then on. */
extern char baseDirectory[MAX_PATH];
/* This library's module, which holds the dialog template. */
extern HINSTANCE ModuleInstance;

/* Loads the library at path and looks up all 17 functions. 0 on success;
   -1 when it does not load, leaving the earlier pointers as they were and
   only the handle replaced. */
int LoadHostedPlugin(const char *path);
/* Frees the library loaded last and forgets its handle. */
void UnloadHostedPlugin();

#endif
