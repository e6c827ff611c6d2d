#include "kova_module.h"

#include <string.h>

void CutAfterLastBackslash(char *path)
{
    char *end = path;
    for (char *p = path; (p = strchr(p, '\\')) != NULL; )
        end = ++p;
    *end = '\0';
}

bool ModuleDirectory(HMODULE module, char *dst, size_t dstSize)
{
    if (dstSize == 0)
        return false;
    DWORD n = GetModuleFileNameA(module, dst, (DWORD)dstSize);
    if (n == 0 || n >= dstSize) {
        dst[0] = '\0';
        return false;
    }
    CutAfterLastBackslash(dst);
    return true;
}

HMODULE LoadLibraryQuietly(const char *path)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(path);
    SetErrorMode(oldMode);
    return library;
}
