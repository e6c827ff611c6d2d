/* CUE sheets with their BIN and WAVE files: one file per track or one for
 * the disc, INDEX 00/01, PREGAP and POSTGAP. The sheet is read in UTF-8
 * when it has the byte-order mark, or without one when its bytes are valid
 * UTF-8 and not plain ASCII; otherwise in the system's ANSI code page. Its
 * files are found beside it (or where an absolute name says) and opened by
 * their UTF-16 names, so that any name the file system holds opens. */
#include "disc_cue.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "disc_file.h"
#include "kova_str.h"

/* A CUE sheet of 99 tracks with every remark a ripper writes is some
   20 KB; a larger file is not taken for one. */
#define CUE_MAX_SIZE 65536
#define CUE_MAX_FILES 99
/* The CUE sheet's own track types, in the order of TrackType. */
#define CUE_TRACK_TYPES (TRACK_AUDIO + 1)

struct CueFileEntry {
    wchar_t path[DISC_PATH_SIZE];
    int line;                      /* the CUE line that names it */
    bool wave;                     /* a WAVE file: sectors start at dataStart */
    int64_t size;                  /* bytes of sectors (a WAVE's data chunk) */
    int64_t dataStart;             /* byte offset of the first sector */
    DiscFile file;
};

struct CueTrack {
    uint8_t number;
    uint8_t type;                  /* TrackType */
    int file;                      /* index into files */
    int line;                      /* the CUE line of TRACK */
    int32_t index0, index1;        /* frames from the file's start; index0 -1 when absent */
    int32_t pregap, postgap;       /* frames in no file, before INDEX 01 and after the track */
    /* Laid out: the track's part of its file, and where it lies on the
       disc (sector numbers, 0 = 00:02:00). */
    int64_t fileOffset;            /* byte offset of the part's first sector */
    int32_t fileFirst;             /* file frame of that sector */
    int32_t fileFrames;            /* sectors in the part */
    int32_t discFirst;             /* disc sector of the part's first sector */
    int32_t start;                 /* disc sector of INDEX 01 */
};

struct CueSheet {
    int fileCount;
    CueFileEntry files[CUE_MAX_FILES];
    int trackCount;
    CueTrack tracks[DISC_MAX_TRACKS];
    int lastTrack;                 /* the track of the last read; -1 */
};

/* ---- texts ---- */

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* Whether the n bytes at text are word, letter case aside. */
static bool WordIs(const char *text, size_t n, const char *word)
{
    size_t i = 0;
    for (; i < n; i++) {
        if (!word[i] || Upper(text[i]) != Upper(word[i]))
            return false;
    }
    return word[i] == '\0';
}

static size_t SkipByteOrderMark(const uint8_t *text, size_t length)
{
    return (length >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) ? 3 : 0;
}

/* Whether the bytes are UTF-8 (shortest forms, no surrogates) with at least
   one character outside ASCII. */
