/* A CD plugin for the tests that writes every call it gets to a log file.
 * Its settings, read through readSetting at open, say where the log goes
 * ("RECCD"/"Log") and what open answers ("RECCD"/"OpenResult"). */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kova_plugin.h"

static char LogPath[KOVA_SETTING_SIZE];
static uint8_t Image[CD_SECTOR_IMAGE_SIZE];

static void Log(const char *format, ...)
{
    if (!LogPath[0])
        return;
    FILE *f = fopen(LogPath, "ab");
    if (!f)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputs("\r\n", f);
    fclose(f);
}

extern "C" {

int32_t KOVA_CALL CD_Open(HostServices *host)
{
    char value[KOVA_SETTING_SIZE];
    host->readSetting("RECCD", "Log", LogPath);
    host->readSetting("RECCD", "OpenResult", value);
    int32_t result = atoi(value);
    Log("CD_Open -> %ld", static_cast<long>(result));
    return result;
}

void KOVA_CALL CD_Close(void) { Log("CD_Close"); }

uint8_t *KOVA_CALL CD_Read(const uint8_t *msf)
{
    Log("CD_Read %u:%u:%u", msf[0], msf[1], msf[2]);
    Image[0] = msf[0];
    Image[1] = msf[1];
    Image[2] = msf[2];
    return Image;
}

int32_t KOVA_CALL CD_Play(void) { Log("CD_Play"); return 0; }
int32_t KOVA_CALL CD_Stop(void) { Log("CD_Stop"); return 0; }

int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    Log("CD_GetTN");
    buffer[1] = 1;
    buffer[2] = 2;
    return 0;
}

int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track)
{
    Log("CD_GetTD %ld", static_cast<long>(track));
    buffer[1] = 0;
    buffer[2] = static_cast<uint8_t>(2 + track);
    buffer[3] = 0;
    return 0;
}

int32_t KOVA_CALL CD_Wait(void) { Log("CD_Wait"); return 0; }
void KOVA_CALL CD_GetSeek(void) { Log("CD_GetSeek"); }
int32_t KOVA_CALL CD_Configure(HostServices *) { return 0; }

void KOVA_CALL CD_About(PluginInfo *info)
{
    memset(info, 0, sizeof *info);
    info->type = PLUGIN_CD;
    info->versionMajor = 1;
    strcpy(info->name, "RecordingCD");
}

} /* extern "C" */
