/* The eleven entry points every CD plugin exports (its .def lists them by
 * these names), declared once so that each plugin's definitions are held
 * to the types of the contract. CD_Play, CD_Stop, CD_Wait, CD_GetSeek and
 * CD_About are alike in every plugin and written once (cd_entry.cpp); a
 * plugin's entry file defines the other six, its kInfo, and raises
 * CdReadError where a read fails. */
#ifndef CD_PLUGIN_H
#define CD_PLUGIN_H

#include <stdint.h>

#include "kova_plugin.h"

/* The plugin's record, which CD_About copies out; defined in each
   plugin's entry file. */
extern const PluginInfo kInfo;
/* The read-error status: raised by a read that found no sector, cleared
   and reported once by CD_Wait. */
extern int32_t CdReadError;

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