static bool IsUtf8Beyond7Bits(const uint8_t *p, size_t n)
{
    bool beyond = false;
    for (size_t i = 0; i < n;) {
        uint8_t c = p[i];
        if (c < 0x80) {
            i++;
            continue;
        }
        size_t more = (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2
                                                   : (c >= 0xF0 && c <= 0xF4) ? 3 : 0;
        if (more == 0 || more >= n - i)
            return false;
        uint32_t code = c & (0x3F >> more);
        for (size_t k = 1; k <= more; k++) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        static const uint32_t kLeast[4] = { 0, 0x80, 0x800, 0x10000 };
        if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        beyond = true;
        i += more + 1;
    }
    return beyond;
}

static const char *const kCueKeywords[] = {
    "FILE", "REM", "CATALOG", "TITLE", "PERFORMER", "SONGWRITER", "CDTEXTFILE",
};

/* A CUE sheet by its extension, or under another name by its text: its
   first word one a CUE sheet begins with. */
static bool RecogniseCue(const wchar_t *path, const uint8_t *head, size_t got)
{
    if (DiscExtensionIs(path, ".cue"))
        return true;
    size_t at = SkipByteOrderMark(head, got);
    while (at < got && (IsBlank(static_cast<char>(head[at])) || head[at] == '\r' || head[at] == '\n'))
        at++;
    size_t end = at;
    while (end < got && Upper(static_cast<char>(head[end])) >= 'A' &&
           Upper(static_cast<char>(head[end])) <= 'Z')
        end++;
    if (end < got && IsBlank(static_cast<char>(head[end]))) {
        for (size_t i = 0; i < dimof(kCueKeywords); i++) {
            if (WordIs(reinterpret_cast<const char *>(head) + at, end - at, kCueKeywords[i]))
                return true;
        }
    }
    return false;
}

/* ---- reading the sheet ---- */

struct CueState {
    int line;
    int file;          /* the last FILE's index, -1 before one */
    CueTrack *track;   /* the last TRACK of that file, null before one */
};

/* The next blank-separated word of [*p, end): its start and length. */
static size_t NextWord(const char **p, const char *end, const char **word)
{
    const char *s = *p;
    while (s < end && IsBlank(*s))
        s++;
    const char *e = s;
    while (e < end && !IsBlank(*e))
        e++;
    *word = s;
    *p = e;
    return static_cast<size_t>(e - s);
}

static bool RestIsBlank(const char *p, const char *end)
{
    while (p < end && IsBlank(*p))
        p++;
    return p == end;
}

/* One or two decimal digits. */
static bool SmallNumber(const char *word, size_t n, int *value)
{
    if (n < 1 || n > 2)
        return false;
    *value = 0;
    for (size_t i = 0; i < n; i++) {
        if (word[i] < '0' || word[i] > '9')
            return false;
        *value = *value * 10 + (word[i] - '0');
    }
    return true;
}

/* "mm:ss:ff" (one or two digits each, minutes up to 99) as frames. */
static bool CueTime(const char *word, size_t n, int32_t *frames)
{
    int part[3];
    size_t at = 0;
    for (int i = 0; i < 3; i++) {
        size_t end = at;
        while (end < n && word[end] != ':')
            end++;
        if (!SmallNumber(word + at, end - at, &part[i]))
            return false;
        if ((i < 2) != (end < n))
            return false;
        at = end + 1;
    }
    if (part[1] >= CD_SECONDS_PER_MINUTE || part[2] >= CD_FRAMES_PER_SECOND)
        return false;
    *frames = (part[0] * CD_SECONDS_PER_MINUTE + part[1]) * CD_FRAMES_PER_SECOND + part[2];
    return true;
}

static void CueFile(Disc *disc, CueSheet *cue, CueState *state, const char *p, const char *end)
{
    while (p < end && IsBlank(*p))
        p++;
    const char *name, *nameEnd, *type;
    size_t typeLength;
    if (p < end && *p == '"') {
        name = p + 1;
        nameEnd = name;
        while (nameEnd < end && *nameEnd != '"')
            nameEnd++;
        if (nameEnd == end) {
            DiscProblem(disc, disc->path, state->line, "the file name has no closing quote");
            return;
        }
        const char *q = nameEnd + 1;
        typeLength = NextWord(&q, end, &type);
        if (!RestIsBlank(q, end))
            typeLength = 0;
    } else {
        /* A bare name may hold blanks: the type is the last word. */
        const char *e = end;
        while (e > p && IsBlank(e[-1]))
            e--;
        type = e;
        while (type > p && !IsBlank(type[-1]))
            type--;
        typeLength = static_cast<size_t>(e - type);
        name = p;
        nameEnd = type;
        while (nameEnd > name && IsBlank(nameEnd[-1]))
            nameEnd--;
    }
    if (nameEnd == name || typeLength == 0) {
        DiscProblem(disc, disc->path, state->line, "FILE needs a name and a type");
        return;
    }
    bool wave = WordIs(type, typeLength, "WAVE");
    if (!wave && !WordIs(type, typeLength, "BINARY")) {
        DiscProblem(disc, disc->path, state->line, "file type %.*s is not supported (BINARY or WAVE)",
                    static_cast<int>(typeLength > 20 ? 20 : typeLength), type);
        return;
    }
    if (cue->fileCount == CUE_MAX_FILES) {
        DiscProblem(disc, disc->path, state->line, "more than %d files", CUE_MAX_FILES);
        return;
    }
    /* Relative names are taken from the CUE sheet's folder. */
    wchar_t path[DISC_PATH_SIZE];
    size_t nameLength = static_cast<size_t>(nameEnd - name);
    bool absolute = (nameLength >= 2 && name[1] == ':') || name[0] == '\\' || name[0] == '/';
    size_t folder = absolute ? 0 : static_cast<size_t>(DiscPathName(disc->path) - disc->path);
    /* Units left for the name; the conversion fails when it needs more. */
    size_t room = folder + 1 < DISC_PATH_SIZE ? DISC_PATH_SIZE - 1 - folder : 0;
    int units = room == 0 || nameLength > DISC_PATH_SIZE
                    ? 0
                    : MultiByteToWideChar(CP_UTF8, 0, name, static_cast<int>(nameLength), path + folder,
                                          static_cast<int>(room));
    if (units <= 0) {
        DiscProblem(disc, disc->path, state->line, "the file's path is too long");
        return;
    }
    wmemcpy(path, disc->path, folder);
    path[folder + static_cast<size_t>(units)] = L'\0';
    for (wchar_t *c = path; *c; c++) {
        if (*c == L'/')
            *c = L'\\';
    }
    CueFileEntry *f = &cue->files[cue->fileCount++];
    memset(f, 0, sizeof *f);
    wmemcpy(f->path, path, wcslen(path) + 1);
    f->line = state->line;
    f->wave = wave;
    state->file = cue->fileCount - 1;
    state->track = NULL;
}

static void CueTrackLine(Disc *disc, CueSheet *cue, CueState *state, const char *p, const char *end)
{
    const char *word, *type;
    size_t n = NextWord(&p, end, &word);
    size_t typeLength = NextWord(&p, end, &type);
    int number = 0;
    if (!SmallNumber(word, n, &number) || number < 1 || typeLength == 0 || !RestIsBlank(p, end)) {
        DiscProblem(disc, disc->path, state->line, "TRACK needs a number from 1 to 99 and a type");
        return;
    }
    int found = -1;
    for (int i = 0; i < CUE_TRACK_TYPES; i++) {
        if (WordIs(type, typeLength, TrackTypeName(i)))
            found = i;
    }
    if (found < 0) {
        DiscProblem(disc, disc->path, state->line, "track type %.*s is not supported",
                    static_cast<int>(typeLength > 20 ? 20 : typeLength), type);
        return;
    }
    if (state->file < 0) {
        DiscProblem(disc, disc->path, state->line, "TRACK before any FILE");
        return;
    }
    if (cue->trackCount == DISC_MAX_TRACKS) {
        DiscProblem(disc, disc->path, state->line, "more than %d tracks", DISC_MAX_TRACKS);
        return;
    }
    if (cue->trackCount > 0 && number != cue->tracks[cue->trackCount - 1].number + 1) {
        DiscProblem(disc, disc->path, state->line, "track %d follows track %d", number,
                    cue->tracks[cue->trackCount - 1].number);
        return;
    }
    CueTrack *t = &cue->tracks[cue->trackCount++];
    memset(t, 0, sizeof *t);
    t->number = static_cast<uint8_t>(number);
    t->type = static_cast<uint8_t>(found);
    t->file = state->file;
    t->line = state->line;
    t->index0 = -1;
    t->index1 = -1;
    state->track = t;
}

static void CueIndex(Disc *disc, CueState *state, const char *keyword, const char *p, const char *end)
{
    bool index = WordIs(keyword, 5, "INDEX");
    const char *word, *time;
    int number = 0;
    if (index) {
        size_t n = NextWord(&p, end, &word);
        if (!SmallNumber(word, n, &number)) {
            DiscProblem(disc, disc->path, state->line, "INDEX needs a number and a time");
            return;
        }
    }
    size_t timeLength = NextWord(&p, end, &time);
    int32_t frames = 0;
    if (!CueTime(time, timeLength, &frames) || !RestIsBlank(p, end)) {
        DiscProblem(disc, disc->path, state->line, "%s needs a time mm:ss:ff", index ? "INDEX" : keyword);
        return;
    }
    CueTrack *t = state->track;
    if (!t) {
        DiscProblem(disc, disc->path, state->line, "%s before any TRACK of its file",
                    index ? "INDEX" : keyword);
        return;
    }
    if (!index) {
        if (Upper(keyword[1]) == 'R')
            t->pregap = frames;
        else
            t->postgap = frames;
    } else if (number == 0) {
        t->index0 = frames;
    } else if (number == 1) {
        t->index1 = frames;
    }
    /* Further index numbers mark places inside the track: nothing to do. */
}

static void CueLine(Disc *disc, CueSheet *cue, CueState *state, const char *p, const char *end)
{
    const char *keyword;
    size_t n = NextWord(&p, end, &keyword);
    if (n == 0)
        return;
    static const char *const kIgnored[] = {
        "REM", "CATALOG", "TITLE", "PERFORMER", "SONGWRITER", "FLAGS", "ISRC", "CDTEXTFILE",
    };
    for (size_t i = 0; i < dimof(kIgnored); i++) {
        if (WordIs(keyword, n, kIgnored[i]))
            return;
    }
    if (WordIs(keyword, n, "FILE")) {
        CueFile(disc, cue, state, p, end);
    } else if (WordIs(keyword, n, "TRACK")) {
        CueTrackLine(disc, cue, state, p, end);
    } else if (WordIs(keyword, n, "INDEX")) {
        CueIndex(disc, state, "INDEX", p, end);
    } else if (WordIs(keyword, n, "PREGAP")) {
        CueIndex(disc, state, "PREGAP", p, end);
    } else if (WordIs(keyword, n, "POSTGAP")) {
        CueIndex(disc, state, "POSTGAP", p, end);
    } else {
        /* Shown as far as it is plain text. */
        char shown[24];
        size_t k = 0;
        for (; k + 1 < sizeof shown && keyword + k < end; k++) {
            char c = keyword[k];
            shown[k] = (c >= 32 && c < 127) ? c : '?';
        }
        shown[k] = '\0';
        DiscProblem(disc, disc->path, state->line, "cannot read \"%s\"", shown);
    }
}

/* The sheet's text (UTF-8, no byte-order mark) into its files, tracks,
   indexes and gaps. */
static void ParseCue(Disc *disc, CueSheet *cue, const char *text, size_t length)
{
    CueState state = { 0, -1, NULL };
    const char *p = text;
    const char *end = text + length;
    while (p < end) {
        state.line++;
        const char *eol = p;
        while (eol < end && *eol != '\r' && *eol != '\n')
            eol++;
        CueLine(disc, cue, &state, p, eol);
        if (eol + 1 < end && eol[0] == '\r' && eol[1] == '\n')
            eol++;
        p = eol + 1;
    }
    if (disc->problemCount)
        return;
    if (cue->trackCount == 0) {
        DiscProblem(disc, disc->path, 0, "the CUE sheet holds no track");
        return;
    }
    for (int i = 0; i < cue->trackCount; i++) {
        const CueTrack *t = &cue->tracks[i];
        if (t->index1 < 0)
            DiscProblem(disc, disc->path, t->line, "track %d has no INDEX 01", t->number);
        else if (t->index0 > t->index1)
            DiscProblem(disc, disc->path, t->line, "track %d has INDEX 00 after INDEX 01", t->number);
    }
}

/* Reads the sheet at the disc's path as UTF-8 into a buffer of the
   caller's to free: null, with the problem said, when it cannot. */
static char *ReadSheetText(Disc *disc, size_t *length)
{
    DiscFile file;
    if (!DiscOpenFile(disc, &file, disc->path, 0))
        return NULL;
    int64_t size = DiscFileSize(&file);
    if (size > CUE_MAX_SIZE) {
        DiscProblem(disc, disc->path, 0, "%lld bytes are too many for a CUE sheet",
                    static_cast<long long>(size));
        DiscFileClose(&file);
        return NULL;
    }
    uint32_t bytes = static_cast<uint32_t>(size);
    /* ANSI text grows to at most three UTF-8 bytes a byte. */
    char *raw = static_cast<char *>(malloc(bytes + 1));
    char *text = static_cast<char *>(malloc(3 * static_cast<size_t>(bytes) + 1));
    wchar_t *wide = static_cast<wchar_t *>(malloc((bytes + 1) * sizeof(wchar_t)));
    bool read = raw && text && wide && DiscFileRead(&file, 0, raw, bytes) == bytes;
    DiscFileClose(&file);
    if (!read) {
        DiscProblem(disc, disc->path, 0, "the file cannot be read");
        free(raw);
        free(text);
        free(wide);
        return NULL;
    }
    const uint8_t *u = reinterpret_cast<const uint8_t *>(raw);
    size_t mark = SkipByteOrderMark(u, bytes);
    if (mark || IsUtf8Beyond7Bits(u, bytes)) {
        *length = bytes - mark;
        memcpy(text, raw + mark, *length);
    } else {
        int units = bytes ? MultiByteToWideChar(CP_ACP, 0, raw, static_cast<int>(bytes), wide,
                                                static_cast<int>(bytes))
                          : 0;
        int got = units > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, units, text,
                                                  static_cast<int>(3 * bytes), NULL, NULL)
                            : 0;
        *length = got > 0 ? static_cast<size_t>(got) : 0;
    }
    text[*length] = '\0';
    free(raw);
    free(wide);
    return text;
}

