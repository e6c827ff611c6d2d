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
char programDirectory[MAX_PATH];
char settingsPath[MAX_PATH];
HostServices Host;

bool ProgramPath(char *dst, size_t dstSize, const char *relative, const char *name)
{
    return BufSet(dst, dstSize, programDirectory) && BufAppend(dst, dstSize, relative) &&
           (!name || BufAppend(dst, dstSize, name));
}

/* The longest names appended to the program directory: a hosted graphics
   plugin below PLUGIN\PSEMU\, whose file names have at most 31
   characters, as the selection dialog has always stored them. The
   temporary files of Save ("kov" + 4 hex digits + ".tmp", 11 characters)
   are shorter. Checked once here, so that no list comes out empty and no
   plugin fails to open later only because its path does not fit. */
static const char kLongestBuiltPath[] = "PLUGIN\\PSEMU\\0123456789012345678901234567890";

bool UseProgramDirectory(const char *dir)
{
    if (strlen(dir) + sizeof kLongestBuiltPath > MAX_PATH || !BufSet(programDirectory, dir) ||
        !ProgramPath(settingsPath, sizeof settingsPath, "KOVA.INI") ||
        !BufSet(chooserDirectory, programDirectory)) {
        programDirectory[0] = settingsPath[0] = chooserDirectory[0] = '\0';
        return false;
    }
    return true;
}

const char kPathTooLongText[] =
    "The program directory cannot be determined or its path is too long.";
const char kFolderNameText[] =
    "The name of the program directory cannot be used by KOVA: it has characters that "
    "this system's character set does not hold.\r\n\r\n"
    "Move the folder to one with a plain name.";

bool StartUp(HINSTANCE instance, HMODULE module, const char **failure)
{
    ModuleInstance = instance;
    FormatAboutText(aboutText, sizeof aboutText);

    /* A module name cut at the buffer's end would give a wrong directory,
       so ModuleDirectory refuses it instead; so is a name whose ANSI form
       is another folder's. */
    char dir[MAX_PATH];
    const char *refused = NULL;
    if (!ModuleDirectory(module, dir, sizeof dir))
        refused = kPathTooLongText;
    else if (!ModuleNameIsExact(module))
        refused = kFolderNameText;
    else if (!UseProgramDirectory(dir))
        refused = kPathTooLongText;
    if (failure)
        *failure = refused;
    if (refused)
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
    /* Nothing is read or written before these checks: a wrong folder
       must not lose or gain a file. */
    const char *failure = NULL;
    if (!StartUp(instance, NULL, &failure)) {
        MessageBoxA(NULL, failure, SYSTEM_ERROR_CAPTION, MB_OK | MB_ICONSTOP);
        return 1;
    }
    RemoveLeftoverTemporaryFiles();
    RemoveLeftoverTemporaryFiles("MEMCARDS\\");
    RunSplash();
    RunMainDialog();
    return 0;
}
