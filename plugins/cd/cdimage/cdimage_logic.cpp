#include "cdimage_logic.h"

#include <stdarg.h>
#include <string.h>
#include <wchar.h>

#include "cd_iso9660.h"
#include "kova_str.h"

const char *PathName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    return name;
}

static void TimeText(char *out, size_t size, int32_t frames)
{
    BufFormat(out, size, "%02d:%02d:%02d", frames / CD_FRAMES_PER_MINUTE,
              frames / CD_FRAMES_PER_SECOND % CD_SECONDS_PER_MINUTE, frames % CD_FRAMES_PER_SECOND);
}

/* ---- the summary ---- */

/* Appends one line (CR LF after it) when it leaves keep bytes of out
   free; false, with nothing added, when it does not. */
static bool Line(char *out, size_t outSize, size_t keep, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
static bool Line(char *out, size_t outSize, size_t keep, const char *format, ...)
{
    char line[DISC_TEXT_SIZE + 64];
    va_list args;
    va_start(args, format);
    BufFormatV(line, sizeof line, format, args);
    va_end(args);
    size_t used = strlen(out), length = strlen(line);
    if (used + length + 2 + keep >= outSize)
        return false;
    memcpy(out + used, line, length);
    memcpy(out + used + length, "\r\n", 3);
    return true;
}

/* Room kept below the reader's lines for the disc's own (boot program,
   region, length) and the first tracks, and below the tracks for the line
   that counts those left out. */
#define SUMMARY_KEEP_FOR_DISC 1024
#define SUMMARY_KEEP_FOR_COUNT 48

void FormatSummary(const Disc *disc, const char *boot, char *out, size_t outSize)
{
    if (outSize == 0)
        return;
    out[0] = '\0';
    if (disc->kind[0]) {
        Line(out, outSize, 0, "%s", disc->kind);
    } else {
        char name[DISC_TEXT_SIZE];
        DiscUtf8(DiscPathName(disc->path), name, sizeof name);
        Line(out, outSize, 0, "%s", name);
    }
    int kept = disc->detailCount < DISC_MAX_DETAILS ? disc->detailCount : DISC_MAX_DETAILS;
    int shown = 0;
    while (shown < kept && Line(out, outSize, SUMMARY_KEEP_FOR_DISC, "    %s", disc->details[shown]))
        shown++;
    if (shown < disc->detailCount)
        Line(out, outSize, 0, "    ... and %d more", disc->detailCount - shown);
    if (disc->problemCount) {
        for (int i = 0; i < disc->problemCount && i < DISC_MAX_PROBLEMS; i++)
            Line(out, outSize, 0, "%s", disc->problems[i]);
        if (disc->problemCount > DISC_MAX_PROBLEMS)
            Line(out, outSize, 0, "... and %d more problems", disc->problemCount - DISC_MAX_PROBLEMS);
        return;
    }
    if (boot) {
        Line(out, outSize, 0, "Boot program: %s", boot);
        const char *region = BootRegion(boot);
        if (region)
            Line(out, outSize, 0, "Region: %s", region);
    } else {
        Line(out, outSize, 0, "No SYSTEM.CNF: not a PlayStation disc");
    }
    char length[16];
    TimeText(length, sizeof length, disc->leadOut);
    Line(out, outSize, 0, "Length %s (%ld sectors)", length, static_cast<long>(disc->leadOut));
    for (int i = 0; i < disc->trackCount; i++) {
        const DiscTrack *t = &disc->tracks[i];
        int32_t next = i + 1 < disc->trackCount ? disc->tracks[i + 1].start : disc->leadOut;
        char start[16];
        TimeText(start, sizeof start, t->start + CD_LEAD_IN_FRAMES);
        TimeText(length, sizeof length, next - t->start);
        if (!Line(out, outSize, SUMMARY_KEEP_FOR_COUNT, "Track %02d  %-10s  start %s  length %s",
                  t->number, TrackTypeName(t->type), start, length)) {
            Line(out, outSize, 0, "... and %d more tracks", disc->trackCount - i);
            break;
        }
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

bool FullImagePath(const wchar_t *programDir, const wchar_t *value, wchar_t *out, size_t outSize)
{
    if (!value[0] || outSize == 0)
        return false;
    bool absolute = (value[0] && value[1] == L':') || value[0] == L'\\' || value[0] == L'/';
    size_t dir = absolute ? 0 : wcslen(programDir), length = wcslen(value);
    if (dir + length >= outSize)
        return false;
    wmemcpy(out, programDir, dir);
    wmemcpy(out + dir, value, length + 1);
    return true;
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
