/* CD plugins whose about record breaks the rules a host must not rely on:
 * a family code outside 1..5 (BAD_INFO_TYPE), or texts that fill their
 * fields to the last byte without a terminator (BAD_INFO_UNTERMINATED).
 * Everything else is an ordinary, idle CD plugin, so that only the record
 * tells them apart. For the configurator's plugin scan. */
#include <windows.h>
#include <string.h>

#include "kova_plugin.h"

#ifndef BAD_INFO_TYPE
#define BAD_INFO_TYPE PLUGIN_CD
#endif

static PluginInfo Info;
static uint8_t EmptySector[CD_SECTOR_IMAGE_SIZE];

static void FillInfo(PluginInfo *info)
{
    memset(info, 0, sizeof *info);
    info->type = BAD_INFO_TYPE;
    info->versionMajor = 1;
    info->versionMinor = 0;
#ifdef BAD_INFO_UNTERMINATED
    /* Every byte of every text is a letter; the next field follows at once. */
    memset(info->author, 'A', sizeof info->author);
    memset(info->name, 'N', sizeof info->name);
    memset(info->description, 'D', sizeof info->description);
#else
    strcpy(info->author, "Hostile");
    strcpy(info->name, "Type " BAD_INFO_NAME);
    strcpy(info->description, "A CD plugin whose record gives family code " BAD_INFO_NAME ".");
#endif
}

extern "C" {

int32_t KOVA_CALL CD_Open(HostServices *) { return 0; }
void KOVA_CALL CD_Close(void) {}
uint8_t *KOVA_CALL CD_Read(const uint8_t *) { return EmptySector; }
int32_t KOVA_CALL CD_Play(void) { return 0; }
int32_t KOVA_CALL CD_Stop(void) { return 0; }
int32_t KOVA_CALL CD_GetTN(uint8_t *) { return -1; }
int32_t KOVA_CALL CD_GetTD(uint8_t *, int32_t) { return -1; }
int32_t KOVA_CALL CD_Wait(void) { return 0; }
void KOVA_CALL CD_GetSeek(void) {}
int32_t KOVA_CALL CD_Configure(HostServices *) { return 0; }

void KOVA_CALL CD_About(PluginInfo *info)
{
    FillInfo(&Info);
    memcpy(info, &Info, sizeof Info);
}

} /* extern "C" */
