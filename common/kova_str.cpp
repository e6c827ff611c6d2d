#include "kova_str.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

bool BufSet(char *dst, size_t dstSize, const char *src)
{
    if (dstSize == 0)
        return src[0] == '\0';
    size_t len = strlen(src);
    bool fits = len < dstSize;
    if (!fits)
        len = dstSize - 1;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return fits;
}

bool BufSet(wchar_t *dst, size_t dstSize, const wchar_t *src)
{
    if (dstSize == 0)
        return src[0] == L'\0';
    size_t len = wcslen(src);
    bool fits = len < dstSize;
    if (!fits)
        len = dstSize - 1;
    wmemcpy(dst, src, len);
    dst[len] = L'\0';
    return fits;
}

bool BufAppend(char *dst, size_t dstSize, const char *src)
{
    size_t used = BufLength(dst, dstSize);
    if (used >= dstSize) {
        /* dst carried no terminator: make it a text before reporting the cut */
        if (dstSize > 0)
            dst[dstSize - 1] = '\0';
        return false;
    }
    return BufSet(dst + used, dstSize - used, src);
}

bool BufFormatV(char *dst, size_t dstSize, const char *format, va_list args)
{
    if (dstSize == 0)
        return false;
    /* msvcrt's _vsnprintf returns -1 and leaves no terminator when the
       result does not fit; a result of exactly dstSize characters also
       leaves none. */
    int n = _vsnprintf(dst, dstSize, format, args);
    if (n < 0 || (size_t)n >= dstSize) {
        dst[dstSize - 1] = '\0';
        return false;
    }
    return true;
}

bool BufFormat(char *dst, size_t dstSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    bool fits = BufFormatV(dst, dstSize, format, args);
    va_end(args);
    return fits;
}

size_t BufLength(const char *field, size_t fieldSize)
{
    const void *nul = memchr(field, '\0', fieldSize);
    return nul ? static_cast<size_t>(static_cast<const char *>(nul) - field) : fieldSize;
}

void BufTerminate(char *field, size_t fieldSize)
{
    if (fieldSize > 0)
        field[fieldSize - 1] = '\0';
}

static char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

bool TextEqualsNoCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}
