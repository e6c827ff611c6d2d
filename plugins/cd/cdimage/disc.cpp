/* What every reader shares: opening an image through the table of formats,
 * the problem and detail lines, the files' names, and completing the
 * sectors that a format stores without all their parts. */
#include "disc.h"

#include <windows.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "cd_sector.h"
#include "disc_file.h"
#include "kova_str.h"

static const struct {
    const char *name;
    uint32_t size;
} kTrackTypes[TRACK_TYPE_COUNT] = {
    { "MODE1/2048", 2048 },
    { "MODE1/2352", CD_RAW_SECTOR_SIZE },
    { "MODE2/2336", CD_MODE2_SECTOR_SIZE },
    { "MODE2/2352", CD_RAW_SECTOR_SIZE },
    { "AUDIO", CD_RAW_SECTOR_SIZE },
    { "MODE2/2048", 2048 },
    { "MODE2/2324", CD_FORM2_DATA_SIZE },
};

const char *TrackTypeName(int type)
{
    return type >= 0 && type < TRACK_TYPE_COUNT ? kTrackTypes[type].name : "?";
}

uint32_t TrackSectorSize(int type)
{
    return type >= 0 && type < TRACK_TYPE_COUNT ? kTrackTypes[type].size : CD_RAW_SECTOR_SIZE;
}

/* ---- names and lines ---- */

const wchar_t *DiscPathName(const wchar_t *path)
{
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; p++) {
        if (*p == L'\\' || *p == L'/' || *p == L':')
            name = p + 1;
    }
    return name;
}

