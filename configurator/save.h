/* Save (save.cpp): KOVA.INI's section "KOVA" and the plugins, above the
 * settings and the catalogue. */
#ifndef KOVACFG_SAVE_H
#define KOVACFG_SAVE_H

#include <windows.h>

/* Writes section "KOVA" from the main dialog's controls and the flags,
   then installs the plugins. Tells the user once about writes that failed.
   KOVA.INI ends up whole or as it was; a Save that the volume has no room
   for is refused before anything is written. */
void SaveSettings(HWND dialog);

#endif
