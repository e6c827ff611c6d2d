/* From process start to the main dialog (startup.cpp). */
#ifndef KOVACFG_STARTUP_H
#define KOVACFG_STARTUP_H

#include <windows.h>

/* Fills the paths, the about text and the HostServices record for the
   program in module (null: the process's own), with instance as the owner
   of the dialog resources. False when the program directory cannot be had,
   is too long for the paths built on it or is named by a lossy ANSI name;
   failure (when not null) is then the text telling the user, else null. */
bool StartUp(HINSTANCE instance, HMODULE module, const char **failure = NULL);
extern const char kPathTooLongText[];
extern const char kFolderNameText[];
/* Makes dir (ending in a backslash) the program directory: sets
   programDirectory, settingsPath and chooserDirectory. False when the
   longest path built on it would not fit. */
bool UseProgramDirectory(const char *dir);
/* The whole run: start-up, splash, main dialog. Returns the exit code. */
int RunConfigurator(HINSTANCE instance);

#endif
