/* PBP files: the PlayStation discs a conversion tool packed into a PSP
 * EBOOT.PBP, one or up to five of them (disc_pbp.h has the layout). The
 * file is untrusted: every offset, size and count is checked against the
 * file before it is used, a damaged disc of several fails only when it is
 * chosen, and a block that does not decompress fails the reads of its own
 * sectors only. One block is kept decompressed, so reading a disc in order
 * inflates each block once. */
#include "disc_pbp.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <zlib.h>

#include "disc_file.h"
#include "kova_str.h"

static const uint8_t kPbpMagic[4] = { 0, 'P', 'B', 'P' };
/* The encrypted images of a store carry this header where a converted one
   has its disc ID (one disc) or its disc offsets (several discs). */
static const uint8_t kPgdMagic[4] = { 0, 'P', 'G', 'D' };
static const char kOneDisc[] = "PSISOIMG0000";
static const char kManyDiscs[] = "PSTITLEIMG000000";
/* DATA.PSAR's offset is the last of the header's eight part offsets. */
#define PBP_HEADER_SIZE 40
#define PBP_PSAR_OFFSET_AT 36
#define PBP_DISC_OFFSETS_AT 0x200
#define PBP_DISC_ID_AT 0x400
#define PBP_TOC_AT 0x800
#define PBP_TOC_ENTRY_SIZE 10
/* A0, A1, A2 and 99 tracks. */
#define PBP_TOC_MAX_ENTRIES 102

static const char kEncrypted[] =
    "the disc image is encrypted, as a store sells it: only PBP files made by conversion tools can be read";

static uint32_t Le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

static bool ReadAt(const PbpSource *src, int64_t offset, void *dst, uint32_t size)
{
    return offset >= 0 && offset <= src->size && size <= src->size - offset &&
           src->read(src->file, offset, dst, size);
}

