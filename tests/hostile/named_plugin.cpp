/* A plugin that takes its name from its own file: every copy of it under
 * another file name is a plugin of its own in the configurator's lists.
 * NAMED_PREFIX and NAMED_TYPE choose the family (GPU/1 ... CD/5).
 *
 * Its configure entry point writes the full path of the library that
 * answered into KOVA.INI, [PROBE] Module, so a test sees which file the
 * configurator loaded. */
#include <windows.h>
#include <string.h>

#include "kova_plugin.h"
#include "kova_str.h"

#define EXPORT extern "C" __declspec(dllexport)
#define ENTRY2(prefix, operation) prefix##_##operation
#define ENTRY(prefix, operation) ENTRY2(prefix, operation)

static HINSTANCE Self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Self = instance;
    return TRUE;
}

EXPORT void KOVA_CALL ENTRY(NAMED_PREFIX, About)(PluginInfo *info)
{
    memset(info, 0, sizeof *info);
    info->type = static_cast<PluginType>(NAMED_TYPE);
    info->versionMajor = 1;
    info->versionMinor = 0;
    BufSet(info->author, "Hostile");
    BufSet(info->description, "A plugin named after its own file.");

    /* The file name without folder and extension, cut to the field. */
    char path[MAX_PATH] = "";
    GetModuleFileNameA(Self, path, sizeof path);
    const char *base = strrchr(path, '\\');
    base = base ? base + 1 : path;
    char name[MAX_PATH];
    BufSet(name, base);
    char *dot = strrchr(name, '.');
    if (dot)
        *dot = '\0';
    BufSet(info->name, name);
}

EXPORT int32_t KOVA_CALL ENTRY(NAMED_PREFIX, Configure)(HostServices *host)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(Self, path, sizeof path);
    if (host && host->writeSetting)
        host->writeSetting("PROBE", "Module", path);
    return 0;
}
