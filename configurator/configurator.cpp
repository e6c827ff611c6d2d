/* What every part of the configurator shares for the whole run (set by
 * start-up): the module, the paths and the one HostServices record. */
#include "configurator.h"

#include "kova_str.h"

HINSTANCE ModuleInstance;
char programDirectory[MAX_PATH];
char settingsPath[MAX_PATH];
HostServices Host;

bool ProgramPath(char *dst, size_t dstSize, const char *relative, const char *name)
{
    return BufSet(dst, dstSize, programDirectory) && BufAppend(dst, dstSize, relative) &&
           (!name || BufAppend(dst, dstSize, name));
}
