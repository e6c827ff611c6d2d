/* The entry points every CD plugin defines the same way: no audio to play
 * or stop, no seek to report, the read-error status reported once, and the
 * plugin's record copied out. Each plugin's library exports them (its .def)
 * beside its own; the linker takes this file in for CdReadError, which
 * every plugin's CD_Read sets. */
#include <string.h>

#include "cd_plugin.h"

int32_t CdReadError;

extern "C" {

int32_t KOVA_CALL CD_Play(void)
{
    return 0;
}

int32_t KOVA_CALL CD_Stop(void)
{
    return 0;
}

int32_t KOVA_CALL CD_Wait(void)
{
    if (CdReadError) {
        CdReadError = 0;
        return -1;
    }
    return 0;
}

void KOVA_CALL CD_GetSeek(void)
{
}

void KOVA_CALL CD_About(PluginInfo *info)
{
    memcpy(info, &kInfo, sizeof kInfo);
}

} /* extern "C" */
