/* CHD files ("Compressed Hunks of Data", version 5) that hold a CD: the
 * header, the hunk map (with its own compression and CRC), the CD track
 * list of the metadata (CHT2, or the older CHTR), and hunks decoded on
 * request through a small cache.
 *
 * Pure code: the file is reached only through a read callback, so the
 * tests can hand it any bytes. Every size, offset, link and count read
 * from the file is checked against the file before use: a damaged
 * header, map or track list refuses the file (one problem line); a hunk
 * that does not decode or whose CRC does not match fails that hunk only.
 *
 * A hunk holds whole frames of CHD_FRAME_SIZE bytes: the 2352 bytes of a
 * sector (audio samples big-endian, as the format stores them) and 96 of
 * subcode. Tracks follow each other, each padded to a multiple of
 * CHD_TRACK_PADDING frames. */
#ifndef CHD_FILE_H
#define CHD_FILE_H

#include <stddef.h>
#include <stdint.h>

#define CHD_HEADER_SIZE 124
#define CHD_SECTOR_BYTES 2352
#define CHD_SUBCODE_BYTES 96
#define CHD_FRAME_SIZE (CHD_SECTOR_BYTES + CHD_SUBCODE_BYTES)
#define CHD_TRACK_PADDING 4
/* chdman makes hunks of 8 frames; larger ones are taken up to this. */
#define CHD_MAX_HUNK_FRAMES 64
/* Decoded hunks kept: a run of reads decodes each hunk once, and a few
   reads back and forth between tracks stay in the cache. */
#define CHD_CACHE_HUNKS 4
#define CHD_MAX_TRACKS 99
/* 99:59:74 of frames: no CD holds more. */
#define CHD_MAX_FRAMES (100 * 60 * 75)

#define CHD_TAG(a, b, c, d) \
    (static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(c) << 8 | \
     static_cast<uint32_t>(d))
#define CHD_CODEC_CDLZ CHD_TAG('c', 'd', 'l', 'z')
#define CHD_CODEC_CDZL CHD_TAG('c', 'd', 'z', 'l')
#define CHD_CODEC_CDFL CHD_TAG('c', 'd', 'f', 'l')
#define CHD_CODEC_CDZS CHD_TAG('c', 'd', 'z', 's')

/* Reads size bytes at offset; false when they cannot all be had. */
typedef bool (*ChdReadFn)(void *file, uint64_t offset, void *buffer, uint32_t size);

enum ChdTrackType {
    CHD_TRACK_MODE1,          /* 2048 bytes of user data */
    CHD_TRACK_MODE1_RAW,      /* 2352 */
    CHD_TRACK_MODE2,          /* 2336: subheader, data, EDC/ECC */
    CHD_TRACK_MODE2_FORM1,    /* 2048 */
    CHD_TRACK_MODE2_FORM2,    /* 2324 */
    CHD_TRACK_MODE2_FORM_MIX, /* 2336, as MODE2 */
    CHD_TRACK_MODE2_RAW,      /* 2352 */
    CHD_TRACK_AUDIO,          /* 2352 */
    CHD_TRACK_TYPE_COUNT
};

struct ChdTrack {
    int type;             /* ChdTrackType */
    int32_t frames;       /* frames stored, a stored pregap included */
    int32_t pregap;       /* frames before INDEX 01 */
    bool pregapStored;    /* the pregap is part of frames ("V" before its type) */
    int32_t postgap;      /* frames after the track, in no hunk */
    uint32_t chdFrame;    /* the track's first stored frame in the hunks */
};

struct ChdCodecs;

struct Chd {
    ChdReadFn read;
    void *file;
    uint64_t fileSize;
    uint32_t codecs[4];           /* 0 where unused; all 0: hunks stored whole */
    uint64_t logicalBytes;
    uint32_t hunkBytes;
    uint32_t hunkCount;
    /* The map, decoded: per hunk 12 bytes (type, length 24 bits, offset
       48 bits, CRC 16 bits, big-endian as the format's CRC covers them);
       for a file without compression 4 bytes, the hunk's place in hunks. */
    uint8_t *map;
    int trackCount;
    ChdTrack tracks[CHD_MAX_TRACKS];
    /* The cache: CHD_CACHE_HUNKS hunks, the hunk each holds (or
       0xFFFFFFFF), the slot to fill next. */
    uint8_t *cache;
    uint32_t cacheHunk[CHD_CACHE_HUNKS];
    int cacheNext;
    uint8_t *stored;              /* one hunk's bytes as the file holds them */
    uint8_t *work;                /* a hunk's sector and subcode parts while decoding */
    ChdCodecs *codecState;
    /* Counted for the tests and the benchmark. */
    uint32_t hunksDecoded;
    uint32_t framesEccRestored;   /* frames stored without sync and ECC */
    uint32_t selfHunks;           /* map entries that copy another hunk */
};

/* Opens a CHD of fileSize bytes: header, map, CD track list. On failure
   writes one line saying what is wrong (UTF-8, without the file's name)
   into problem, leaves nothing allocated and returns false. */
bool ChdOpen(Chd *chd, ChdReadFn read, void *file, uint64_t fileSize, char *problem, size_t problemSize);
void ChdClose(Chd *chd);

/* The decoded bytes of hunk (hunkBytes of them), valid until the next
   call; null when the hunk is damaged. */
const uint8_t *ChdHunk(Chd *chd, uint32_t hunk);

/* "cdlz, cdzl, cdfl" (the codecs in use), or "none". */
void ChdCodecNames(const Chd *chd, char *out, size_t outSize);

/* The CRC-16 the format keeps of the map and of each hunk (CCITT,
   0xFFFF to start). */
uint16_t ChdCrc16(const uint8_t *data, size_t size);

/* The codecs (chd_codec.cpp). */
bool ChdCodecKnown(uint32_t codec);
ChdCodecs *ChdCodecsCreate(void);
void ChdCodecsDestroy(ChdCodecs *codecs);
/* Decodes one CD hunk of hunkBytes (frames of CHD_FRAME_SIZE) stored
   with codec; work holds hunkBytes. Frames stored without their sync and
   ECC get them back; eccFrames counts them. */
bool ChdDecodeCdHunk(ChdCodecs *codecs, uint32_t codec, const uint8_t *src, uint32_t srcSize,
                     uint8_t *hunk, uint32_t hunkBytes, uint8_t *work, uint32_t *eccFrames);

#endif
