/* Made-up plugins for the configurator's catalogue tests, one library per
 * set of definitions (see CMakeLists.txt):
 *   FAKE_ABOUT_<FAMILY>  export that family's about entry point
 *   FAKE_TYPE, FAKE_MAJOR, FAKE_MINOR, FAKE_NAME   the record it hands out
 *   FAKE_SECOND_TYPE, FAKE_SECOND_NAME   what CD_About answers when GPU_About
 *                        is exported too (it must never be asked)
 *   FAKE_UNTERMINATED    every text field filled to its last byte
 *   FAKE_DLLMAIN_FAILS   the library refuses to load
 *   FAKE_NO_ABOUT        exports an open entry point only
 *   FAKE_RECORDER        a configure entry point that writes what it got
 *                        into KOVA.INI, section "RECORDER" */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "kova_plugin.h"

#define EXPORT extern "C" __declspec(dllexport)

#ifndef FAKE_TYPE
#define FAKE_TYPE PLUGIN_CD
#endif
#ifndef FAKE_MAJOR
#define FAKE_MAJOR 1
#endif
#ifndef FAKE_MINOR
#define FAKE_MINOR 0
#endif
#ifndef FAKE_NAME
#define FAKE_NAME "Fake"
#endif

[[maybe_unused]] static void Fill(PluginInfo *info, int type, const char *name)
{
#ifdef FAKE_UNTERMINATED
    (void)name;
    memset(info->author, 'a', sizeof info->author);
    memset(info->name, 'n', sizeof info->name);
    memset(info->description, 'd', sizeof info->description);
#else
    memset(info, 0, sizeof *info);
    strcpy(info->author, "Test Author");
    strcpy(info->name, name);
    strcpy(info->description, "A plugin made up for the tests.\r\nSecond line.");
#endif
    info->type = static_cast<PluginType>(type);
    info->versionMajor = FAKE_MAJOR;
    info->versionMinor = FAKE_MINOR;
    info->reserved = 0xA5;
}

#ifdef FAKE_DLLMAIN_FAILS
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}
#endif

#ifdef FAKE_NO_ABOUT
EXPORT int32_t KOVA_CALL CD_Open(HostServices *) { return 0; }
#endif

#ifdef FAKE_ABOUT_GPU
EXPORT void KOVA_CALL GPU_About(PluginInfo *info) { Fill(info, FAKE_TYPE, FAKE_NAME); }
#endif
#ifdef FAKE_ABOUT_SPU
EXPORT void KOVA_CALL SPU_About(PluginInfo *info) { Fill(info, FAKE_TYPE, FAKE_NAME); }
#endif
#ifdef FAKE_ABOUT_JOY0
EXPORT void KOVA_CALL JOY0_About(PluginInfo *info) { Fill(info, FAKE_TYPE, FAKE_NAME); }
#endif
#ifdef FAKE_ABOUT_JOY1
EXPORT void KOVA_CALL JOY1_About(PluginInfo *info) { Fill(info, FAKE_TYPE, FAKE_NAME); }
#endif
#ifdef FAKE_ABOUT_CD
EXPORT void KOVA_CALL CD_About(PluginInfo *info)
{
#ifdef FAKE_SECOND_TYPE
    Fill(info, FAKE_SECOND_TYPE, FAKE_SECOND_NAME);
#else
    Fill(info, FAKE_TYPE, FAKE_NAME);
#endif
}
#endif

#ifdef FAKE_RECORDER
static void Write(HostServices *host, const char *key, const char *value)
{
    host->writeSetting("RECORDER", key, value);
}

/* Writes the record it received, byte by byte in hex, what readSetting
   gives for "RECORDER"/"Probe", and the owner window's caption. */
EXPORT int32_t KOVA_CALL SPU_Configure(HostServices *host)
{
    char hex[2 * sizeof(HostServices) + 1];
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(host);
    for (size_t i = 0; i < sizeof(HostServices); i++)
        sprintf(hex + 2 * i, "%02x", bytes[i]);
    char probe[KOVA_SETTING_SIZE];
    memset(probe, 0xCC, sizeof probe);
    int32_t result = host->readSetting("RECORDER", "Probe", probe);
    char caption[256] = "";
    GetWindowTextA(host->mainWindow, caption, sizeof caption);
    char line[64];
    sprintf(line, "%ld", static_cast<long>(result));
    Write(host, "Record", hex);
    Write(host, "Probe", probe);
    Write(host, "ReadResult", line);
    Write(host, "OwnerCaption", caption);
    return 0;
}
#endif
