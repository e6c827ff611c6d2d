/* What every CD plugin shares: absolute disc times and sector numbers, the
 * packed BCD of sector headers and tables of contents, and where the parts
 * of a sector lie in the 2340-byte sector image CD_Read hands out (a raw
 * 2352-byte CD-ROM XA sector without its 12 sync bytes). */
#ifndef CD_DISC_H
#define CD_DISC_H

#include <stdint.h>

#include "kova_plugin.h"

/* 75 frames to the second, 60 seconds to the minute; 00:02:00 is sector 0
   (the first two seconds of a disc are lead-in, not data). */
#define CD_FRAMES_PER_SECOND 75
#define CD_SECONDS_PER_MINUTE 60
#define CD_FRAMES_PER_MINUTE (CD_FRAMES_PER_SECOND * CD_SECONDS_PER_MINUTE)
#define CD_LEAD_IN_FRAMES 150
/* The last time three plain bytes can say on a disc: 99:59:74. */
#define CD_LAST_FRAME (100 * CD_FRAMES_PER_MINUTE - 1)

/* A whole sector as a disc holds it: 12 sync bytes, the 4-byte header
   (minute, second, frame in BCD, mode), then what the mode says. */
#define CD_RAW_SECTOR_SIZE 2352
#define CD_SYNC_SIZE 12
/* A Mode 2 sector without sync and header: subheader, data, EDC/ECC. */
#define CD_MODE2_SECTOR_SIZE 2336

/* Places inside the sector image. */
#define CD_IMAGE_MODE_OFFSET 3
#define CD_IMAGE_SUBHEADER_OFFSET 4
#define CD_IMAGE_SUBHEADER_SIZE 8

/* Sector number of a disc address given as plain minute, second, frame.
   Any three bytes give a number; before 00:02:00 it is negative. */
int32_t SectorFromMsf(const uint8_t msf[3]);
/* The plain minute, second, frame of a sector number from -150 (00:00:00)
   to the last frame a disc time can say. */
void MsfFromSector(int32_t sector, uint8_t msf[3]);

/* Packed BCD: tens in the high nibble, units in the low one. */
uint8_t BcdFromNumber(uint8_t value);
uint8_t NumberFromBcd(uint8_t bcd);

/* Writes bytes 0, 1, 2 of a sector image: the address in packed BCD. */
void WriteHeaderAddress(uint8_t *image, const uint8_t msf[3]);

#endif
