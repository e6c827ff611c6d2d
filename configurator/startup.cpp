/* From process start to the main dialog: the paths everything is built on,
 * the about text, the HostServices record, then splash and main dialog. */
#include "configurator.h"

#include <string.h>

#include "kova_module.h"
#include "kova_str.h"
#include "text_rules.h"

HINSTANCE ProgramInstance;
char programDirectory[MAX_PATH];
char settingsPath[MAX_PATH];
char aboutText[256];
char chooserDirectory[MAX_PATH];
/* Zero-initialised and never moved: plugins may keep its address for the
   length of their configure call. */
HostServices Host;
int splashStep;

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
    ProgramInstance = instance;
    FormatAboutText(aboutText, sizeof aboutText);

    /* A module name cut at the buffer's end would give a wrong directory,
       so ModuleDirectory refuses it instead. */
    char dir[MAX_PATH];
    if (!ModuleDirectory(module, dir, sizeof dir) || !UseProgramDirectory(dir))
        return false;

    memset(&Host, 0, sizeof Host);
    Host.ramBase = NULL;
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
                    "System Error", MB_OK | MB_ICONSTOP);
        return 1;
    }
    RunSplash();
    RunMainDialog();
    return 0;
}
