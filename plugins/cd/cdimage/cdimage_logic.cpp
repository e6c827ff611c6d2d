#include "cdimage_logic.h"

#include <stdarg.h>
#include <string.h>

#include "cd_iso9660.h"
#include "kova_str.h"

static const struct {
    const char *name;
    uint32_t size;
    uint8_t mode;
} kTrackTypes[] = {
    { "MODE1/2048", 2048, 1 },
    { "MODE1/2352", CD_RAW_SECTOR_SIZE, 1 },
    { "MODE2/2336", CD_MODE2_SECTOR_SIZE, 2 },
    { "MODE2/2352", CD_RAW_SECTOR_SIZE, 2 },
    { "AUDIO", CD_RAW_SECTOR_SIZE, 0 },
};

const char *TrackTypeName(int type)
{
    return kTrackTypes[type].name;
}

uint32_t TrackSectorSize(int type)
{
    return kTrackTypes[type].size;
}

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

const char *PathName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    return name;
}

void AddProblem(DiscLayout *disc, const char *file, int line, const char *format, ...)
{
    if (disc->problemCount < CDIMAGE_MAX_PROBLEMS) {
        char *out = disc->problems[disc->problemCount];
        if (line > 0)
            BufFormat(out, CDIMAGE_PROBLEM_SIZE, "%s line %d: ", PathName(file), line);
        else
            BufFormat(out, CDIMAGE_PROBLEM_SIZE, "%s: ", PathName(file));
        size_t used = strlen(out);
        va_list args;
        va_start(args, format);
        BufFormatV(out + used, CDIMAGE_PROBLEM_SIZE - used, format, args);
        va_end(args);
    }
    disc->problemCount++;
}

void ResetLayout(DiscLayout *disc, const char *imagePath)
{
    disc->kind = IMAGE_NONE;
    BufSet(disc->imagePath, sizeof disc->imagePath, imagePath);
    disc->fileCount = 0;
    disc->trackCount = 0;
    disc->leadOut = 0;
    disc->problemCount = 0;
}

/* ---- kinds ---- */

static const char *const kCueKeywords[] = {
    "FILE", "REM", "CATALOG", "TITLE", "PERFORMER", "SONGWRITER", "CDTEXTFILE",
};
static const uint8_t kSync[CD_SYNC_SIZE] = {
    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,
};

static size_t SkipByteOrderMark(const uint8_t *text, size_t length)
{
    return (length >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) ? 3 : 0;
}

int GuessImageKind(const char *path, const uint8_t *head, size_t got)
{
    size_t pathLength = strlen(path);
    if (pathLength >= 4 && WordIs(path + pathLength - 4, 4, ".CUE"))
        return IMAGE_CUE;
    /* A CUE sheet under another name: text whose first word is one a CUE
       sheet begins with. */
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
                return IMAGE_CUE;
        }
    }
    if (got >= CD_SYNC_SIZE && memcmp(head, kSync, CD_SYNC_SIZE) == 0)
        return IMAGE_BIN;
    return IMAGE_ISO;
}

static ImageTrack *AddTrack(DiscLayout *disc, int number, int type, int file, int line)
{
    ImageTrack *t = &disc->tracks[disc->trackCount++];
    memset(t, 0, sizeof *t);
    t->number = static_cast<uint8_t>(number);
    t->type = static_cast<uint8_t>(type);
    t->file = file;
    t->line = line;
    t->index0 = -1;
    t->index1 = -1;
    return t;
}

static ImageFileEntry *AddFile(DiscLayout *disc, int line)
{
    ImageFileEntry *f = &disc->files[disc->fileCount++];
    memset(f, 0, sizeof *f);
    f->line = line;
    return f;
}

