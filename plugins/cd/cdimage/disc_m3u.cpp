/* Playlists: an .m3u (or .m3u8) file lists the images of a game's discs,
 * one a line, and the user chooses which disc the emulator gets. The
 * chosen image is opened by the reader of its own format; the playlist
 * gives its track table and sectors on. An entry that cannot be opened
 * (missing, a folder, the playlist itself, another playlist) is one line
 * in the summary, and fails the open only when it is the disc chosen. */
#include "disc_m3u.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "disc_file.h"
#include "kova_str.h"

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

/* ---- the reader ---- */

/* The disc chosen, opened by its own format's reader. */
struct M3uState {
    Disc chosen;
};

/* The playlist's bytes and entries while it is opened. */
static uint8_t Bytes[M3U_MAX_SIZE];
static M3uEntry Entries[DISC_MAX_CHOICES];

static bool RecogniseM3u(const wchar_t *path, const uint8_t *, size_t got)
{
    return got == 0 && (DiscExtensionIs(path, ".m3u") || DiscExtensionIs(path, ".m3u8"));
}

/* What a fault of an entry says, after "<playlist> line n: ". */
static void FaultText(int fault, const char *name, char *out, size_t outSize)
{
    switch (fault) {
    case M3U_MISSING:
        BufFormat(out, outSize, "file \"%s\" is missing", name);
        break;
    case M3U_FOLDER:
        BufFormat(out, outSize, "\"%s\" is a folder", name);
        break;
    case M3U_ITSELF:
        BufSet(out, outSize, "the playlist names itself");
        break;
    case M3U_PLAYLIST:
        BufFormat(out, outSize, "\"%s\" is a playlist: a playlist lists images, not playlists", name);
        break;
    default:
        BufSet(out, outSize, "the path is too long");
        break;
    }
}

/* A line of the chosen image's own summary, kept in lines (a disc's
   details or problems) while there is room. */
static void Keep(char lines[][DISC_TEXT_SIZE], int max, int *count, const char *line)
{
    if (*count < max)
        BufSet(lines[*count], DISC_TEXT_SIZE, line);
    (*count)++;
}

static bool OpenM3u(Disc *disc, int choice)
{
    DiscFile file;
    if (!DiscOpenFile(disc, &file, disc->path, 0))
        return false;
    int64_t size = DiscFileSize(&file);
    uint32_t got = size <= M3U_MAX_SIZE ? DiscFileRead(&file, 0, Bytes, static_cast<uint32_t>(size)) : 0;
    DiscFileClose(&file);
    if (size > M3U_MAX_SIZE) {
        DiscProblem(disc, disc->path, 0, "%lld bytes are too many for a playlist", static_cast<long long>(size));
        return false;
    }
    if (got != size) {
        DiscProblem(disc, disc->path, 0, "the file cannot be read");
        return false;
    }
    char playlist[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), playlist, sizeof playlist);
    int count = M3uEntries(disc->path, Bytes, got, Entries, DISC_MAX_CHOICES);
    if (count == 0) {
        DiscProblem(disc, disc->path, 0, "the playlist names no image");
        return false;
    }
    int listed = count < DISC_MAX_CHOICES ? count : DISC_MAX_CHOICES;
    disc->choiceCount = listed;
    char names[DISC_MAX_CHOICES][DISC_TEXT_SIZE / 2];
    for (int i = 0; i < listed; i++) {
        DiscUtf8(DiscPathName(Entries[i].path), names[i], sizeof names[i]);
        BufFormat(disc->choices[i], DISC_TEXT_SIZE, "Disc %d: %s", i + 1, names[i]);
    }
    bool listedChoice = choice >= 0 && choice < listed;
    /* cppcheck takes the system's decoding for one that never gives a
       character, and so every playlist for one of no line. */
    // cppcheck-suppress knownConditionTrueFalse
    if (listedChoice)
        BufFormat(disc->kind, sizeof disc->kind, "Playlist %s, %d disc%s, disc %d chosen: %s", playlist, listed,
                  listed == 1 ? "" : "s", choice + 1, names[choice]);
    else
        BufFormat(disc->kind, sizeof disc->kind, "Playlist %s, %d disc%s", playlist, listed, listed == 1 ? "" : "s");
    if (count > listed)
        DiscDetail(disc, "%s: %d images listed, the first %d read", playlist, count, listed);
    // cppcheck-suppress knownConditionTrueFalse
    if (!listedChoice) {
        DiscProblem(disc, disc->path, 0, "disc %d is chosen, the playlist lists %d", choice + 1, listed);
        return false;
    }
    /* Every entry that cannot be opened is one line; the chosen one's
       fails the open, the others' follow the chosen disc's summary. */
    int faults[DISC_MAX_CHOICES] = {};
    for (int i = 0; i < listed; i++)
        faults[i] = M3uCheck(disc->path, &Entries[i]);
    if (faults[choice] != M3U_GOOD) {
        char what[DISC_TEXT_SIZE];
        FaultText(faults[choice], names[choice], what, sizeof what);
        DiscProblem(disc, disc->path, Entries[choice].line, "%s", what);
        return false;
    }
    M3uState *state = static_cast<M3uState *>(DiscNewState(disc, sizeof(M3uState)));
    if (!state)
        return false;
    Disc *chosen = &state->chosen;
    bool opened = DiscOpen(chosen, Entries[choice].path, 0);
    Keep(disc->details, DISC_MAX_DETAILS, &disc->detailCount, chosen->kind);
    for (int i = 0; i < chosen->detailCount && i < DISC_MAX_DETAILS; i++) {
        char line[DISC_TEXT_SIZE];
        BufFormat(line, sizeof line, "    %s", chosen->details[i]);
        Keep(disc->details, DISC_MAX_DETAILS, &disc->detailCount, line);
    }
    for (int i = 0; i < listed; i++) {
        if (faults[i] == M3U_GOOD || i == choice)
            continue;
        char what[DISC_TEXT_SIZE];
        FaultText(faults[i], names[i], what, sizeof what);
        DiscDetail(disc, "%s line %d: %s", playlist, Entries[i].line, what);
    }
    if (!opened) {
        for (int i = 0; i < chosen->problemCount && i < DISC_MAX_PROBLEMS; i++)
            Keep(disc->problems, DISC_MAX_PROBLEMS, &disc->problemCount, chosen->problems[i]);
        free(state);
        return false;
    }
    disc->trackCount = chosen->trackCount;
    memcpy(disc->tracks, chosen->tracks, sizeof(DiscTrack) * static_cast<size_t>(chosen->trackCount));
    disc->leadOut = chosen->leadOut;
    disc->state = state;
    return true;
}

static bool ReadM3u(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    return DiscRead(&static_cast<M3uState *>(disc->state)->chosen, sector, raw);
}

static void CloseM3u(Disc *disc)
{
    M3uState *state = static_cast<M3uState *>(disc->state);
    if (!state)
        return;
    DiscClose(&state->chosen);
    free(state);
}

extern const DiscFormat kDiscM3u = { "playlist", RecogniseM3u, OpenM3u, ReadM3u, CloseM3u };
