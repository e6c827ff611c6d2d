/* From process start to the main dialog: the paths everything is built on,
 * the about text, the HostServices record, then splash and main dialog. */
#include "startup.h"

#include <string.h>

#include "configurator.h"
#include "dialogs.h"
#include "file_chooser.h"
#include "kova_module.h"
#include "kova_str.h"
#include "settings.h"

HINSTANCE ModuleInstance;
/* Ends in a backslash; every path of the configurator is built on it. */
static char programDirectory[MAX_PATH];
char settingsPath[MAX_PATH];
HostServices Host;

bool ProgramPath(char *dst, size_t dstSize, const char *relative, const char *name)
{
    return BufSet(dst, dstSize, programDirectory) && BufAppend(dst, dstSize, relative) &&
           (!name || BufAppend(dst, dstSize, name));
}

bool UseProgramDirectory(const char *dir)
{
    if (!BufSet(programDirectory, dir) ||
        !ProgramPath(settingsPath, sizeof settingsPath, "KOVA.INI") ||
        !BufSet(chooserDirectory, programDirectory)) {
        programDirectory[0] = settingsPath[0] = chooserDirectory[0] = '\0';
        return false;
    }
    return true;
}

bool StartUp(HINSTANCE instance, HMODULE module)
{
    ModuleInstance = instance;
    FormatAboutText(aboutText, sizeof aboutText);

    /* A module name cut at the buffer's end would give a wrong directory,
       so ModuleDirectory refuses it instead. */
    char dir[MAX_PATH];
    if (!ModuleDirectory(module, dir, sizeof dir) || !UseProgramDirectory(dir))
        return false;

    /* No emulated RAM, no flags, no window until the main dialog's. */
    memset(&Host, 0, sizeof Host);
    Host.readSetting = ReadSetting;
    Host.writeSetting = WriteSetting;
    Host.hostInstance = instance;

    splashStep = 0;
    ResetSettings();
    return true;
}

int RunConfigurator(HINSTANCE instance)
{
    if (!StartUp(instance, NULL)) {
        MessageBoxA(NULL, "The program directory cannot be determined or its path is too long.",
                    SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONSTOP);
        return 1;
    }
    RunSplash();
    RunMainDialog();
    return 0;
}