void LayOutLoneImage(DiscLayout *disc, int kind, const uint8_t *head, size_t got, int64_t size)
{
    ImageFileEntry *f = AddFile(disc, 0);
    BufSet(f->path, sizeof f->path, disc->imagePath);
    f->size = size;
    int type = TRACK_MODE1_2048;
    if (kind == IMAGE_ISO && size % 2048 != 0 && size % CD_RAW_SECTOR_SIZE == 0) {
        /* Raw sectors whose first is no data sector (no sync there). */
        kind = IMAGE_BIN;
    }
    if (kind == IMAGE_BIN) {
        /* The mode byte of the first sector's header; a PlayStation disc's
           is 2, and so is the guess when it says nothing else. */
        type = (got > 15 && head[15] == 1) ? TRACK_MODE1_2352 : TRACK_MODE2_2352;
    }
    disc->kind = kind;
    ImageTrack *t = AddTrack(disc, 1, type, 0, 0);
    t->index1 = 0;
    if (size == 0)
        AddProblem(disc, f->path, 0, "the file is empty");
}

/* ---- CUE sheets ---- */

struct CueState {
    int line;
    int file;          /* the last FILE's index, -1 before one */
    ImageTrack *track; /* the last TRACK of that file, null before one */
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

static void CueFile(DiscLayout *disc, CueState *state, const char *p, const char *end)
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
            AddProblem(disc, disc->imagePath, state->line, "the file name has no closing quote");
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
        AddProblem(disc, disc->imagePath, state->line, "FILE needs a name and a type");
        return;
    }
    bool wave = WordIs(type, typeLength, "WAVE");
    if (!wave && !WordIs(type, typeLength, "BINARY")) {
        AddProblem(disc, disc->imagePath, state->line,
                   "file type %.*s is not supported (BINARY or WAVE)", static_cast<int>(typeLength > 20 ? 20 : typeLength), type);
        return;
    }
    if (disc->fileCount == CDIMAGE_MAX_FILES) {
        AddProblem(disc, disc->imagePath, state->line, "more than %d files", CDIMAGE_MAX_FILES);
        return;
    }
    /* Relative names are taken from the CUE sheet's folder. */
    char path[CDIMAGE_PATH_SIZE];
    size_t nameLength = static_cast<size_t>(nameEnd - name);
    bool absolute = (nameLength >= 2 && name[1] == ':') || name[0] == '\\' || name[0] == '/';
    size_t folder = absolute ? 0 : static_cast<size_t>(PathName(disc->imagePath) - disc->imagePath);
    if (folder + nameLength >= sizeof path) {
        AddProblem(disc, disc->imagePath, state->line, "the file's path is too long");
        return;
    }
    memcpy(path, disc->imagePath, folder);
    memcpy(path + folder, name, nameLength);
    path[folder + nameLength] = '\0';
    for (char *c = path; *c; c++) {
        if (*c == '/')
            *c = '\\';
    }
    ImageFileEntry *f = AddFile(disc, state->line);
    BufSet(f->path, sizeof f->path, path);
    f->wave = wave;
    state->file = disc->fileCount - 1;
    state->track = NULL;
}

static void CueTrack(DiscLayout *disc, CueState *state, const char *p, const char *end)
{
    const char *word, *type;
    size_t n = NextWord(&p, end, &word);
    size_t typeLength = NextWord(&p, end, &type);
    int number = 0;
    if (!SmallNumber(word, n, &number) || number < 1 || typeLength == 0 || !RestIsBlank(p, end)) {
        AddProblem(disc, disc->imagePath, state->line, "TRACK needs a number from 1 to 99 and a type");
        return;
    }
    int found = -1;
    for (size_t i = 0; i < dimof(kTrackTypes); i++) {
        if (WordIs(type, typeLength, kTrackTypes[i].name))
            found = static_cast<int>(i);
    }
    if (found < 0) {
        AddProblem(disc, disc->imagePath, state->line, "track type %.*s is not supported",
                   static_cast<int>(typeLength > 20 ? 20 : typeLength), type);
        return;
    }
    if (state->file < 0) {
        AddProblem(disc, disc->imagePath, state->line, "TRACK before any FILE");
        return;
    }
    if (disc->trackCount == CDIMAGE_MAX_TRACKS) {
        AddProblem(disc, disc->imagePath, state->line, "more than %d tracks", CDIMAGE_MAX_TRACKS);
        return;
    }
    if (disc->trackCount > 0 && number != disc->tracks[disc->trackCount - 1].number + 1) {
        AddProblem(disc, disc->imagePath, state->line, "track %d follows track %d", number,
                   disc->tracks[disc->trackCount - 1].number);
        return;
    }
    state->track = AddTrack(disc, number, found, state->file, state->line);
}