bool DiscExtensionIs(const wchar_t *path, const char *extension)
{
    size_t n = wcslen(path), e = strlen(extension);
    if (n < e)
        return false;
    const wchar_t *tail = path + n - e;
    for (size_t i = 0; i < e; i++) {
        wchar_t c = tail[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        char x = extension[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (c != static_cast<wchar_t>(static_cast<unsigned char>(x)))
            return false;
    }
    return true;
}

void DiscUtf8(const wchar_t *text, char *out, size_t outSize)
{
    if (outSize == 0)
        return;
    out[0] = '\0';
    /* Whole characters only: units are added while their bytes fit. */
    size_t used = 0;
    for (const wchar_t *p = text; *p;) {
        int units = (p[0] >= 0xD800 && p[0] < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) ? 2 : 1;
        char bytes[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, p, units, bytes, sizeof bytes, NULL, NULL);
        if (n <= 0 || used + static_cast<size_t>(n) >= outSize)
            break;
        memcpy(out + used, bytes, static_cast<size_t>(n));
        used += static_cast<size_t>(n);
        p += units;
    }
    out[used] = '\0';
}

static void AddLineV(char *out, const char *prefix, const char *format, va_list args)
{
    BufSet(out, DISC_TEXT_SIZE, prefix);
    size_t used = strlen(out);
    BufFormatV(out + used, DISC_TEXT_SIZE - used, format, args);
}

void DiscProblem(Disc *disc, const wchar_t *file, int line, const char *format, ...)
{
    if (disc->problemCount < DISC_MAX_PROBLEMS) {
        char name[DISC_TEXT_SIZE / 2], prefix[DISC_TEXT_SIZE];
        DiscUtf8(DiscPathName(file), name, sizeof name);
        if (line > 0)
            BufFormat(prefix, sizeof prefix, "%s line %d: ", name, line);
        else
            BufFormat(prefix, sizeof prefix, "%s: ", name);
        va_list args;
        va_start(args, format);
        AddLineV(disc->problems[disc->problemCount], prefix, format, args);
        va_end(args);
    }
    disc->problemCount++;
}

void DiscDetail(Disc *disc, const char *format, ...)
{
    if (disc->detailCount < DISC_MAX_DETAILS) {
        va_list args;
        va_start(args, format);
        AddLineV(disc->details[disc->detailCount], "", format, args);
        va_end(args);
    }
    disc->detailCount++;
}

bool DiscOpenFile(Disc *disc, DiscFile *file, const wchar_t *path, int line)
{
    int status = DiscFileOpen(file, path);
    if (status == DISC_FILE_OK)
        return true;
    if (line > 0) {
        char name[DISC_TEXT_SIZE / 2];
        DiscUtf8(DiscPathName(path), name, sizeof name);
        if (status == DISC_FILE_FOLDER)
            DiscProblem(disc, disc->path, line, "\"%s\" is a folder", name);
        else if (status == DISC_FILE_MISSING)
            DiscProblem(disc, disc->path, line, "file \"%s\" is missing", name);
        else if (status == DISC_FILE_DAMAGED)
            DiscProblem(disc, disc->path, line, "file \"%s\": %s", name, DiscFileProblem());
        else
            DiscProblem(disc, disc->path, line, "file \"%s\" cannot be opened", name);
    } else if (status == DISC_FILE_DAMAGED) {
        DiscProblem(disc, path, 0, "%s", DiscFileProblem());
    } else {
        DiscProblem(disc, path, 0,
                    status == DISC_FILE_FOLDER    ? "the path names a folder"
                    : status == DISC_FILE_MISSING ? "the file is missing"
                                                  : "the file cannot be opened");
    }
    return false;
}

/* ---- opening ---- */

void *DiscNewState(Disc *disc, size_t size)
{
    void *state = calloc(1, size);
    if (!state)
        DiscProblem(disc, disc->path, 0, "no memory to read the image");
    return state;
}

void *DiscNewFileState(Disc *disc, size_t size, size_t fileAt, const wchar_t *path)
{
    uint8_t *state = static_cast<uint8_t *>(DiscNewState(disc, size));
    if (state && !DiscOpenFile(disc, reinterpret_cast<DiscFile *>(state + fileAt), path, 0)) {
        free(state);
        return NULL;
    }
    return state;
}

bool DiscOpen(Disc *disc, const wchar_t *path, int choice)
{
    DiscClose(disc);
    disc->trackCount = 0;
    disc->leadOut = 0;
    disc->choiceCount = 0;
    disc->choice = choice;
    disc->kind[0] = '\0';
    disc->detailCount = 0;
    disc->problemCount = 0;
    disc->state = NULL;
    size_t length = wcslen(path);
    if (length >= DISC_PATH_SIZE) {
        disc->path[0] = L'\0';
        DiscProblem(disc, DiscPathName(path), 0, "the path is too long");
        return false;
    }
    wmemcpy(disc->path, path, length + 1);
    DiscFile file;
    if (!DiscOpenFile(disc, &file, path, 0))
        return false;
    uint8_t head[DISC_HEAD_SIZE];
    uint32_t got = DiscFileRead(&file, 0, head, sizeof head);
    DiscFileClose(&file);
    const DiscFormat *format = DiscFormatOf(path, head, got);
    if (!format->open(disc, choice)) {
        disc->trackCount = 0;
        if (disc->problemCount == 0)
            DiscProblem(disc, path, 0, "the %s cannot be read", format->name);
        return false;
    }
    disc->format = format;
    return true;
}

bool DiscRead(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    if (!disc->format || sector < 0 || sector >= disc->leadOut)
        return false;
    return disc->format->read(disc, sector, raw);
}

void DiscClose(Disc *disc)
{
    if (disc->format)
        disc->format->close(disc);
    disc->format = NULL;
    disc->state = NULL;
}

int DiscTrackAt(const Disc *disc, int32_t sector)
{
    if (sector < 0 || sector >= disc->leadOut)
        return -1;
    for (int i = disc->trackCount - 1; i >= 0; i--) {
        if (sector >= disc->tracks[i].first)
            return i;
    }
    return -1;
}

/* ---- sectors ---- */

int SectorDataOffset(int type)
{
    switch (type) {
    case TRACK_MODE1_2048:
    case TRACK_MODE2_FORM1:
    case TRACK_MODE2_FORM2:
        return CD_SECTOR_DATA_OFFSET;
    case TRACK_MODE2_2336:
        return CD_IMAGE_SUBHEADER_OFFSET;
    default:
        return -CD_SYNC_SIZE;
    }
}

static void PutSubheader(uint8_t *raw, uint8_t submode)
{
    static const int kAt[2] = { CD_RAW_SUBHEADER_OFFSET, CD_RAW_SUBHEADER_OFFSET + 4 };
    for (int at : kAt) {
        raw[at] = 0;
        raw[at + 1] = 0;
        raw[at + 2] = submode;
        raw[at + 3] = 0;
    }
}

/* The submode bits of Form 1 data and of Form 2. */
static const uint8_t kSubmodeData = 0x08;
static const uint8_t kSubmodeForm2 = 0x20;

void FillCookedSector(uint8_t *raw, int type, int32_t sector)
{
    switch (type) {
    case TRACK_MODE1_2048:
    case TRACK_MODE2_FORM1:
        PutSubheader(raw, kSubmodeData);
        SectorFinishForm1(raw, sector);
        break;
    case TRACK_MODE2_FORM2:
        PutSubheader(raw, kSubmodeForm2);
        SectorFinishForm2(raw, sector);
        break;
    case TRACK_MODE2_2336:
        /* The file holds the subheader, the data and their EDC/ECC. */
        SectorWriteSyncHeader(raw, sector, 2);
        break;
    default:
        /* Raw sectors and audio are whole as the file holds them. */
        break;
    }
}

void FillGapSector(uint8_t *raw, int type, int32_t sector)
{
    memset(raw, 0, CD_RAW_SECTOR_SIZE);
    if (type == TRACK_AUDIO)
        return;
    if (type == TRACK_MODE1_2352) {
        SectorFinishMode1(raw, sector);
        return;
    }
    PutSubheader(raw, kSubmodeForm2);
    SectorFinishForm2(raw, sector);
}
