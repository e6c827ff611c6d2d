/* A CD plugin, complete but for one thing: its DllMain refuses the process
   attach, so every LoadLibrary of it fails (ERROR_DLL_INIT_FAILED). */
#include <windows.h>
#include <string.h>

#include "kova_plugin.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}

int32_t KOVA_CALL CD_Open(HostServices *) { return 0; }
void KOVA_CALL CD_Close(void) {}
uint8_t *KOVA_CALL CD_Read(const uint8_t *) { return NULL; }
int32_t KOVA_CALL CD_Play(void) { return 0; }
int32_t KOVA_CALL CD_Stop(void) { return 0; }
int32_t KOVA_CALL CD_GetTN(uint8_t *) { return -1; }
int32_t KOVA_CALL CD_GetTD(uint8_t *, int32_t) { return -1; }
int32_t KOVA_CALL CD_Wait(void) { return 0; }
void KOVA_CALL CD_GetSeek(void) {}
int32_t KOVA_CALL CD_Configure(HostServices *) { return 0; }
void KOVA_CALL CD_About(PluginInfo *info) { memset(info, 0, sizeof *info); }

} /* extern "C" */
