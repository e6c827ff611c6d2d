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

bool ModuleNameIsExact(HMODULE module)
{
    char ansi[MAX_PATH] = "";
    WCHAR wide[2 * MAX_PATH];
    DWORD n = GetModuleFileNameA(module, ansi, sizeof ansi);
    DWORD w = GetModuleFileNameW(module, wide, sizeof wide / sizeof wide[0]);
    if (n == 0 || n >= sizeof ansi || w == 0 || w >= sizeof wide / sizeof wide[0])
        return false;
    /* The real name converted without look-alikes must give the same bytes.
       A UTF-8 code page holds every character, and the conversion then
       refuses the flag and the report of a default character. */
    char back[2 * MAX_PATH];
    BOOL usedDefault = FALSE;
    bool utf8 = GetACP() == CP_UTF8;
    int got = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, back,
                                  sizeof back, NULL, utf8 ? NULL : &usedDefault);
    return got > 0 && !usedDefault && strcmp(back, ansi) == 0;
}

HMODULE LoadLibraryQuietly(const char *path)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(path);
    SetErrorMode(oldMode);
    return library;
}
