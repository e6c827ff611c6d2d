/* The eleven entry points every CD plugin exports (its .def lists them by
 * these names), declared once so that each plugin's definitions are held
 * to the types of the contract. */
#ifndef CD_PLUGIN_H
#define CD_PLUGIN_H

#include <stdint.h>

#include "kova_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t KOVA_CALL CD_Open(HostServices *host);
void KOVA_CALL CD_Close(void);
uint8_t *KOVA_CALL CD_Read(const uint8_t *msf);
int32_t KOVA_CALL CD_Play(void);
int32_t KOVA_CALL CD_Stop(void);
int32_t KOVA_CALL CD_GetTN(uint8_t *buffer);
int32_t KOVA_CALL CD_GetTD(uint8_t *buffer, int32_t track);
int32_t KOVA_CALL CD_Wait(void);
void KOVA_CALL CD_GetSeek(void);
int32_t KOVA_CALL CD_Configure(HostServices *host);
void KOVA_CALL CD_About(PluginInfo *info);

#ifdef __cplusplus
}
#endif

#endif
