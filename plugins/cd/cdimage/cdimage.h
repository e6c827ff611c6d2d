/* cdimage's state shared by its entry points (cdimage.cpp) and its setup
 * dialog (cdimage_dialog.cpp): its names in KOVA.INI, and what both do
 * with a disc. */
#ifndef CDIMAGE_H
#define CDIMAGE_H

#include <windows.h>
#include <stdint.h>

#include "cdimage_logic.h"
#include "kova_plugin.h"

/* The image's path, as the user chose it: a relative one is taken from the
   program directory. */
#define CDIMAGE_SECTION "CDIMAGE"
#define CDIMAGE_KEY_IMAGE "ImageFile"
/* "Recent1" (newest) to "Recent8". */
#define CDIMAGE_KEY_RECENT_FORMAT "Recent%d"

/* This library's module, which holds the dialog template; recorded by the
   library's entry function. */
extern HINSTANCE ModuleInstance;

/* SYSTEM.CNF's BOOT line on the disc's first data track. */
bool DiscBootLine(Disc *disc, char *line, size_t lineSize);
/* A stored path (ANSI) as the UTF-16 path the readers open; false when it
   does not fit. */
bool WidePath(const char *path, wchar_t *out, size_t outSize);

/* The folder of the host program (of hostInstance, else of the process),
   with its final backslash; "" when it cannot be had. */
void HostProgramDirectory(const HostServices *host, char *dir, size_t dirSize);

#endif
