/* The PlayStation disc images of a PBP file (the PSP's EBOOT.PBP), as
 * conversion tools write them, read through a function that reads bytes of
 * the file: no file handle here, so that the layout and the blocks can be
 * tested on bytes in memory.
 *
 * A PBP begins with "\0PBP", a version and the offsets of its eight parts;
 * the last part, DATA.PSAR, is the disc image: "PSISOIMG0000" for one disc,
 * or "PSTITLEIMG000000" with the offsets of up to five such images. An
 * image holds the disc's ID at +0x400, its table of contents (the lead-in's
 * Q entries: A0, A1, A2, then one per track) at +0x800, the block index at
 * +0x4000 (32 bytes an entry: offset from +0x100000 and size) and the
 * blocks from +0x100000: 16 raw sectors each, stored as they are (a size of
 * 16 x 2352 bytes) or Deflate-compressed without a zlib header. The blocks
 * hold the disc's sectors from 00:02:00 on, as a BIN of the disc does. */
#ifndef DISC_PBP_H
#define DISC_PBP_H

#include <stddef.h>
#include <stdint.h>

#include "disc.h"

#define PBP_MAX_DISCS 5
#define PBP_BLOCK_SECTORS 16
#define PBP_BLOCK_SIZE (PBP_BLOCK_SECTORS * CD_RAW_SECTOR_SIZE)
/* The index fills +0x4000 to +0x100000 of a disc image. */
#define PBP_INDEX_AT 0x4000
#define PBP_BLOCKS_AT 0x100000
#define PBP_INDEX_ENTRY_SIZE 32
#define PBP_MAX_BLOCKS ((PBP_BLOCKS_AT - PBP_INDEX_AT) / PBP_INDEX_ENTRY_SIZE)

/* Reads size bytes at offset of the file into dst: false unless all of them
   could be had. */
struct PbpSource {
    bool (*read)(void *file, int64_t offset, void *dst, uint32_t size);
    void *file;
    int64_t size;
};

struct PbpDisc {
    int64_t at;            /* the image's "PSISOIMG0000" in the file */
    bool usable;           /* its header lies in the file and says what it is */
    char id[16];           /* "SLUS-00892", or "" */
};

/* One PBP with one of its discs open. Large (the index of a whole disc and
   two blocks): the caller allocates it. */
struct PbpImage {
    int discCount;
    PbpDisc discs[PBP_MAX_DISCS];
    /* The open disc. */
    int trackCount;
    DiscTrack tracks[DISC_MAX_TRACKS];
    int32_t leadOut;
    int64_t blockBase;                     /* file offset of +0x100000 */
    int32_t blockCount;
    uint32_t blockOffsets[PBP_MAX_BLOCKS]; /* from blockBase */
    uint16_t blockSizes[PBP_MAX_BLOCKS];
    /* The one block kept decompressed: its number (-1 none) and how many
       of its sectors it holds. */
    int32_t cachedBlock;
    int cachedSectors;
    uint8_t block[PBP_BLOCK_SIZE];
    uint8_t packed[PBP_BLOCK_SIZE];
    void *inflater;                        /* zlib's stream, made at the first compressed block */
};

/* The discs of the PBP: false, with the problem in one line, when the file
   is no PBP of PlayStation discs (or an encrypted one). */
bool PbpReadDiscs(PbpImage *pbp, const PbpSource *src, char *problem, size_t problemSize);
/* Lays disc choice (0 for the first) out: its tracks, lead-out and block
   index, every block checked to lie in the file. False with the problem. */
bool PbpOpenDisc(PbpImage *pbp, const PbpSource *src, int choice, char *problem, size_t problemSize);
/* The whole raw sector of the open disc: false when the disc has no such
   sector, its block cannot be read or does not decompress. */
bool PbpReadSector(PbpImage *pbp, const PbpSource *src, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE]);
/* Frees what zlib holds; the image may be opened again. */
void PbpRelease(PbpImage *pbp);

#endif
