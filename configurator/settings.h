/* KOVA.INI (settings.cpp): section "KOVA" read at start-up and the values
 * Save writes into it, the two settings callbacks of HostServices, and the
 * rules for the section's values, which touch no file so that tests reach
 * them directly. */
#ifndef KOVACFG_SETTINGS_H
#define KOVACFG_SETTINGS_H

#include <windows.h>

#include "kova_plugin.h"

/* The section's flags, as the main dialog shows them and Save writes them. */
struct Settings {
    int emulateBios, cpuMode, verbose, disasm, debugger, cdUseCache, useSerial, cdCountry;
    int biosAvailable;  /* at least one BIOS image listed; not stored */
};
extern Settings settings;

void ResetSettings();
void LoadSettings();
/* Takes section "KOVA"'s values from the main dialog's controls and the
   flags, as Save writes them; returns the bytes they add to the file at
   most. Nothing is written. */
ULONGLONG TakeSectionValues(HWND dialog);
/* Writes the values taken as one batch: KOVA.INI ends up with all of them
   or as it was (false). */
bool WriteSectionValues();
/* The settings callbacks over KOVA.INI. A write reaches the file whole, in
   the batch open (kova_ini.h) or as a batch of its own. */
int32_t KOVA_CALL ReadSetting(const char *section, const char *key, char *out);
int32_t KOVA_CALL WriteSetting(const char *section, const char *key, const char *value);
/* The one message about writes that did not reach the file, owned by
   owner: what + " could not be written to " + the file. */
void ReportUnwrittenSettings(HWND owner, const char *what);

/* ---- values ---- */

/* "on" gives 1, "off" 0, in any letter case; anything else keeps current. */
int ParseOnOff(const char *value, int current);
/* "compiler" gives 1, "interpreter" 0, in any letter case; else current. */
int ParseCpuMode(const char *value, int current);
/* First character minus '0' taken as a signed character; 0 unless 0..2. */
int ParseCountry(const char *value);
const char *CpuModeText(int cpuMode);

#endif
