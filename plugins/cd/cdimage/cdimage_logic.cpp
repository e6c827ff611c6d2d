#include "cdimage_logic.h"

#include <stdarg.h>
#include <string.h>

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

void FormatSummary(const Disc *disc, const char *boot, char *out, size_t outSize)
{
    if (outSize == 0)
        return;
    out[0] = '\0';
    if (disc->kind[0]) {
        Line(out, outSize, "%s", disc->kind);
    } else {
        char name[DISC_TEXT_SIZE];
        DiscUtf8(DiscPathName(disc->path), name, sizeof name);
        Line(out, outSize, "%s", name);
    }
    for (int i = 0; i < disc->detailCount && i < DISC_MAX_DETAILS; i++)
        Line(out, outSize, "    %s", disc->details[i]);
    if (disc->detailCount > DISC_MAX_DETAILS)
        Line(out, outSize, "    ... and %d more", disc->detailCount - DISC_MAX_DETAILS);
    if (disc->problemCount) {
        for (int i = 0; i < disc->problemCount && i < DISC_MAX_PROBLEMS; i++)
            Line(out, outSize, "%s", disc->problems[i]);
        if (disc->problemCount > DISC_MAX_PROBLEMS)
            Line(out, outSize, "... and %d more problems", disc->problemCount - DISC_MAX_PROBLEMS);
        return;
    }
    for (int i = 0; i < disc->trackCount; i++) {
        const DiscTrack *t = &disc->tracks[i];
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

int StoredDiscChoice(const char *value)
{
    int n = 0;
    for (const char *p = value; *p; p++) {
        if (*p < '0' || *p > '9' || n > DISC_MAX_CHOICES)
            return 0;
        n = n * 10 + (*p - '0');
    }
    return n >= 1 && n <= DISC_MAX_CHOICES ? n - 1 : 0;
}
