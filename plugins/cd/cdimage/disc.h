/* "A disc" as cdimage's entry points and dialog see it, whatever file
 * format holds it: a track table, raw sectors read on request, and the
 * lines that describe it. Each image format is one reader (one file,
 * disc_<format>.cpp) behind the DiscFormat table in disc_formats.cpp; the
 * table picks the reader by magic bytes first, then by extension.
 *
 * Texts kept here (kind, detail lines, problems) are UTF-8, so that any
 * file name shows as it is; paths are UTF-16 and files are opened with the
 * wide-character functions. Images are untrusted: a reader checks every
 * length, offset and count against the file before it uses it. */
#ifndef DISC_H
#define DISC_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "cd_disc.h"

#define DISC_MAX_TRACKS 99
/* UTF-16 units of a path (the wide functions take longer ones with \\?\,
   which no image name in practice needs). */
#define DISC_PATH_SIZE 1024
#define DISC_TEXT_SIZE 256
/* Problems kept as lines; more are counted only. */
#define DISC_MAX_PROBLEMS 8
/* Lines of detail a reader adds under its kind line (a CUE sheet's files,
   a playlist's discs); more are counted only. */
#define DISC_MAX_DETAILS 100
/* Discs of one multi-disc container (a playlist, a PBP of several discs). */
#define DISC_MAX_CHOICES 16

/* How a track's sectors are stored; the sector image a read gives is always
   the whole raw sector (audio: its 2352 sample bytes). */
enum TrackType {
    TRACK_MODE1_2048,      /* user data only */
    TRACK_MODE1_2352,      /* raw */
    TRACK_MODE2_2336,      /* subheader, data, EDC/ECC; no sync or header */
    TRACK_MODE2_2352,      /* raw */
    TRACK_AUDIO,           /* 2352 bytes of 16-bit stereo samples, little-endian */
    TRACK_MODE2_FORM1,     /* 2048 bytes of Form 1 user data */
    TRACK_MODE2_FORM2,     /* 2324 bytes of Form 2 user data */
    TRACK_TYPE_COUNT
};

struct DiscTrack {
    uint8_t number;        /* 1..99 */
    uint8_t type;          /* TrackType */
    int32_t first;         /* first sector of the track, its pregap included */
    int32_t start;         /* sector of INDEX 01 (0 = 00:02:00) */
};

struct DiscFormat;

struct Disc {
    const DiscFormat *format;      /* null while no disc is open */
    wchar_t path[DISC_PATH_SIZE];  /* the image the user chose */
    int trackCount;
    DiscTrack tracks[DISC_MAX_TRACKS];
    int32_t leadOut;               /* sector after the last */
    /* Multi-disc containers: the discs to choose from, and the one open. */
    int choiceCount;               /* 0 for a single disc */
    int choice;
    char choices[DISC_MAX_CHOICES][DISC_TEXT_SIZE];
    /* The summary's first line ("CUE sheet GAME.CUE, 2 files") and the
       reader's detail lines under it. */
    char kind[DISC_TEXT_SIZE];
    int detailCount;
    char details[DISC_MAX_DETAILS][DISC_TEXT_SIZE];
    int problemCount;              /* all found; the first DISC_MAX_PROBLEMS kept */
    char problems[DISC_MAX_PROBLEMS][DISC_TEXT_SIZE];
    void *state;                   /* the reader's own, from open to close */
};

struct DiscFormat {
    const char *name;              /* "CUE sheet", "CHD", ... */
    /* True when the file is of this format: magic bytes in head (the first
       got bytes of the file), or, where a format has none, its extension.
       DiscOpen asks every row by magic bytes first (path "", the head), then
       every row by extension (the path, got 0); a file that no row takes
       goes to the table's last row. */
    bool (*recognise)(const wchar_t *path, const uint8_t *head, size_t got);
    /* Lays the disc out: tracks, leadOut, kind and details, or problems.
       choice: the disc of a multi-disc container. True with the reader's
       files open; false with nothing left open and allocated. */
    bool (*open)(Disc *disc, int choice);
    /* The whole raw sector (2352 bytes: sync, header, data; regenerated
       where the format stores less). False when the disc has no such
       sector or its bytes cannot be had: the caller gives a read error. */
    bool (*read)(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE]);
    void (*close)(Disc *disc);
};

/* What is read of an image to tell its format. */
#define DISC_HEAD_SIZE 4096

/* The table of formats (disc_formats.cpp): the reader of a file whose
   first got bytes are head. */
const DiscFormat *DiscFormatOf(const wchar_t *path, const uint8_t *head, size_t got);

/* Opens the image at path with the reader that recognises it. choice: the
   disc of a multi-disc container (0 for the first). False with the
   problems in disc and nothing open; the kind and details stay for the
   summary either way. */
bool DiscOpen(Disc *disc, const wchar_t *path, int choice);
bool DiscRead(Disc *disc, int32_t sector, uint8_t raw[CD_RAW_SECTOR_SIZE]);
/* Closes what is open; a disc never opened (all zeros) may be closed. */
void DiscClose(Disc *disc);
/* The index of the track that holds sector (its pregap included), or -1. */
int DiscTrackAt(const Disc *disc, int32_t sector);

/* For readers. Opens one file of the image, or adds the problem that says
   why not: about the image itself (line 0), or about the file that line of
   the image's own text names. */
struct DiscFile;
bool DiscOpenFile(Disc *disc, DiscFile *file, const wchar_t *path, int line);
/* For readers. A reader's state of size bytes, zeroed, or null after the
   problem line that says there is no memory for it. */
void *DiscNewState(Disc *disc, size_t size);
/* The same with the file at path (the image itself) open in the state's
   DiscFile that lies fileAt bytes into it (offsetof); null, with the
   problem line and nothing left allocated, when either fails. */
void *DiscNewFileState(Disc *disc, size_t size, size_t fileAt, const wchar_t *path);
/* The last element of a path ("C:\A\B.CUE" -> "B.CUE"). */
const wchar_t *DiscPathName(const wchar_t *path);
/* Whether path ends in extension (".cue"), letter case aside. */
bool DiscExtensionIs(const wchar_t *path, const char *extension);
/* text in UTF-8; cut to outSize - 1 bytes at a whole character. */
void DiscUtf8(const wchar_t *text, char *out, size_t outSize);

/* Adds one problem line: "<file's name>[ line n]: <what>" (UTF-8). */
void DiscProblem(Disc *disc, const wchar_t *file, int line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
void DiscDetail(Disc *disc, const char *format, ...) __attribute__((format(printf, 2, 3)));

/* Fills what a track type does not store of a sector: sync, header, mode,
   subheader, EDC and ECC, from the sector number. raw holds the stored
   bytes at SectorDataOffset(type) of its sector image (raw + 12). A
   2048-byte track (an ISO, a CUE sheet's MODE1/2048) is taken for what a
   PlayStation disc's data track holds: Form 1 sectors of Mode 2, whose
   user data lies where the emulator takes it, 12 bytes into the image. */
void FillCookedSector(uint8_t *raw, int type, int32_t sector);
/* A sector of a gap that no file holds: silence for audio, an empty data
   sector (Mode 1, or Mode 2 Form 2) for data. */
void FillGapSector(uint8_t *raw, int type, int32_t sector);
int SectorDataOffset(int type);
uint32_t TrackSectorSize(int type);
const char *TrackTypeName(int type);

#endif
