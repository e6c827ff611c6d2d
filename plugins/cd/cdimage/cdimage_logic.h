/* cdimage's pure logic, without any file: reading a CUE sheet, telling
 * image kinds apart, laying a disc's tracks out over its files, finding a
 * sector's bytes, the WAVE header, the summary the dialog shows, the list
 * of recent images and the image path as stored in KOVA.INI.
 *
 * A disc is one DiscLayout: fixed tables of files and tracks, and the
 * problems found, each one line that names the file (and the CUE line)
 * and what is wrong. A layout with a problem is not opened. */
#ifndef CDIMAGE_LOGIC_H
#define CDIMAGE_LOGIC_H

#include <stddef.h>
#include <stdint.h>

#include "cd_disc.h"

#define CDIMAGE_MAX_TRACKS 99
#define CDIMAGE_MAX_FILES 99
#define CDIMAGE_PATH_SIZE 260
/* Problems kept as lines; more are counted only. */
#define CDIMAGE_MAX_PROBLEMS 8
#define CDIMAGE_PROBLEM_SIZE 200
/* A CUE sheet of 99 tracks with every remark a ripper writes is some
   20 KB; a larger file is not taken for one. */
#define CDIMAGE_CUE_MAX_SIZE 65536
/* What is read of a file to tell its kind and to find a WAVE's data. */
#define CDIMAGE_HEAD_SIZE 4096

enum ImageKind { IMAGE_NONE, IMAGE_CUE, IMAGE_BIN, IMAGE_ISO };

/* The track types of a CUE sheet, in the order of kTrackTypes. */
enum TrackType { TRACK_MODE1_2048, TRACK_MODE1_2352, TRACK_MODE2_2336, TRACK_MODE2_2352, TRACK_AUDIO };
/* "MODE1/2048", ... "AUDIO". */
const char *TrackTypeName(int type);
/* Bytes a sector of the type takes in its file. */
uint32_t TrackSectorSize(int type);

struct ImageFileEntry {
    char path[CDIMAGE_PATH_SIZE];  /* full path */
    int line;                      /* the CUE line that names it; 0 for a lone image */
    bool wave;                     /* a WAVE file: sectors start at dataStart */
    int64_t size;                  /* bytes of sectors (a WAVE's data chunk) */
    int64_t dataStart;             /* byte offset of the first sector */
};

struct ImageTrack {
    uint8_t number;
    uint8_t type;                  /* TrackType */
    int file;                      /* index into files */
    int line;                      /* the CUE line of TRACK */
    int32_t index0, index1;        /* frames from the file's start; index0 -1 when absent */
    int32_t pregap, postgap;       /* frames in no file, before INDEX 01 and after the track */
    /* Laid out: the track's part of its file, and where it lies on the disc
       (sector numbers, 0 = 00:02:00). */
    int64_t fileOffset;            /* byte offset of the part's first sector */
    int32_t fileFirst;             /* file frame of that sector */
    int32_t fileFrames;            /* sectors in the part */
    int32_t discFirst;             /* disc sector of the part's first sector */
    int32_t start;                 /* disc sector of INDEX 01 */
};

struct DiscLayout {
    int kind;                      /* ImageKind */
    char imagePath[CDIMAGE_PATH_SIZE];
    int fileCount;
    ImageFileEntry files[CDIMAGE_MAX_FILES];
    int trackCount;
    ImageTrack tracks[CDIMAGE_MAX_TRACKS];
    int32_t leadOut;               /* disc sector after the last */
    int problemCount;              /* all found; the first CDIMAGE_MAX_PROBLEMS kept */
    char problems[CDIMAGE_MAX_PROBLEMS][CDIMAGE_PROBLEM_SIZE];
};

/* The last element of a path ("C:\A\B.CUE" -> "B.CUE"). */
const char *PathName(const char *path);
/* Adds one problem line: "<file's name>[ line n]: <what>". */
void AddProblem(DiscLayout *disc, const char *file, int line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

/* Empties disc and names its image. */
void ResetLayout(DiscLayout *disc, const char *imagePath);

/* The kind of the image at path from its name and its first bytes (head,
   got of them): a CUE sheet by its extension or its first keyword, a raw
   BIN by the sync pattern of its first sector, else an ISO. */
int GuessImageKind(const char *path, const uint8_t *head, size_t got);

/* One data track over the whole file of a BIN or ISO image of size bytes;
   a BIN's mode comes from its first sector's header (head). */
void LayOutLoneImage(DiscLayout *disc, int kind, const uint8_t *head, size_t got, int64_t size);

/* Reads a CUE sheet's text (its UTF-8 byte-order mark, any line ends):
   files (resolved against the CUE's folder), tracks, indexes and gaps. */
void ParseCue(DiscLayout *disc, const char *text, size_t length);

/* Where a WAVE file's samples lie: true for 16-bit stereo 44.1 kHz PCM
   with its data chunk inside head; fileSize bounds the data. */
bool WaveData(const uint8_t *head, size_t got, int64_t fileSize, int64_t *start, int64_t *size);

/* With every file's size (and a WAVE's dataStart) known: the tracks' parts
   of their files and places on the disc, and the problems of a file too
   short for its tracks, a size that is no whole number of sectors, or a
   disc longer than 99:59:74. */
void LayOutTracks(DiscLayout *disc);

/* Where the bytes of disc sector lie. */
struct SectorPlace {
    int track;       /* index into tracks */
    int file;        /* index into files; -1 for a gap (in no file) */
    int64_t offset;  /* byte offset in the file */
};
/* False for a sector before 0 or from the lead-out on. hint: the track of
   the last find, or -1. */
bool FindSector(const DiscLayout *disc, int32_t sector, int hint, SectorPlace *place);

/* The image of a sector of a track whose type has less than raw sectors
   (or of a gap): fills the parts the file does not hold. raw is a whole
   2352-byte sector; the image is raw + 12, the file's bytes go to
   SectorDataOffset(type) of the image. */
void FillCookedSector(uint8_t *raw, int type, int32_t sector);
/* Where a track type's file bytes go in the sector image: 12 for user
   data of 2048 bytes, 4 for a Mode 2 sector without header, -12 for raw
   sectors (their sync precedes the image). */
int SectorDataOffset(int type);

/* The summary the dialog shows, CR LF between lines. boot: the SYSTEM.CNF
   BOOT program, or null. */
void FormatSummary(const DiscLayout *disc, const char *boot, char *out, size_t outSize);

/* The recent list with chosen put first: no repeats (letter case aside),
   at most CDIMAGE_RECENT_COUNT. Returns the new count. */
#define CDIMAGE_RECENT_COUNT 8
int PutRecent(char recent[CDIMAGE_RECENT_COUNT][CDIMAGE_PATH_SIZE], int count, const char *chosen);

/* The full path of a stored "ImageFile" value: a relative one is taken
   from programDir (ending in '\'). False when it does not fit. */
bool FullImagePath(const char *programDir, const char *value, char *out, size_t outSize);
/* The value to store for a chosen path: relative when inside programDir. */
void StoredImagePath(const char *programDir, const char *chosen, char *out, size_t outSize);

#endif
