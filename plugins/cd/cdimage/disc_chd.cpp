/* CHD files (version 5, the CD codecs): one file per disc, its track list
 * in its metadata, its sectors in compressed hunks (chd_file.cpp). A
 * sector reads as a CUE sheet's BIN of the same disc gives it: audio
 * samples little-endian, sectors stored without sync, header or ECC made
 * whole, gaps that no hunk holds as a CUE sheet's gaps. A hunk that does
 * not decode is a read error for its sectors only. */
#include <stdlib.h>
#include <string.h>

#include "chd_file.h"
#include "disc.h"
#include "disc_file.h"
#include "kova_str.h"

struct ChdState {
    DiscFile file;
    Chd chd;
    int32_t dataFirst[CHD_MAX_TRACKS];  /* disc sector of each track's first stored frame */
    int hint;                           /* the track of the last read */
};

static const uint8_t kTrackTypes[CHD_TRACK_TYPE_COUNT] = {
    TRACK_MODE1_2048,   /* MODE1 */
    TRACK_MODE1_2352,   /* MODE1_RAW */
    TRACK_MODE2_2336,   /* MODE2 */
    TRACK_MODE2_FORM1,  /* MODE2_FORM1 */
    TRACK_MODE2_FORM2,  /* MODE2_FORM2 */
    TRACK_MODE2_2336,   /* MODE2_FORM_MIX */
    TRACK_MODE2_2352,   /* MODE2_RAW */
    TRACK_AUDIO,        /* AUDIO */
};

static bool ReadChdFile(void *file, uint64_t offset, void *buffer, uint32_t size)
{
    return DiscFileRead(static_cast<DiscFile *>(file), static_cast<int64_t>(offset), buffer, size) == size;
}

static bool RecogniseChd(const wchar_t *path, const uint8_t *head, size_t got)
{
    if (got)
        return got >= 8 && memcmp(head, "MComprHD", 8) == 0;
    return DiscExtensionIs(path, ".chd");
}

static void FreeState(ChdState *state)
{
    ChdClose(&state->chd);
    DiscFileClose(&state->file);
    free(state);
}

static bool OpenChd(Disc *disc, int)
{
    ChdState *state =
        static_cast<ChdState *>(DiscNewFileState(disc, sizeof(ChdState), offsetof(ChdState, file), disc->path));
    if (!state)
        return false;
    char problem[DISC_TEXT_SIZE / 2];
    Chd *chd = &state->chd;
    if (!ChdOpen(chd, ReadChdFile, &state->file, static_cast<uint64_t>(DiscFileSize(&state->file)), problem,
                 sizeof problem)) {
        BufSet(disc->kind, sizeof disc->kind, "CHD");
        DiscProblem(disc, disc->path, 0, "%s", problem);
        FreeState(state);
        return false;
    }
    char codecs[64];
    ChdCodecNames(chd, codecs, sizeof codecs);
    if (chd->codecs[0])
        BufFormat(disc->kind, sizeof disc->kind, "CHD v5, codecs %s", codecs);
    else
        BufSet(disc->kind, sizeof disc->kind, "CHD v5, not compressed");
    char name[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), name, sizeof name);
    DiscDetail(disc, "%s: %u hunks of %u sectors", name, static_cast<unsigned>(chd->hunkCount),
               static_cast<unsigned>(chd->hunkBytes / CHD_FRAME_SIZE));
    /* The disc as the format lays it out: a pregap that no hunk holds
       comes before the track's stored frames, a postgap after them. */
    int32_t at = 0;
    for (int i = 0; i < chd->trackCount; i++) {
        const ChdTrack *t = &chd->tracks[i];
        DiscTrack *d = &disc->tracks[i];
        d->number = static_cast<uint8_t>(i + 1);
        d->type = kTrackTypes[t->type];
        d->first = at;
        d->start = at + t->pregap;
        state->dataFirst[i] = t->pregapStored ? at : at + t->pregap;
        at = state->dataFirst[i] + t->frames + t->postgap;
    }
    disc->trackCount = chd->trackCount;
    disc->leadOut = at;
    if (at + CD_LEAD_IN_FRAMES > CD_LAST_FRAME) {
        DiscProblem(disc, disc->path, 0, "the disc is longer than 99:59:74");
        FreeState(state);
        return false;
    }
    disc->state = state;
    return true;
}

static bool ReadChd(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    ChdState *state = static_cast<ChdState *>(disc->state);
    if (sector < 0 || sector >= disc->leadOut)
        return false;
    int i = state->hint;
    if (i < 0 || i >= disc->trackCount || sector < disc->tracks[i].first ||
        (i + 1 < disc->trackCount && sector >= disc->tracks[i + 1].first)) {
        for (i = disc->trackCount - 1; i > 0 && sector < disc->tracks[i].first; i--) {
        }
        state->hint = i;
    }
    const ChdTrack *t = &state->chd.tracks[i];
    int type = disc->tracks[i].type;
    int32_t inTrack = sector - state->dataFirst[i];
    if (inTrack < 0 || inTrack >= t->frames) {
        FillGapSector(raw, type, sector);
        return true;
    }
    uint64_t at = (static_cast<uint64_t>(t->chdFrame) + static_cast<uint32_t>(inTrack)) * CHD_FRAME_SIZE;
    const uint8_t *hunk = ChdHunk(&state->chd, static_cast<uint32_t>(at / state->chd.hunkBytes));
    if (!hunk)
        return false;
    const uint8_t *frame = hunk + at % state->chd.hunkBytes;
    if (type == TRACK_AUDIO) {
        /* The format keeps samples big-endian; a BIN has them the other way. */
        for (int k = 0; k < CD_RAW_SECTOR_SIZE; k += 2) {
            raw[k] = frame[k + 1];
            raw[k + 1] = frame[k];
        }
    } else if (type == TRACK_MODE1_2352 || type == TRACK_MODE2_2352) {
        memcpy(raw, frame, CD_RAW_SECTOR_SIZE);
    } else {
        memset(raw, 0, CD_RAW_SECTOR_SIZE);
        memcpy(raw + CD_SYNC_SIZE + SectorDataOffset(type), frame, TrackSectorSize(type));
        FillCookedSector(raw, type, sector);
    }
    return true;
}

static void CloseChd(Disc *disc)
{
    if (disc->state)
        FreeState(static_cast<ChdState *>(disc->state));
    disc->state = 0;
}

extern const DiscFormat kDiscChd = {"CHD", RecogniseChd, OpenChd, ReadChd, CloseChd};