/* ---- WAVE files ---- */

static uint32_t Le32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

static uint16_t Le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

/* Where a WAVE file's samples lie: true for 16-bit stereo 44.1 kHz PCM
   with its data chunk inside head; fileSize bounds the data. */
static bool WaveData(const uint8_t *head, size_t got, int64_t fileSize, int64_t *start, int64_t *size)
{
    if (got < 12 || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    size_t at = 12;
    while (at + 8 <= got) {
        uint32_t chunk = Le32(head + at + 4);
        if (memcmp(head + at, "fmt ", 4) == 0) {
            if (chunk < 16 || at + 8 + 16 > got)
                return false;
            const uint8_t *f = head + at + 8;
            /* PCM, two channels, 44100 samples a second, 16 bits each: a
               CD's own audio, so that a sector is 2352 bytes of it. */
            format = Le16(f) == 1 && Le16(f + 2) == 2 && Le32(f + 4) == 44100 &&
                     Le16(f + 12) == 4 && Le16(f + 14) == 16;
            if (!format)
                return false;
        } else if (memcmp(head + at, "data", 4) == 0) {
            if (!format)
                return false;
            *start = static_cast<int64_t>(at + 8);
            int64_t left = fileSize - *start;
            *size = (chunk < left) ? chunk : (left > 0 ? left : 0);
            return true;
        }
        /* Chunks are padded to an even length. */
        uint64_t next = static_cast<uint64_t>(at) + 8 + chunk + (chunk & 1);
        if (next > got)
            return false;
        at = static_cast<size_t>(next);
    }
    return false;
}

/* Each file opened, a WAVE's samples found. */
static void OpenFiles(Disc *disc, CueSheet *cue)
{
    for (int i = 0; i < cue->fileCount; i++) {
        CueFileEntry *f = &cue->files[i];
        if (!DiscOpenFile(disc, &f->file, f->path, f->line))
            continue;
        f->size = DiscFileSize(&f->file);
        if (f->wave) {
            uint8_t head[DISC_HEAD_SIZE];
            uint32_t got = DiscFileRead(&f->file, 0, head, sizeof head);
            if (!WaveData(head, got, f->size, &f->dataStart, &f->size))
                DiscProblem(disc, f->path, 0, "no 16-bit stereo 44.1 kHz PCM WAVE file");
        }
    }
}

static void CloseFiles(CueSheet *cue)
{
    for (int i = 0; i < cue->fileCount; i++)
        DiscFileClose(&cue->files[i].file);
}

/* ---- laying the tracks out ---- */

static void TimeText(char *out, size_t size, int32_t frames)
{
    BufFormat(out, size, "%02d:%02d:%02d", frames / CD_FRAMES_PER_MINUTE,
              frames / CD_FRAMES_PER_SECOND % CD_SECONDS_PER_MINUTE, frames % CD_FRAMES_PER_SECOND);
}

/* With every file's size (and a WAVE's dataStart) known: the tracks' parts
   of their files and places on the disc, and the problems of a file too
   short for its tracks, a size that is no whole number of sectors, or a
   disc longer than 99:59:74. */
static void LayOutTracks(Disc *disc, CueSheet *cue)
{
    for (int i = 0; i < cue->trackCount; i++) {
        CueTrack *t = &cue->tracks[i];
        const CueFileEntry *f = &cue->files[t->file];
        if (i == 0 || cue->tracks[i - 1].file != t->file) {
            /* A file's first track owns it from its first byte. */
            t->fileFirst = 0;
            t->fileOffset = f->dataStart;
        } else {
            CueTrack *prev = &cue->tracks[i - 1];
            int32_t first = t->index0 >= 0 ? t->index0 : t->index1;
            if (first <= prev->index1) {
                DiscProblem(disc, disc->path, t->line, "track %d begins before track %d's INDEX 01",
                            t->number, prev->number);
                return;
            }
            t->fileFirst = first;
            t->fileOffset = prev->fileOffset +
                            static_cast<int64_t>(first - prev->fileFirst) * TrackSectorSize(prev->type);
            prev->fileFrames = first - prev->fileFirst;
        }
        if (i + 1 == cue->trackCount || cue->tracks[i + 1].file != t->file) {
            uint32_t sectorSize = TrackSectorSize(t->type);
            int64_t bytes = f->dataStart + f->size - t->fileOffset;
            if (bytes < 0)
                bytes = 0;
            if (!f->wave && bytes % sectorSize != 0) {
                DiscProblem(disc, f->path, 0, "%lld bytes are no whole number of %u-byte sectors",
                            static_cast<long long>(f->size), sectorSize);
                return;
            }
            int64_t frames = bytes / sectorSize;
            t->fileFrames = frames > CD_LAST_FRAME ? CD_LAST_FRAME + 1 : static_cast<int32_t>(frames);
        }
    }
    for (int i = 0; i < cue->trackCount; i++) {
        const CueTrack *t = &cue->tracks[i];
        if (t->fileFrames <= t->index1 - t->fileFirst) {
            char at[16];
            TimeText(at, sizeof at, t->index1);
            DiscProblem(disc, cue->files[t->file].path, 0,
                        "too short for track %d (INDEX 01 at %s, the file holds %ld sectors)",
                        t->number, at, static_cast<long>(t->fileFrames));
        }
    }
    if (disc->problemCount)
        return;
    int32_t at = 0;
    for (int i = 0; i < cue->trackCount; i++) {
        CueTrack *t = &cue->tracks[i];
        at += t->pregap;
        t->discFirst = at;
        t->start = at + (t->index1 - t->fileFirst);
        at += t->fileFrames;
        at += t->postgap;
        if (at > CD_LAST_FRAME)
            break;
    }
    disc->leadOut = at;
    if (at + CD_LEAD_IN_FRAMES > CD_LAST_FRAME)
        DiscProblem(disc, disc->path, 0, "the disc is longer than 99:59:74");
}

/* ---- the reader ---- */

static bool OpenCue(Disc *disc, int)
{
    CueSheet *cue = static_cast<CueSheet *>(DiscNewState(disc, sizeof(CueSheet)));
    if (!cue)
        return false;
    size_t length = 0;
    char *text = ReadSheetText(disc, &length);
    if (text) {
        ParseCue(disc, cue, text, length);
        free(text);
    }
    if (!disc->problemCount)
        OpenFiles(disc, cue);
    char name[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), name, sizeof name);
    BufFormat(disc->kind, sizeof disc->kind, "CUE sheet %s, %d file%s:", name, cue->fileCount,
              cue->fileCount == 1 ? "" : "s");
    for (int i = 0; i < cue->fileCount; i++) {
        char file[DISC_TEXT_SIZE - 16];
        DiscUtf8(DiscPathName(cue->files[i].path), file, sizeof file);
        /* A file kept as NAME.ecm (disc_file_ecm.h) says so. */
        DiscDetail(disc, "%s%s", file,
                   cue->files[i].wave ? " (WAVE)" : cue->files[i].file.unpacked ? " (ECM)" : "");
    }
    if (!disc->problemCount)
        LayOutTracks(disc, cue);
    if (disc->problemCount) {
        CloseFiles(cue);
        free(cue);
        return false;
    }
    for (int i = 0; i < cue->trackCount; i++) {
        const CueTrack *t = &cue->tracks[i];
        DiscTrack *d = &disc->tracks[i];
        d->number = t->number;
        d->type = t->type;
        d->first = t->discFirst - t->pregap;
        d->start = t->start;
    }
    disc->trackCount = cue->trackCount;
    cue->lastTrack = -1;
    disc->state = cue;
    return true;
}