static bool Fail(char *problem, size_t problemSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static bool Fail(char *problem, size_t problemSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    BufFormatV(problem, problemSize, format, args);
    va_end(args);
    return false;
}

/* "_SLUS_00892" (what the tools write) as "SLUS-00892"; "" for anything
   else. */
static void DiscId(const uint8_t field[11], char id[16])
{
    id[0] = '\0';
    if (field[0] != '_' || field[5] != '_')
        return;
    for (int i = 1; i < 11; i++) {
        uint8_t c = field[i];
        bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (i != 5 && !alnum)
            return;
    }
    memcpy(id, field + 1, 4);
    id[4] = '-';
    memcpy(id + 5, field + 6, 5);
    id[10] = '\0';
}

/* The disc image at offset at: usable when its magic and its blocks' start
   lie in the file. Encrypted when its ID's place holds a PGD header. */
static void LookAtDisc(const PbpSource *src, int64_t at, PbpDisc *disc, bool *encrypted)
{
    disc->at = at;
    disc->usable = false;
    disc->id[0] = '\0';
    uint8_t magic[12], id[11];
    if (at < 0 || at > src->size - PBP_BLOCKS_AT || !ReadAt(src, at, magic, sizeof magic) ||
        memcmp(magic, kOneDisc, sizeof magic) != 0 || !ReadAt(src, at + PBP_DISC_ID_AT, id, sizeof id))
        return;
    if (memcmp(id, kPgdMagic, sizeof kPgdMagic) == 0)
        *encrypted = true;
    DiscId(id, disc->id);
    disc->usable = true;
}

bool PbpReadDiscs(PbpImage *pbp, const PbpSource *src, char *problem, size_t problemSize)
{
    pbp->discCount = 0;
    uint8_t header[PBP_HEADER_SIZE];
    if (!ReadAt(src, 0, header, sizeof header))
        return Fail(problem, problemSize, "the file is too short for a PBP header");
    if (memcmp(header, kPbpMagic, sizeof kPbpMagic) != 0)
        return Fail(problem, problemSize, "the file does not begin with a PBP header");
    int64_t psar = Le32(header + PBP_PSAR_OFFSET_AT);
    uint8_t magic[16];
    if (!ReadAt(src, psar, magic, sizeof magic))
        return Fail(problem, problemSize, "DATA.PSAR (at %lld) lies outside the file", static_cast<long long>(psar));
    bool encrypted = false;
    if (memcmp(magic, kOneDisc, strlen(kOneDisc)) == 0) {
        pbp->discCount = 1;
        LookAtDisc(src, psar, &pbp->discs[0], &encrypted);
    } else if (memcmp(magic, kManyDiscs, strlen(kManyDiscs)) == 0) {
        uint8_t table[4 * PBP_MAX_DISCS];
        if (!ReadAt(src, psar + PBP_DISC_OFFSETS_AT, table, sizeof table))
            return Fail(problem, problemSize, "the table of discs lies outside the file");
        if (memcmp(table, kPgdMagic, sizeof kPgdMagic) == 0)
            return Fail(problem, problemSize, "%s", kEncrypted);
        for (int i = 0; i < PBP_MAX_DISCS; i++) {
            uint32_t offset = Le32(table + 4 * i);
            if (offset == 0)
                break;
            PbpDisc *disc = &pbp->discs[pbp->discCount++];
            LookAtDisc(src, psar + offset, disc, &encrypted);
            /* A second entry for one image would give the same disc twice. */
            for (int j = 0; j < i; j++)
                disc->usable = disc->usable && pbp->discs[j].at != disc->at;
        }
        if (pbp->discCount == 0)
            return Fail(problem, problemSize, "the table of discs names no disc");
    } else {
        return Fail(problem, problemSize, "DATA.PSAR holds no PlayStation disc image");
    }
    if (encrypted) {
        pbp->discCount = 0;
        return Fail(problem, problemSize, "%s", kEncrypted);
    }
    return true;
}

/* A BCD byte's value, or -1 when a nibble is past 9. */
static int Bcd(uint8_t b)
{
    return (b >> 4) > 9 || (b & 15) > 9 ? -1 : (b >> 4) * 10 + (b & 15);
}

/* The sector of a Q entry's P time (minute, second, frame in BCD), or -1. */
static int32_t EntryTime(const uint8_t *entry)
{
    int m = Bcd(entry[7]), s = Bcd(entry[8]), f = Bcd(entry[9]);
    if (m < 0 || s < 0 || s >= CD_SECONDS_PER_MINUTE || f < 0 || f >= CD_FRAMES_PER_SECOND)
        return -1;
    return (m * CD_SECONDS_PER_MINUTE + s) * CD_FRAMES_PER_SECOND + f;
}

/* The track table from the table of contents at +0x800. */
static bool ReadToc(PbpImage *pbp, const uint8_t *toc, char *problem, size_t problemSize)
{
    const uint8_t *a0 = toc, *a1 = toc + PBP_TOC_ENTRY_SIZE, *a2 = toc + 2 * PBP_TOC_ENTRY_SIZE;
    if (a0[2] != 0xA0 || a1[2] != 0xA1 || a2[2] != 0xA2)
        return Fail(problem, problemSize, "the table of contents does not begin with A0, A1, A2");
    int first = Bcd(a0[7]), last = Bcd(a1[7]);
    int32_t leadOut = EntryTime(a2);
    if (first < 1 || last < first || last > DISC_MAX_TRACKS)
        return Fail(problem, problemSize, "the table of contents names tracks %02x to %02x", a0[7], a1[7]);
    if (leadOut <= CD_LEAD_IN_FRAMES)
        return Fail(problem, problemSize, "the table of contents has no lead-out time");
    pbp->leadOut = leadOut - CD_LEAD_IN_FRAMES;
    pbp->trackCount = last - first + 1;
    for (int i = 0; i < pbp->trackCount; i++) {
        const uint8_t *entry = toc + (3 + i) * PBP_TOC_ENTRY_SIZE;
        int32_t start = EntryTime(entry) - CD_LEAD_IN_FRAMES;
        int32_t previous = i ? pbp->tracks[i - 1].start : -1;
        if (Bcd(entry[2]) != first + i || start <= previous || start >= pbp->leadOut)
            return Fail(problem, problemSize, "the table of contents' entry of track %d is damaged", first + i);
        DiscTrack *t = &pbp->tracks[i];
        t->number = static_cast<uint8_t>(first + i);
        /* The control nibble's data bit; the blocks hold every track as
           raw sectors. */
        t->type = (entry[0] & 0x40) ? TRACK_MODE2_2352 : TRACK_AUDIO;
        t->first = start;
        t->start = start;
    }
    return true;
}

bool PbpOpenDisc(PbpImage *pbp, const PbpSource *src, int choice, char *problem, size_t problemSize)
{
    pbp->trackCount = 0;
    pbp->blockCount = 0;
    pbp->cachedBlock = -1;
    if (choice < 0 || choice >= pbp->discCount)
        return Fail(problem, problemSize, "disc %d is chosen, the file holds %d", choice + 1, pbp->discCount);
    const PbpDisc *disc = &pbp->discs[choice];
    if (!disc->usable)
        return Fail(problem, problemSize, "disc %d is damaged: its offset %lld holds no disc image of its own", choice + 1,
                    static_cast<long long>(disc->at));
    uint8_t toc[PBP_TOC_MAX_ENTRIES * PBP_TOC_ENTRY_SIZE];
    if (!ReadAt(src, disc->at + PBP_TOC_AT, toc, sizeof toc) || !ReadToc(pbp, toc, problem, problemSize)) {
        pbp->trackCount = 0;
        return false;
    }
    /* Every sector up to the lead-out must have its block; the blocks are
       read whole, so each must lie in the file. */
    pbp->blockBase = disc->at + PBP_BLOCKS_AT;
    pbp->blockCount = (pbp->leadOut + PBP_BLOCK_SECTORS - 1) / PBP_BLOCK_SECTORS;
    if (pbp->blockCount > PBP_MAX_BLOCKS) {
        pbp->trackCount = 0;
        return Fail(problem, problemSize, "the block index cannot hold a disc of %ld sectors",
                    static_cast<long>(pbp->leadOut));
    }
    uint8_t entries[256 * PBP_INDEX_ENTRY_SIZE];
    for (int32_t b = 0; b < pbp->blockCount; b++) {
        int32_t inChunk = b % 256;
        if (inChunk == 0) {
            int32_t count = pbp->blockCount - b < 256 ? pbp->blockCount - b : 256;
            if (!ReadAt(src, disc->at + PBP_INDEX_AT + static_cast<int64_t>(b) * PBP_INDEX_ENTRY_SIZE, entries,
                        static_cast<uint32_t>(count) * PBP_INDEX_ENTRY_SIZE)) {
                pbp->trackCount = 0;
                return Fail(problem, problemSize, "the block index cannot be read");
            }
        }
        const uint8_t *e = entries + inChunk * PBP_INDEX_ENTRY_SIZE;
        uint32_t offset = Le32(e);
        uint32_t size = static_cast<uint32_t>(e[4]) | static_cast<uint32_t>(e[5]) << 8;
        if (size == 0 || size > PBP_BLOCK_SIZE) {
            pbp->trackCount = 0;
            return Fail(problem, problemSize, "block %ld of the index has a size of %lu bytes", static_cast<long>(b),
                        static_cast<unsigned long>(size));
        }
        if (static_cast<int64_t>(offset) + size > src->size - pbp->blockBase) {
            pbp->trackCount = 0;
            return Fail(problem, problemSize, "block %ld lies outside the file (the file is cut short?)",
                        static_cast<long>(b));
        }
        pbp->blockOffsets[b] = offset;
        pbp->blockSizes[b] = static_cast<uint16_t>(size);
    }
    /* Raw sectors say their mode in their header: a Mode 1 data track is
       told apart by its first sector. */
    for (int i = 0; i < pbp->trackCount; i++) {
        uint8_t raw[CD_RAW_SECTOR_SIZE];
        DiscTrack *t = &pbp->tracks[i];
        if (t->type != TRACK_AUDIO && PbpReadSector(pbp, src, t->start, raw) && raw[15] == 1)
            t->type = TRACK_MODE1_2352;
    }
    return true;
}

/* Inflates a block's stored bytes; the number of bytes it gave, or -1 when
   the stream is damaged or does not end inside the block. */
static int Inflate(PbpImage *pbp, uint32_t size)
{
    z_stream *z = static_cast<z_stream *>(pbp->inflater);
    if (!z) {
        z = static_cast<z_stream *>(calloc(1, sizeof *z));
        if (!z)
            return -1;
        if (inflateInit2(z, -MAX_WBITS) != Z_OK) {
            free(z);
            return -1;
        }
        pbp->inflater = z;
    } else if (inflateReset(z) != Z_OK) {
        return -1;
    }
    z->next_in = pbp->packed;
    z->avail_in = size;
    z->next_out = pbp->block;
    z->avail_out = PBP_BLOCK_SIZE;
    int result = inflate(z, Z_FINISH);
    if (result != Z_STREAM_END)
        return -1;
    return static_cast<int>(PBP_BLOCK_SIZE - z->avail_out);
}

bool PbpReadSector(PbpImage *pbp, const PbpSource *src, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    if (sector < 0 || sector >= pbp->leadOut || pbp->blockCount == 0)
        return false;
    int32_t b = sector / PBP_BLOCK_SECTORS;
    if (b != pbp->cachedBlock) {
        pbp->cachedBlock = -1;
        uint32_t size = pbp->blockSizes[b];
        int64_t at = pbp->blockBase + pbp->blockOffsets[b];
        int got;
        if (size == PBP_BLOCK_SIZE) {
            got = ReadAt(src, at, pbp->block, size) ? PBP_BLOCK_SIZE : -1;
        } else {
            got = ReadAt(src, at, pbp->packed, size) ? Inflate(pbp, size) : -1;
        }
        if (got < 0)
            return false;
        pbp->cachedBlock = b;
        pbp->cachedSectors = got / CD_RAW_SECTOR_SIZE;
    }
    int inBlock = sector % PBP_BLOCK_SECTORS;
    if (inBlock >= pbp->cachedSectors)
        return false;
    memcpy(raw, pbp->block + inBlock * CD_RAW_SECTOR_SIZE, CD_RAW_SECTOR_SIZE);
    return true;
}

void PbpRelease(PbpImage *pbp)
{
    z_stream *z = static_cast<z_stream *>(pbp->inflater);
    if (z) {
        inflateEnd(z);
        free(z);
    }
    pbp->inflater = NULL;
    pbp->cachedBlock = -1;
}

/* ---- the reader ---- */

struct PbpState {
    DiscFile file;
    PbpImage image;
};

static bool ReadFromFile(void *file, int64_t offset, void *dst, uint32_t size)
{
    return DiscFileRead(static_cast<DiscFile *>(file), offset, dst, size) == size;
}

static PbpSource SourceOf(PbpState *state)
{
    PbpSource source = { ReadFromFile, &state->file, DiscFileSize(&state->file) };
    return source;
}

/* By its magic; a file named .pbp without it is a damaged PBP, and says so. */
static bool RecognisePbp(const wchar_t *path, const uint8_t *head, size_t got)
{
    if (got >= sizeof kPbpMagic && memcmp(head, kPbpMagic, sizeof kPbpMagic) == 0)
        return true;
    return got == 0 && DiscExtensionIs(path, ".pbp");
}

static bool OpenPbp(Disc *disc, int choice)
{
    PbpState *state =
        static_cast<PbpState *>(DiscNewFileState(disc, sizeof(PbpState), offsetof(PbpState, file), disc->path));
    if (!state)
        return false;
    PbpImage *pbp = &state->image;
    PbpSource source = SourceOf(state);
    char problem[DISC_TEXT_SIZE];
    bool ok = PbpReadDiscs(pbp, &source, problem, sizeof problem);
    if (ok) {
        /* One disc is the disc, whatever was chosen for an image before. */
        if (pbp->discCount == 1)
            choice = disc->choice = 0;
        /* The discs to choose from, each by the ID the tool wrote. */
        if (pbp->discCount > 1) {
            disc->choiceCount = pbp->discCount;
            for (int i = 0; i < pbp->discCount; i++) {
                const PbpDisc *d = &pbp->discs[i];
                BufFormat(disc->choices[i], DISC_TEXT_SIZE, "Disc %d: %s", i + 1,
                          !d->usable ? "damaged" : d->id[0] ? d->id : "no ID");
            }
        }
        const char *id = choice >= 0 && choice < pbp->discCount ? pbp->discs[choice].id : "";
        if (pbp->discCount > 1)
            BufFormat(disc->kind, sizeof disc->kind, "PBP, %d discs, disc %d chosen%s%s", pbp->discCount,
                      choice + 1, id[0] ? ": " : "", id);
        else
            BufFormat(disc->kind, sizeof disc->kind, "PBP, 1 disc%s%s", id[0] ? ": " : "", id);
        ok = PbpOpenDisc(pbp, &source, choice, problem, sizeof problem);
    }
    if (!ok) {
        DiscProblem(disc, disc->path, 0, "%s", problem);
        PbpRelease(pbp);
        DiscFileClose(&state->file);
        free(state);
        return false;
    }
    int packed = 0;
    for (int32_t b = 0; b < pbp->blockCount; b++)
        packed += pbp->blockSizes[b] != PBP_BLOCK_SIZE;
    char name[DISC_TEXT_SIZE / 2];
    DiscUtf8(DiscPathName(disc->path), name, sizeof name);
    DiscDetail(disc, "%s: %ld blocks of 16 sectors, %d of them compressed", name, static_cast<long>(pbp->blockCount),
               packed);
    disc->trackCount = pbp->trackCount;
    memcpy(disc->tracks, pbp->tracks, sizeof(DiscTrack) * static_cast<size_t>(pbp->trackCount));
    disc->leadOut = pbp->leadOut;
    disc->state = state;
    return true;
}

static bool ReadPbp(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE])
{
    PbpState *state = static_cast<PbpState *>(disc->state);
    PbpSource source = SourceOf(state);
    return PbpReadSector(&state->image, &source, sector, raw);
}

static void ClosePbp(Disc *disc)
{
    PbpState *state = static_cast<PbpState *>(disc->state);
    if (!state)
        return;
    PbpRelease(&state->image);
    DiscFileClose(&state->file);
    free(state);
}

extern const DiscFormat kDiscPbp = { "PBP", RecognisePbp, OpenPbp, ReadPbp, ClosePbp };