static void CueIndex(DiscLayout *disc, CueState *state, const char *keyword, const char *p,
                     const char *end)
{
    bool index = WordIs(keyword, 5, "INDEX");
    const char *word, *time;
    int number = 0;
    if (index) {
        size_t n = NextWord(&p, end, &word);
        if (!SmallNumber(word, n, &number)) {
            AddProblem(disc, disc->imagePath, state->line, "INDEX needs a number and a time");
            return;
        }
    }
    size_t timeLength = NextWord(&p, end, &time);
    int32_t frames = 0;
    if (!CueTime(time, timeLength, &frames) || !RestIsBlank(p, end)) {
        AddProblem(disc, disc->imagePath, state->line, "%s needs a time mm:ss:ff",
                   index ? "INDEX" : keyword);
        return;
    }
    ImageTrack *t = state->track;
    if (!t) {
        AddProblem(disc, disc->imagePath, state->line, "%s before any TRACK of its file",
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

static void CueLine(DiscLayout *disc, CueState *state, const char *p, const char *end)
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
        CueFile(disc, state, p, end);
    } else if (WordIs(keyword, n, "TRACK")) {
        CueTrack(disc, state, p, end);
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
        AddProblem(disc, disc->imagePath, state->line, "cannot read \"%s\"", shown);
    }
}

void ParseCue(DiscLayout *disc, const char *text, size_t length)
{
    disc->kind = IMAGE_CUE;
    CueState state = { 0, -1, NULL };
    const char *p = text + SkipByteOrderMark(reinterpret_cast<const uint8_t *>(text), length);
    const char *end = text + length;
    while (p < end) {
        state.line++;
        const char *eol = p;
        while (eol < end && *eol != '\r' && *eol != '\n')
            eol++;
        CueLine(disc, &state, p, eol);
        if (eol + 1 < end && eol[0] == '\r' && eol[1] == '\n')
            eol++;
        p = eol + 1;
    }
    if (disc->problemCount)
        return;
    if (disc->trackCount == 0) {
        AddProblem(disc, disc->imagePath, 0, "the CUE sheet holds no track");
        return;
    }
    for (int i = 0; i < disc->trackCount; i++) {
        const ImageTrack *t = &disc->tracks[i];
        if (t->index1 < 0)
            AddProblem(disc, disc->imagePath, t->line, "track %d has no INDEX 01", t->number);
        else if (t->index0 > t->index1)
            AddProblem(disc, disc->imagePath, t->line, "track %d has INDEX 00 after INDEX 01",
                       t->number);
    }
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

bool WaveData(const uint8_t *head, size_t got, int64_t fileSize, int64_t *start, int64_t *size)
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

/* ---- laying the tracks out ---- */

static void TimeText(char *out, size_t size, int32_t frames)
{
    BufFormat(out, size, "%02d:%02d:%02d", frames / CD_FRAMES_PER_MINUTE,
              frames / CD_FRAMES_PER_SECOND % CD_SECONDS_PER_MINUTE, frames % CD_FRAMES_PER_SECOND);
}

void LayOutTracks(DiscLayout *disc)
{
    for (int i = 0; i < disc->trackCount; i++) {
        ImageTrack *t = &disc->tracks[i];
        const ImageFileEntry *f = &disc->files[t->file];
        if (i == 0 || disc->tracks[i - 1].file != t->file) {
            /* A file's first track owns it from its first byte. */
            t->fileFirst = 0;
            t->fileOffset = f->dataStart;
        } else {
            ImageTrack *prev = &disc->tracks[i - 1];
            int32_t first = t->index0 >= 0 ? t->index0 : t->index1;
            if (first <= prev->index1) {
                AddProblem(disc, disc->imagePath, t->line,
                           "track %d begins before track %d's INDEX 01", t->number, prev->number);
                return;
            }
            t->fileFirst = first;
            t->fileOffset = prev->fileOffset +
                            static_cast<int64_t>(first - prev->fileFirst) * TrackSectorSize(prev->type);
            prev->fileFrames = first - prev->fileFirst;
        }
        if (i + 1 == disc->trackCount || disc->tracks[i + 1].file != t->file) {
            uint32_t sectorSize = TrackSectorSize(t->type);
            int64_t bytes = f->dataStart + f->size - t->fileOffset;
            if (bytes < 0)
                bytes = 0;
            if (!f->wave && bytes % sectorSize != 0) {
                AddProblem(disc, f->path, 0, "%lld bytes are no whole number of %u-byte sectors",
                           static_cast<long long>(f->size), sectorSize);
                return;
            }
            int64_t frames = bytes / sectorSize;
            t->fileFrames = frames > CD_LAST_FRAME ? CD_LAST_FRAME + 1 : static_cast<int32_t>(frames);
        }
    }
    for (int i = 0; i < disc->trackCount; i++) {
        const ImageTrack *t = &disc->tracks[i];
        if (t->fileFrames <= t->index1 - t->fileFirst) {
            char at[16];
            TimeText(at, sizeof at, t->index1);
            AddProblem(disc, disc->files[t->file].path, 0,
                       "too short for track %d (INDEX 01 at %s, the file holds %ld sectors)",
                       t->number, at, static_cast<long>(t->fileFrames));
        }
    }
    if (disc->problemCount)
        return;
    int32_t at = 0;
    for (int i = 0; i < disc->trackCount; i++) {
        ImageTrack *t = &disc->tracks[i];
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
        AddProblem(disc, disc->imagePath, 0, "the disc is longer than 99:59:74");
}

bool FindSector(const DiscLayout *disc, int32_t sector, int hint, SectorPlace *place)
{
    if (sector < 0 || sector >= disc->leadOut)
        return false;
    /* The hinted track first: runs of reads stay in one track. */
    for (int n = -1; n < disc->trackCount; n++) {
        int i = n < 0 ? hint : n;
        if (i < 0 || i >= disc->trackCount)
            continue;
        const ImageTrack *t = &disc->tracks[i];
        if (sector < t->discFirst - t->pregap || sector >= t->discFirst + t->fileFrames + t->postgap)
            continue;
        place->track = i;
        if (sector < t->discFirst || sector >= t->discFirst + t->fileFrames) {
            place->file = -1;
            place->offset = 0;
        } else {
            place->file = t->file;
            place->offset = t->fileOffset +
                            static_cast<int64_t>(sector - t->discFirst) * TrackSectorSize(t->type);
        }
        return true;
    }
    return false;
}

int SectorDataOffset(int type)
{
    switch (type) {
    case TRACK_MODE1_2048:
        return CD_SECTOR_DATA_OFFSET;
    case TRACK_MODE2_2336:
        return CD_IMAGE_SUBHEADER_OFFSET;
    default:
        return -CD_SYNC_SIZE;
    }
}

void FillCookedSector(uint8_t *raw, int type, int32_t sector)
{
    if (type == TRACK_AUDIO)
        return;
    uint8_t *image = raw + CD_SYNC_SIZE;
    uint8_t msf[3];
    MsfFromSector(sector, msf);
    WriteHeaderAddress(image, msf);
    image[CD_IMAGE_MODE_OFFSET] = kTrackTypes[type].mode;
    if (type == TRACK_MODE1_2048) {
        memset(image + CD_IMAGE_SUBHEADER_OFFSET, 0, CD_IMAGE_SUBHEADER_SIZE);
        memset(image + CD_SECTOR_DATA_OFFSET + CD_SECTOR_DATA_SIZE, 0,
               CD_SECTOR_IMAGE_SIZE - CD_SECTOR_DATA_OFFSET - CD_SECTOR_DATA_SIZE);
    }
}

/* ---- the summary ---- */

static void Line(char *out, size_t outSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static void Line(char *out, size_t outSize, const char *format, ...)
{
    size_t used = strlen(out);
    if (used >= outSize)
        return;
    va_list args;
    va_start(args, format);
    BufFormatV(out + used, outSize - used, format, args);
    va_end(args);
    BufAppend(out, outSize, "\r\n");
}

void FormatSummary(const DiscLayout *disc, const char *boot, char *out, size_t outSize)
{
    if (outSize == 0)
        return;
    out[0] = '\0';
    const char *name = PathName(disc->imagePath);
    if (disc->kind == IMAGE_CUE) {
        Line(out, outSize, "CUE sheet %s, %d file%s:", name, disc->fileCount,
             disc->fileCount == 1 ? "" : "s");
        for (int i = 0; i < disc->fileCount; i++)
            Line(out, outSize, "    %s%s", PathName(disc->files[i].path),
                 disc->files[i].wave ? " (WAVE)" : "");
    } else if (disc->kind == IMAGE_BIN) {
        Line(out, outSize, "BIN image %s (raw 2352-byte sectors)", name);
    } else if (disc->kind == IMAGE_ISO) {
        Line(out, outSize, "ISO image %s (2048-byte sectors)", name);
    } else {
        Line(out, outSize, "%s", name);
    }
    if (disc->problemCount) {
        for (int i = 0; i < disc->problemCount && i < CDIMAGE_MAX_PROBLEMS; i++)
            Line(out, outSize, "%s", disc->problems[i]);
        if (disc->problemCount > CDIMAGE_MAX_PROBLEMS)
            Line(out, outSize, "... and %d more problems", disc->problemCount - CDIMAGE_MAX_PROBLEMS);
        return;
    }
    for (int i = 0; i < disc->trackCount; i++) {
        const ImageTrack *t = &disc->tracks[i];
        int32_t next = i + 1 < disc->trackCount ? disc->tracks[i + 1].start : disc->leadOut;
        char start[16], length[16];
        TimeText(start, sizeof start, t->start + CD_LEAD_IN_FRAMES);
        TimeText(length, sizeof length, next - t->start);
        Line(out, outSize, "Track %02d  %-10s  start %s  length %s", t->number,
             TrackTypeName(t->type), start, length);
    }
    char length[16];
    TimeText(length, sizeof length, disc->leadOut);
    Line(out, outSize, "Length %s (%ld sectors)", length, static_cast<long>(disc->leadOut));
    if (boot) {
        Line(out, outSize, "Boot program: %s", boot);
        const char *region = BootRegion(boot);
        if (region)
            Line(out, outSize, "Region: %s", region);
    } else {
        Line(out, outSize, "No SYSTEM.CNF: not a PlayStation disc");
    }
}

/* ---- settings ---- */

int PutRecent(char recent[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE], int count, const char *chosen)
{
    char kept[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE];
    int n = 0;
    BufSet(kept[n++], CDIMAGE_PATH_SIZE, chosen);
    for (int i = 0; i < count && n < CDIMAGE_RECENT_COUNT; i++) {
        if (recent[i][0] && !TextEqualsNoCase(recent[i], chosen))
            BufSet(kept[n++], CDIMAGE_PATH_SIZE, recent[i]);
    }
    memcpy(recent, kept, sizeof kept);
    return n;
}

static bool IsAbsolute(const char *path)
{
    return (path[0] && path[1] == ':') || path[0] == '\\' || path[0] == '/';
}

bool FullImagePath(const char *programDir, const char *value, char *out, size_t outSize)
{
    if (!value[0])
        return false;
    if (IsAbsolute(value))
        return BufSet(out, outSize, value);
    return BufSet(out, outSize, programDir) && BufAppend(out, outSize, value);
}

void StoredImagePath(const char *programDir, const char *chosen, char *out, size_t outSize)
{
    size_t n = strlen(programDir);
    if (n > 0 && strlen(chosen) > n) {
        char head[CDIMAGE_PATH_SIZE];
        if (n < sizeof head) {
            memcpy(head, chosen, n);
            head[n] = '\0';
            if (TextEqualsNoCase(head, programDir)) {
                BufSet(out, outSize, chosen + n);
                return;
            }
        }
    }
    BufSet(out, outSize, chosen);
}
