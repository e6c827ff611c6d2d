/* The lone images, one file that is the whole disc as one data track: a
 * BIN of raw 2352-byte sectors (Mode 1 or 2, as its first sector's header
 * says), or an ISO of 2048-byte sectors. */
#include <stdlib.h>
#include <string.h>

#include "disc.h"
#include "disc_file.h"
#include "kova_str.h"

static const uint8_t kSync[CD_SYNC_SIZE] = {
    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,
};

struct LoneState {
    DiscFile file;
    int type;
};

static bool RecogniseBin(const wchar_t *, const uint8_t *head, size_t got)
{
    return got >= CD_SYNC_SIZE && memcmp(head, kSync, CD_SYNC_SIZE) == 0;
}

static bool RecogniseIso(const wchar_t *path, const uint8_t *, size_t)
{
    return DiscExtensionIs(path, ".iso");
}

static bool OpenLone(Disc *disc, bool raw)
{
    LoneState *state =
        static_cast<LoneState *>(DiscNewFileState(disc, sizeof(LoneState), offsetof(LoneState, file), disc->path));
    if (!state)
        return false;
    uint8_t head[CD_SYNC_SIZE + 4];
    uint32_t got = DiscFileRead(&state->file, 0, head, sizeof head);
    int64_t size = DiscFileSize(&state->file);
    /* Raw sectors whose first is no data sector (no sync there). */
    if (!raw && size % 2048 != 0 && size % CD_RAW_SECTOR_SIZE == 0)
        raw = true;
    /* The mode byte of the first sector's header; a PlayStation disc's is
       2, and so is the guess when it says nothing else. */
    state->type = !raw ? TRACK_MODE1_2048
                       : (got == sizeof head && head[15] == 1) ? TRACK_MODE1_2352 : TRACK_MODE2_2352;
    char name[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), name, sizeof name);
    if (state->file.unpacked)
        BufFormat(disc->kind, sizeof disc->kind, "ECM of %s, 1 track: %s", raw ? "a raw BIN" : "an ISO image", name);
    else if (raw)
        BufFormat(disc->kind, sizeof disc->kind, "BIN image %s (raw 2352-byte sectors)", name);
    else
        BufFormat(disc->kind, sizeof disc->kind, "ISO image %s (2048-byte sectors)", name);
    uint32_t sectorSize = TrackSectorSize(state->type);
    int64_t frames = size / sectorSize;
    if (size == 0)
        DiscProblem(disc, disc->path, 0, "the file is empty");
    else if (size % sectorSize != 0)
        DiscProblem(disc, disc->path, 0, "%lld bytes are no whole number of %u-byte sectors",
                    static_cast<long long>(size), sectorSize);
    else if (frames + CD_LEAD_IN_FRAMES > CD_LAST_FRAME)
        DiscProblem(disc, disc->path, 0, "the disc is longer than 99:59:74");
    if (disc->problemCount) {
        DiscFileClose(&state->file);
        free(state);
        return false;
    }
    DiscTrack *t = &disc->tracks[0];
    t->number = 1;
    t->type = static_cast<uint8_t>(state->type);
    t->first = 0;
    t->start = 0;
    disc->trackCount = 1;
    disc->leadOut = static_cast<int32_t>(frames);
    disc->state = state;
    return true;
}

static bool OpenBin(Disc *disc, int)
{
    return OpenLone(disc, true);
}

static bool OpenIso(Disc *disc, int)
{
    return OpenLone(disc, false);
}

static bool ReadLone(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    LoneState *state = static_cast<LoneState *>(disc->state);
    uint32_t size = TrackSectorSize(state->type);
    uint8_t *dst = raw + CD_SYNC_SIZE + SectorDataOffset(state->type);
    if (DiscFileRead(&state->file, static_cast<int64_t>(sector) * size, dst, size) != size)
        return false;
    FillCookedSector(raw, state->type, sector);
    return true;
}

static void CloseLone(Disc *disc)
{
    LoneState *state = static_cast<LoneState *>(disc->state);
    if (!state)
        return;
    DiscFileClose(&state->file);
    free(state);
    disc->state = NULL;
}

extern const DiscFormat kDiscBin = { "BIN image", RecogniseBin, OpenBin, ReadLone, CloseLone };
extern const DiscFormat kDiscIso = { "ISO image", RecogniseIso, OpenIso, ReadLone, CloseLone };