/* Where the bytes of disc sector lie: the track, the file (-1 for a gap
   in no file) and the byte offset in it. hint: the track of the last find. */
static bool FindSector(const Disc *disc, const CueSheet *cue, int32_t sector, int hint, int *track,
                       int *file, int64_t *offset)
{
    if (sector < 0 || sector >= disc->leadOut)
        return false;
    /* The hinted track first: runs of reads stay in one track. */
    for (int n = -1; n < cue->trackCount; n++) {
        int i = n < 0 ? hint : n;
        if (i < 0 || i >= cue->trackCount)
            continue;
        const CueTrack *t = &cue->tracks[i];
        if (sector < t->discFirst - t->pregap || sector >= t->discFirst + t->fileFrames + t->postgap)
            continue;
        *track = i;
        if (sector < t->discFirst || sector >= t->discFirst + t->fileFrames) {
            *file = -1;
            *offset = 0;
        } else {
            *file = t->file;
            *offset = t->fileOffset + static_cast<int64_t>(sector - t->discFirst) * TrackSectorSize(t->type);
        }
        return true;
    }
    return false;
}

bool CueSectorPlace(const Disc *disc, int32_t sector, const wchar_t **file, int64_t *offset)
{
    const CueSheet *cue = static_cast<const CueSheet *>(disc->state);
    int track = -1, index = -1;
    if (!cue || !FindSector(disc, cue, sector, -1, &track, &index, offset))
        return false;
    *file = index < 0 ? NULL : cue->files[index].path;
    return true;
}

static bool ReadCue(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    CueSheet *cue = static_cast<CueSheet *>(disc->state);
    int track = -1, file = -1;
    int64_t offset = 0;
    if (!FindSector(disc, cue, sector, cue->lastTrack, &track, &file, &offset))
        return false;
    cue->lastTrack = track;
    int type = cue->tracks[track].type;
    if (file < 0) {
        FillGapSector(raw, type, sector);
        return true;
    }
    uint32_t size = TrackSectorSize(type);
    uint8_t *dst = raw + CD_SYNC_SIZE + SectorDataOffset(type);
    if (DiscFileRead(&cue->files[file].file, offset, dst, size) != size)
        return false;
    FillCookedSector(raw, type, sector);
    return true;
}

static void CloseCue(Disc *disc)
{
    CueSheet *cue = static_cast<CueSheet *>(disc->state);
    if (!cue)
        return;
    CloseFiles(cue);
    free(cue);
    disc->state = NULL;
}

extern const DiscFormat kDiscCue = { "CUE sheet", RecogniseCue, OpenCue, ReadCue, CloseCue };
