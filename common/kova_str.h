/* Bounded text helpers for fixed buffers.
 *
 * Every function here writes at most dstSize bytes, always leaves dst
 * NUL-terminated (when dstSize > 0) and tells whether the whole text fitted,
 * so a caller can refuse a name that would have been cut instead of using a
 * silently shortened one. */
#ifndef KOVA_STR_H
#define KOVA_STR_H

#include <stdarg.h>
#include <stddef.h>
#include <wchar.h>

/* Copies src into dst. Returns false when src had to be cut. */
bool BufSet(char *dst, size_t dstSize, const char *src);
/* The same for UTF-16 texts, dstSize counted in characters. */
bool BufSet(wchar_t *dst, size_t dstSize, const wchar_t *src);
/* Appends src to the text in dst. Returns false when src had to be cut. */
bool BufAppend(char *dst, size_t dstSize, const char *src);
/* printf-style formatting into dst. Returns false when the result was cut. */
bool BufFormat(char *dst, size_t dstSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
bool BufFormatV(char *dst, size_t dstSize, const char *format, va_list args);

/* Length of the text in a field of fieldSize bytes that may lack a
   terminator: at most fieldSize. */
size_t BufLength(const char *field, size_t fieldSize);
/* Forces a terminator into the last byte of a field filled by code we do
   not control, so that it can be read as a text without running past it. */
void BufTerminate(char *field, size_t fieldSize);

/* ASCII case-insensitive comparison of whole texts. */
bool TextEqualsNoCase(const char *a, const char *b);

template <size_t N>
inline bool BufSet(char (&dst)[N], const char *src) { return BufSet(dst, N, src); }
template <size_t N>
inline bool BufSet(wchar_t (&dst)[N], const wchar_t *src) { return BufSet(dst, N, src); }
template <size_t N>
inline bool BufAppend(char (&dst)[N], const char *src) { return BufAppend(dst, N, src); }

#define dimof(array) (sizeof(array) / sizeof((array)[0]))

#endif
