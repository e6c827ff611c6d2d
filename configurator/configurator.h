/* What every part of the configurator shares for the whole run
 * (configurator.cpp): the module holding the dialogs, the paths and the one
 * HostServices record. Each module's own functions and data are in its own
 * header. Paths are MAX_PATH buffers, the longest that the ANSI file
 * functions accept. */
#ifndef KOVACFG_CONFIGURATOR_H
#define KOVACFG_CONFIGURATOR_H

#include <windows.h>

#include "kova_plugin.h"

/* The caption of the configurator's error boxes. */
#define SYSTEM_ERROR_CAPTION "System Error"
/* The longest command line Windows starts a program with, terminator
   included: the command-line field, the chooser's appending and Run. */
#define COMMAND_LINE_SIZE 32768

extern HINSTANCE ModuleInstance;  /* the module holding the dialogs */
extern char programDirectory[MAX_PATH];  /* ends in a backslash */
extern char settingsPath[MAX_PATH];      /* KOVA.INI in it */
/* Zero-initialised and never moved: plugins may keep its address for the
   length of their configure call. */
extern HostServices Host;

/* Builds programDirectory + relative (+ name) into dst; false when it does
   not fit. */
bool ProgramPath(char *dst, size_t dstSize, const char *relative, const char *name = NULL);

#endif
