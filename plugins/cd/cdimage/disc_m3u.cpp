/* Playlists: an .m3u (or .m3u8) file lists the images of a game's discs,
 * one a line, and the user chooses which disc the emulator gets. The
 * chosen image is opened by the reader of its own format; the playlist
 * gives its track table and sectors on. An entry that cannot be opened
 * (missing, a folder, the playlist itself, another playlist) is one line
 * in the summary, and fails the open only when it is the disc chosen. */
#include "disc_m3u.h"

#include <windows.h>

#include <string.h>

/* The playlist's text, decoded. */
static wchar_t Text[M3U_MAX_SIZE + 1];

/* Text from bytes: UTF-16 by its byte-order mark, UTF-8 by its mark or
   when every byte sequence is valid UTF-8, else the ANSI code page (the
   playlists of older tools). Returns the units decoded. */
static int Decode(const uint8_t *bytes, size_t length)
{
    if (length > M3U_MAX_SIZE)
        length = M3U_MAX_SIZE;
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        size_t units = (length - 2) / 2;
        for (size_t i = 0; i < units; i++)
            Text[i] = static_cast<wchar_t>(bytes[2 + 2 * i] | bytes[3 + 2 * i] << 8);
        return static_cast<int>(units);
    }
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        length -= 3;
    }
    if (length == 0)
        return 0;
    const char *text = reinterpret_cast<const char *>(bytes);
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), Text, M3U_MAX_SIZE);
    if (n <= 0)
        n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), Text, M3U_MAX_SIZE);
    return n > 0 ? n : 0;
}

static bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

/* The full path of a playlist line (from..to), or "" when it does not fit. */
static void Resolve(const wchar_t *playlist, const wchar_t *from, const wchar_t *to, wchar_t *out)
{
    wchar_t joined[DISC_PATH_SIZE];
    size_t used = 0;
    bool absolute = (to - from >= 2 && from[1] == L':') ||
                    (to - from >= 2 && (from[0] == L'\\' || from[0] == L'/') && (from[1] == L'\\' || from[1] == L'/'));
    bool rooted = !absolute && (from[0] == L'\\' || from[0] == L'/');
    if (rooted && playlist[0] && playlist[1] == L':') {
        joined[used++] = playlist[0];
        joined[used++] = L':';
    } else if (!absolute) {
        const wchar_t *slash = wcsrchr(playlist, L'\\');
        size_t folder = slash ? static_cast<size_t>(slash - playlist) + 1 : 0;
        if (folder >= DISC_PATH_SIZE) {
            out[0] = L'\0';
            return;
        }
        memcpy(joined, playlist, folder * sizeof(wchar_t));
        used = folder;
    }
    for (const wchar_t *p = from; p < to; p++) {
        if (used + 1 >= DISC_PATH_SIZE) {
            out[0] = L'\0';
            return;
        }
        joined[used++] = *p == L'/' ? L'\\' : *p;
    }
    joined[used] = L'\0';
    DWORD n = GetFullPathNameW(joined, DISC_PATH_SIZE, out, NULL);
    if (n == 0 || n >= DISC_PATH_SIZE)
        out[0] = L'\0';
}

int M3uEntries(const wchar_t *playlist, const uint8_t *text, size_t length, M3uEntry *entries, int max)
{
    int units = Decode(text, length);
    int count = 0, line = 0;
    for (int at = 0; at < units;) {
        int end = at;
        while (end < units && Text[end] != L'\r' && Text[end] != L'\n')
            end++;
        /* CR LF is one line end. */
        int next = end < units && Text[end] == L'\r' && end + 1 < units && Text[end + 1] == L'\n' ? end + 2 : end + 1;
        line++;
        int from = at, to = end;
        while (from < to && IsBlank(Text[from]))
            from++;
        while (to > from && IsBlank(Text[to - 1]))
            to--;
        if (from < to && Text[from] != L'#') {
            if (count < max) {
                entries[count].line = line;
                Resolve(playlist, Text + from, Text + to, entries[count].path);
            }
            count++;
        }
        at = next;
    }
    return count;
}

static bool HasExtension(const wchar_t *path, const wchar_t *extension)
{
    const wchar_t *dot = wcsrchr(path, L'.');
    return dot && !wcschr(dot, L'\\') && lstrcmpiW(dot, extension) == 0;
}

int M3uCheck(const wchar_t *playlist, const M3uEntry *entry)
{
    if (!entry->path[0])
        return M3U_TOO_LONG;
    wchar_t self[DISC_PATH_SIZE];
    DWORD n = GetFullPathNameW(playlist, DISC_PATH_SIZE, self, NULL);
    if (n > 0 && n < DISC_PATH_SIZE && lstrcmpiW(self, entry->path) == 0)
        return M3U_ITSELF;
    DWORD attributes = GetFileAttributesW(entry->path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return M3U_MISSING;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return M3U_FOLDER;
    if (HasExtension(entry->path, L".m3u") || HasExtension(entry->path, L".m3u8"))
        return M3U_PLAYLIST;
    return M3U_GOOD;
}
