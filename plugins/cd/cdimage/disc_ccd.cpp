/* CloneCD sets: the .ccd control file gives the track table, the .img
 * beside it (same name) holds every sector raw, sector n at n * 2352. */
#include "disc_ccd.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "disc_file.h"
#include "kova_str.h"

/* ---- the control file ---- */

enum CcdSection { SECTION_OTHER, SECTION_DISC, SECTION_ENTRY, SECTION_TRACK };

#define CCD_LEAD_OUT_POINT 0xA2
#define CCD_NONE INT32_MIN

struct CcdEntry {
    int32_t plba, minute, second, frame;
    int32_t control;
    int line;
};

struct CcdTrackKeys {
    int32_t mode;                 /* -1 when absent */
    int32_t index0, index1;       /* CCD_NONE when absent */
    int line;
};

struct CcdState {
    int section;
    int number;                   /* of the [Entry n] or [TRACK n] */
    int32_t point;                /* of the entry being read, -1 before Point */
    CcdEntry entry;
    CcdEntry points[256];         /* by Point; line 0 when absent */
    CcdTrackKeys tracks[DISC_MAX_TRACKS + 1];
};

static void CcdProblem(CcdSheet *sheet, int line, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static void CcdProblem(CcdSheet *sheet, int line, const char *format, ...)
{
    if (sheet->problemCount < DISC_MAX_PROBLEMS) {
        va_list args;
        va_start(args, format);
        BufFormatV(sheet->problems[sheet->problemCount], DISC_TEXT_SIZE, format, args);
        va_end(args);
        sheet->problemLines[sheet->problemCount] = line;
    }
    sheet->problemCount++;
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/* Whether text[0..n) starts with word, letter case aside; rest: what follows. */
static bool StartsWith(const char *text, size_t n, const char *word, const char **rest)
{
    size_t i = 0;
    for (; word[i]; i++) {
        if (i >= n || Upper(text[i]) != Upper(word[i]))
            return false;
    }
    *rest = text + i;
    return true;
}

static bool SameWord(const char *text, size_t n, const char *word)
{
    const char *rest;
    return StartsWith(text, n, word, &rest) && rest == text + n;
}

/* A whole number: decimal with an optional sign, or hex after 0x. */
static bool ParseNumber(const char *p, const char *end, int32_t *value)
{
    while (p < end && (*p == ' ' || *p == '\t'))
        p++;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t'))
        end--;
    bool negative = p < end && *p == '-';
    if (negative)
        p++;
    int base = 10;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p == end)
        return false;
    int64_t v = 0;
    for (; p < end; p++) {
        int digit;
        char c = Upper(*p);
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * base + digit;
        if (v > 0x7FFFFFFF)
            return false;
    }
    *value = static_cast<int32_t>(negative ? -v : v);
    return true;
}

static void EndEntry(CcdState *state)
{
    if (state->section == SECTION_ENTRY && state->point >= 0 && state->point < 256)
        state->points[state->point] = state->entry;
}

static void SectionLine(CcdState *state, const char *p, const char *end, int line)
{
    EndEntry(state);
    const char *name = p + 1;
    const char *close = static_cast<const char *>(memchr(name, ']', end - name));
    size_t n = close ? static_cast<size_t>(close - name) : static_cast<size_t>(end - name);
    const char *rest;
    int32_t number = -1;
    state->section = SECTION_OTHER;
    if (SameWord(name, n, "Disc")) {
        state->section = SECTION_DISC;
    } else if (StartsWith(name, n, "Entry ", &rest) && ParseNumber(rest, name + n, &number)) {
        state->section = SECTION_ENTRY;
        state->point = -1;
        memset(&state->entry, 0, sizeof state->entry);
        state->entry.plba = CCD_NONE;
        state->entry.line = line;
    } else if (StartsWith(name, n, "TRACK ", &rest) && ParseNumber(rest, name + n, &number) &&
               number >= 1 && number <= DISC_MAX_TRACKS) {
        state->section = SECTION_TRACK;
        state->tracks[number].line = line;
    }
    state->number = number;
}

static void KeyLine(CcdSheet *sheet, CcdState *state, const char *p, const char *end, int line)
{
    const char *equals = static_cast<const char *>(memchr(p, '=', end - p));
    if (!equals || state->section == SECTION_OTHER)
        return;
    size_t n = static_cast<size_t>(equals - p);
    while (n && (p[n - 1] == ' ' || p[n - 1] == '\t'))
        n--;
    int32_t value;
    bool number = ParseNumber(equals + 1, end, &value);
    const char *key = p;
    if (state->section == SECTION_DISC) {
        if (SameWord(key, n, "Sessions") && number && value > 1)
            CcdProblem(sheet, line, "a disc of %d sessions; only single-session discs are read",
                       static_cast<int>(value));
        else if (SameWord(key, n, "DataTracksScrambled") && number && value != 0)
            CcdProblem(sheet, line, "the data tracks are stored scrambled");
        return;
    }
    static const char *const kEntryKeys[] = {"Point", "Control", "PLBA", "PMin", "PSec", "PFrame"};
    static const char *const kTrackKeys[] = {"MODE", "INDEX 0", "INDEX 1"};
    bool entry = state->section == SECTION_ENTRY;
    const char *const *keys = entry ? kEntryKeys : kTrackKeys;
    size_t keyCount = entry ? dimof(kEntryKeys) : dimof(kTrackKeys);
    size_t which = 0;
    while (which < keyCount && !SameWord(key, n, keys[which]))
        which++;
    if (which == keyCount)
        return;
    if (!number) {
        CcdProblem(sheet, line, "%s is no number", keys[which]);
        return;
    }
    if (entry) {
        CcdEntry *e = &state->entry;
        int32_t *fields[] = {&state->point, &e->control, &e->plba, &e->minute, &e->second, &e->frame};
        *fields[which] = value;
    } else {
        CcdTrackKeys *t = &state->tracks[state->number];
        int32_t *fields[] = {&t->mode, &t->index0, &t->index1};
        *fields[which] = value;
    }
}

/* The sector of an entry's P time (PMin, PSec, PFrame), or false when the
   time is none a disc has: the file's numbers go up to 2^31 - 1, whose
   arithmetic would overflow. */
static bool EntrySector(const CcdEntry *e, int32_t *sector)
{
    if (e->minute < 0 || e->minute > 99 || e->second < 0 || e->second >= CD_SECONDS_PER_MINUTE || e->frame < 0 ||
        e->frame >= CD_FRAMES_PER_SECOND)
        return false;
    *sector = (e->minute * CD_SECONDS_PER_MINUTE + e->second) * CD_FRAMES_PER_SECOND + e->frame - CD_LEAD_IN_FRAMES;
    return true;
}

/* The track table from the entries and the [TRACK n] sections. */
static void LayOutCcd(CcdSheet *sheet, const CcdState *state)
{
    for (int number = 1; number <= DISC_MAX_TRACKS; number++) {
        const CcdEntry *e = &state->points[number];
        if (e->line == 0)
            continue;
        const CcdTrackKeys *keys = &state->tracks[number];
        if (number != sheet->trackCount + 1) {
            CcdProblem(sheet, e->line, "track %d follows track %d", number, sheet->trackCount);
            return;
        }
        DiscTrack *t = &sheet->tracks[sheet->trackCount++];
        t->number = static_cast<uint8_t>(number);
        if (e->plba != CCD_NONE)
            t->start = e->plba;
        else if (keys->index1 != CCD_NONE)
            t->start = keys->index1;
        else if (!EntrySector(e, &t->start)) {
            CcdProblem(sheet, e->line, "track %d starts at %d:%d:%d, no time on a disc", number,
                       static_cast<int>(e->minute), static_cast<int>(e->second), static_cast<int>(e->frame));
            return;
        }
        t->first = keys->index0 != CCD_NONE && keys->index0 <= t->start ? keys->index0 : t->start;
        int mode = keys->mode;
        if (mode < 0)
            mode = (e->control & 4) ? 2 : 0;
        static const uint8_t kTypes[] = {TRACK_AUDIO, TRACK_MODE1_2352, TRACK_MODE2_2352};
        if (mode > 2) {
            CcdProblem(sheet, keys->line, "track %d has MODE %d", number, mode);
            return;
        }
        t->type = kTypes[mode];
        int32_t previous = sheet->trackCount > 1 ? sheet->tracks[sheet->trackCount - 2].start : -1;
        if (t->start <= previous || t->start > CD_LAST_FRAME - CD_LEAD_IN_FRAMES) {
            CcdProblem(sheet, e->line, "track %d starts at sector %d", number, static_cast<int>(t->start));
            return;
        }
        if (t->first <= previous)
            t->first = t->start;
    }
    if (sheet->trackCount == 0) {
        CcdProblem(sheet, 0, "no tracks");
        return;
    }
    const CcdEntry *out = &state->points[CCD_LEAD_OUT_POINT];
    if (out->line == 0)
        return;
    if (out->plba != CCD_NONE) {
        sheet->leadOut = out->plba;
    } else if (!EntrySector(out, &sheet->leadOut)) {
        CcdProblem(sheet, out->line, "the lead-out at %d:%d:%d, no time on a disc", static_cast<int>(out->minute),
                   static_cast<int>(out->second), static_cast<int>(out->frame));
        return;
    }
    int32_t last = sheet->tracks[sheet->trackCount - 1].start;
    if (sheet->leadOut <= last || sheet->leadOut > CD_LAST_FRAME - CD_LEAD_IN_FRAMES + 1)
        CcdProblem(sheet, out->line, "the lead-out at sector %d", static_cast<int>(sheet->leadOut));
}

void ParseCcd(CcdSheet *sheet, const char *text, size_t length)
{
    memset(sheet, 0, sizeof *sheet);
    sheet->leadOut = -1;
    static CcdState state;
    memset(&state, 0, sizeof state);
    for (int i = 0; i <= DISC_MAX_TRACKS; i++) {
        state.tracks[i].mode = -1;
        state.tracks[i].index0 = CCD_NONE;
        state.tracks[i].index1 = CCD_NONE;
    }
    const char *p = text, *end = text + length;
    int line = 0;
    while (p < end) {
        const char *eol = p;
        while (eol < end && *eol != '\n' && *eol != '\r')
            eol++;
        line++;
        const char *q = p;
        while (q < eol && (*q == ' ' || *q == '\t'))
            q++;
        if (q < eol && *q == '[')
            SectionLine(&state, q, eol, line);
        else if (q < eol && *q != ';')
            KeyLine(sheet, &state, q, eol, line);
        /* CR LF is one line end. */
        p = eol < end && *eol == '\r' && eol + 1 < end && eol[1] == '\n' ? eol + 2 : eol + 1;
    }
    EndEntry(&state);
    if (sheet->problemCount == 0)
        LayOutCcd(sheet, &state);
}

/* ---- the reader ---- */

struct CcdImage {
    DiscFile image;
};

/* Text read of a control file, kept only while it is read. */
static char CcdTextBuffer[CCD_MAX_SIZE];

static bool RecogniseCcd(const wchar_t *path, const uint8_t *head, size_t got)
{
    static const char kMark[] = "[CloneCD]";
    if (got >= sizeof kMark - 1 && memcmp(head, kMark, sizeof kMark - 1) == 0)
        return true;
    return DiscExtensionIs(path, ".ccd");
}

/* The .img beside the control file: its name with the last extension
   replaced (or added). */
static bool ImagePathOf(const wchar_t *ccd, wchar_t *out, size_t outSize)
{
    size_t length = wcslen(ccd);
    const wchar_t *name = DiscPathName(ccd);
    const wchar_t *dot = wcsrchr(name, L'.');
    size_t keep = dot ? static_cast<size_t>(dot - ccd) : length;
    if (keep + 5 > outSize)
        return false;
    wmemcpy(out, ccd, keep);
    wmemcpy(out + keep, L".img", 5);
    return true;
}

static bool OpenCcd(Disc *disc, int)
{
    DiscFile control;
    if (!DiscOpenFile(disc, &control, disc->path, 0))
        return false;
    int64_t size = DiscFileSize(&control);
    uint32_t got = size <= CCD_MAX_SIZE ? DiscFileRead(&control, 0, CcdTextBuffer, static_cast<uint32_t>(size)) : 0;
    DiscFileClose(&control);
    if (size > CCD_MAX_SIZE) {
        DiscProblem(disc, disc->path, 0, "too large for a CloneCD control file");
        return false;
    }
    if (got != size) {
        DiscProblem(disc, disc->path, 0, "the file cannot be read");
        return false;
    }
    static CcdSheet sheet;
    ParseCcd(&sheet, CcdTextBuffer, got);
    for (int i = 0; i < sheet.problemCount && i < DISC_MAX_PROBLEMS; i++)
        DiscProblem(disc, disc->path, sheet.problemLines[i], "%s", sheet.problems[i]);
    disc->problemCount += sheet.problemCount > DISC_MAX_PROBLEMS ? sheet.problemCount - DISC_MAX_PROBLEMS : 0;
    if (sheet.problemCount)
        return false;
    wchar_t imagePath[DISC_PATH_SIZE];
    if (!ImagePathOf(disc->path, imagePath, DISC_PATH_SIZE)) {
        DiscProblem(disc, disc->path, 0, "the path is too long");
        return false;
    }
    CcdImage *state =
        static_cast<CcdImage *>(DiscNewFileState(disc, sizeof(CcdImage), offsetof(CcdImage, image), imagePath));
    if (!state)
        return false;
    int64_t sectors = DiscFileSize(&state->image) / CD_RAW_SECTOR_SIZE;
    int32_t leadOut = sheet.leadOut >= 0 ? sheet.leadOut : static_cast<int32_t>(sectors);
    if (DiscFileSize(&state->image) % CD_RAW_SECTOR_SIZE != 0)
        DiscProblem(disc, imagePath, 0, "%lld bytes are no whole number of 2352-byte sectors",
                    static_cast<long long>(DiscFileSize(&state->image)));
    else if (sectors < leadOut)
        DiscProblem(disc, imagePath, 0, "the file holds %lld sectors, the disc %ld",
                    static_cast<long long>(sectors), static_cast<long>(leadOut));
    else if (leadOut <= sheet.tracks[sheet.trackCount - 1].start || leadOut + CD_LEAD_IN_FRAMES > CD_LAST_FRAME + 1)
        DiscProblem(disc, imagePath, 0, "the file holds %lld sectors, no room for the last track",
                    static_cast<long long>(sectors));
    if (disc->problemCount) {
        DiscFileClose(&state->image);
        free(state);
        return false;
    }
    memcpy(disc->tracks, sheet.tracks, sizeof(DiscTrack) * sheet.trackCount);
    disc->trackCount = sheet.trackCount;
    disc->leadOut = leadOut;
    char name[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), name, sizeof name);
    BufFormat(disc->kind, sizeof disc->kind, "CloneCD, %d track%s: %s", disc->trackCount,
              disc->trackCount == 1 ? "" : "s", name);
    DiscUtf8(DiscPathName(imagePath), name, sizeof name);
    DiscDetail(disc, "%s", name);
    disc->state = state;
    return true;
}

static bool ReadCcd(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    CcdImage *state = static_cast<CcdImage *>(disc->state);
    return DiscFileRead(&state->image, static_cast<int64_t>(sector) * CD_RAW_SECTOR_SIZE, raw,
                        CD_RAW_SECTOR_SIZE) == CD_RAW_SECTOR_SIZE;
}

static void CloseCcd(Disc *disc)
{
    CcdImage *state = static_cast<CcdImage *>(disc->state);
    if (!state)
        return;
    DiscFileClose(&state->image);
    free(state);
    disc->state = NULL;
}

extern const DiscFormat kDiscCcd = { "CloneCD control file", RecogniseCcd, OpenCcd, ReadCcd, CloseCcd };
