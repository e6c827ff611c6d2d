/* CloneCD control files (.ccd): an INI-like text beside the .img of the
 * disc's raw sectors (from sector 0 to the lead-out, 2352 bytes each) and
 * the .sub of its subchannel, which cdimage does not read. The disc's
 * table of contents is in sections [Entry n] (Point: a track number, or
 * 0xA2 for the lead-out; Control: bit 2 set for data; PLBA: the sector);
 * sections [TRACK n] give each track's MODE (0 audio, 1, 2) and INDEX 0
 * and INDEX 1 sectors. */
#ifndef DISC_CCD_H
#define DISC_CCD_H

#include <stddef.h>

#include "disc.h"

/* A control file larger than this is no CloneCD one (99 tracks with every
   key CloneCD writes are some 30 KB). */
#define CCD_MAX_SIZE 65536

struct CcdSheet {
    int trackCount;
    DiscTrack tracks[DISC_MAX_TRACKS];
    int32_t leadOut;               /* -1 when the file gives none */
    int problemCount;              /* all found; the first DISC_MAX_PROBLEMS kept */
    int problemLines[DISC_MAX_PROBLEMS];
    char problems[DISC_MAX_PROBLEMS][DISC_TEXT_SIZE];
};

/* Reads a control file's text: the tracks in order, their types, starts
   and pregaps, the lead-out, and a line for each thing that is wrong. */
void ParseCcd(CcdSheet *sheet, const char *text, size_t length);

#endif
