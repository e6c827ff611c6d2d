/* cdidle: a CD-ROM plugin without a drive, for programs that need no disc.
 * Every read hands back the same empty sector image and raises the
 * read-error status, so the emulator sees "no disc data" rather than
 * stale or made-up bytes. */
#include <windows.h>

#include "cd_plugin.h"

const PluginInfo kInfo = {
    PLUGIN_CD, 0, 1, 0,
    "Tovrin",
    "CDIdle",
    "This Plugin is a dummy CD driver. Use it only for running demos and executables "
    "that don't need CD-ROM accesses.",
};

/* Never written: every read returns it as it is. */
static uint8_t EmptySector[CD_SECTOR_IMAGE_SIZE];

extern "C" {

int32_t KOVA_CALL CD_Open(HostServices *)
{
    return 0;
}

void KOVA_CALL CD_Close(void)
{
}

uint8_t *KOVA_CALL CD_Read(const uint8_t *)
{
    CdReadError = 1;
    return EmptySector;
}

int32_t KOVA_CALL CD_GetTN(uint8_t *buffer)
{
    buffer[1] = 1;
    buffer[2] = 3;
    return 0;
}

int32_t KOVA_CALL CD_GetTD(uint8_t *, int32_t)
{
    return 0;
}

int32_t KOVA_CALL CD_Configure(HostServices *host)
{
    MessageBoxA(host ? host->mainWindow : NULL, "No configuration is required", "CDIdle config", MB_OK);
    return 0;
}

} /* extern "C" */
