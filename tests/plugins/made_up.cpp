/* The made-up plugins of the tests, one library per set of definitions
 * (tests/plugins/CMakeLists.txt):
 *   MADE_FAMILY         GPU, SPU, JOY0, JOY1 or CD: that family's about and
 *                       configure entry points
 *   MADE_TYPE, MADE_MAJOR, MADE_MINOR, MADE_NAME   the record about hands
 *                       out; without MADE_NAME the name is the library's
 *                       own file name, so every copy is a plugin of its own
 *   MADE_UNTERMINATED   every text field filled to its last byte
 *   MADE_WRONG_DOOR     also a CD_About (type 1, "WrongDoor") that a host
 *                       trying the families in order must never ask
 *   MADE_DLLMAIN_FAILS  the library refuses the process attach
 *   MADE_CD_ENTRIES     the other CD entry points; each call goes to the log
 *                       file named by "RECCD"/"Log", and open answers
 *                       "RECCD"/"OpenResult" (both read at open)
 *   MADE_RECORDER       configure writes the record it got into section
 *                       "RECORDER"; otherwise configure writes the path of
 *                       the library that answered into "PROBE"/"Module" */
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kova_plugin.h"
#include "kova_str.h"

#define EXPORT extern "C" __declspec(dllexport)
#define ENTRY2(prefix, operation) prefix##_##operation
#define ENTRY(prefix, operation) ENTRY2(prefix, operation)

#ifndef MADE_MAJOR
#define MADE_MAJOR 1
#endif
#ifndef MADE_MINOR
#define MADE_MINOR 0
#endif

static HINSTANCE Self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Self = instance;
#ifdef MADE_DLLMAIN_FAILS
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
#else
    return TRUE;
#endif
}

[[maybe_unused]] static void Fill(PluginInfo *info, int type, const char *name)
{
    memset(info, 0, sizeof *info);
#ifdef MADE_UNTERMINATED
    (void)name;
    memset(info->author, 'a', sizeof info->author);
    memset(info->name, 'n', sizeof info->name);
    memset(info->description, 'd', sizeof info->description);
#else
    BufSet(info->author, "Test Author");
    BufSet(info->description, "A plugin made up for the tests.\r\nSecond line.");
    if (name) {
        BufSet(info->name, name);
    } else {
        /* The file name without folder and extension, cut to the field. */
        char path[MAX_PATH] = "";
        GetModuleFileNameA(Self, path, sizeof path);
        const char *base = strrchr(path, '\\');
        char own[MAX_PATH];
        BufSet(own, base ? base + 1 : path);
        char *dot = strrchr(own, '.');
        if (dot)
            *dot = '\0';
        BufSet(info->name, own);
    }
#endif
    info->type = static_cast<PluginType>(type);
    info->versionMajor = MADE_MAJOR;
    info->versionMinor = MADE_MINOR;
    info->reserved = 0xA5;
}

#ifdef MADE_FAMILY
#ifndef MADE_NAME
#define MADE_NAME NULL
#endif
EXPORT void KOVA_CALL ENTRY(MADE_FAMILY, About)(PluginInfo *info) { Fill(info, MADE_TYPE, MADE_NAME); }

#ifdef MADE_RECORDER
/* The record it received, byte by byte in hex, what readSetting gives for
   "RECORDER"/"Probe", its result, the owner window's caption, and that
   caption as readSetting gives it back. */
EXPORT int32_t KOVA_CALL ENTRY(MADE_FAMILY, Configure)(HostServices *host)
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
    host->writeSetting("RECORDER", "Record", hex);
    host->writeSetting("RECORDER", "Probe", probe);
    host->writeSetting("RECORDER", "ReadResult", line);
    host->writeSetting("RECORDER", "OwnerCaption", caption);
    /* Its own write, read back while its call still runs. */
    char pending[KOVA_SETTING_SIZE] = "";
    host->readSetting("RECORDER", "OwnerCaption", pending);
    host->writeSetting("RECORDER", "Pending", pending);
    return 0;
}
#else
EXPORT int32_t KOVA_CALL ENTRY(MADE_FAMILY, Configure)(HostServices *host)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(Self, path, sizeof path);
    if (host && host->writeSetting)
        host->writeSetting("PROBE", "Module", path);
    return 0;
}
#endif
#endif

#ifdef MADE_WRONG_DOOR
EXPORT void KOVA_CALL CD_About(PluginInfo *info) { Fill(info, PLUGIN_GPU, "WrongDoor"); }
#endif

#ifdef MADE_CD_ENTRIES
static char LogPath[KOVA_SETTING_SIZE];
static uint8_t Image[CD_SECTOR_IMAGE_SIZE];

static void Log(const char *format, ...)
{
    FILE *f = LogPath[0] ? fopen(LogPath, "ab") : NULL;
    if (!f)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputs("\r\n", f);
    fclose(f);
}

EXPORT int32_t KOVA_CALL CD_Open(HostServices *host)
{
    char value[KOVA_SETTING_SIZE] = "", store[KOVA_SETTING_SIZE] = "";
    if (host && host->readSetting) {
        host->readSetting("RECCD", "Log", LogPath);
        host->readSetting("RECCD", "OpenResult", value);
        host->readSetting("RECCD", "Store", store);
    }
    /* A write while the emulator hosts it: "Stored" gets "Store". */
    if (store[0] && host->writeSetting)
        host->writeSetting("RECCD", "Stored", store);
    int32_t result = atoi(value);
    Log("CD_Open -> %ld", static_cast<long>(result));
    return result;
}

EXPORT void KOVA_CALL CD_Close(void) { Log("CD_Close"); }

EXPORT uint8_t *KOVA_CALL CD_Read(const uint8_t *msf)
{
    Log("CD_Read %u:%u:%u", msf[0], msf[1], msf[2]);
    memcpy(Image, msf, 3);
    return Image;
}

EXPORT int32_t KOVA_CALL CD_Play(void) { Log("CD_Play"); return 0; }
EXPORT int32_t KOVA_CALL CD_Stop(void) { Log("CD_Stop"); return 0; }

EXPORT int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    Log("CD_GetTN");
    buffer[1] = 1;
    buffer[2] = 2;
    return 0;
}

EXPORT int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track)
{
    Log("CD_GetTD %ld", static_cast<long>(track));
    buffer[1] = 0;
    buffer[2] = static_cast<uint8_t>(2 + track);
    buffer[3] = 0;
    return 0;
}

EXPORT int32_t KOVA_CALL CD_Wait(void) { Log("CD_Wait"); return 0; }
EXPORT void KOVA_CALL CD_GetSeek(void) { Log("CD_GetSeek"); }
#endif
