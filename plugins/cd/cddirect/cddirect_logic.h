/* Disc arithmetic of cddirect, without any device: absolute disc times,
 * sector numbers and byte offsets, the BCD of sector headers and of the
 * drive's table of contents, the device path and the drive scan. */
#ifndef CDDIRECT_LOGIC_H
#define CDDIRECT_LOGIC_H

#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>
#include <stdint.h>

/* 75 frames to the second, 60 seconds to the minute; 00:02:00 is sector 0
   (the first two seconds of a disc are lead-in, not data). */
#define CD_FRAMES_PER_SECOND 75
#define CD_SECONDS_PER_MINUTE 60
#define CD_LEAD_IN_FRAMES 150
/* Cooked data sectors: the device's byte offset of sector n is n x 2048. */
#define CD_COOKED_SECTOR_SIZE 2048

/* Sector number of a disc address given as plain minute, second, frame.
   Any three bytes give a number; before 00:02:00 it is negative. */
int32_t SectorFromMsf(const uint8_t msf[3]);
/* Byte offset of a sector on the device; 64 bits, so that whatever three
   bytes the emulator passes never wrap into another sector. */
int64_t SectorOffset(int32_t sector);

/* Packed BCD: tens in the high nibble, units in the low one. */
uint8_t BcdFromNumber(uint8_t value);
uint8_t NumberFromBcd(uint8_t bcd);

/* Writes bytes 0, 1, 2 of a sector image: the address in packed BCD. */
void WriteHeaderAddress(uint8_t *image, const uint8_t msf[3]);

/* Finds the first filled entry whose TrackNumber is track and writes its
   start, decoded from BCD, into msf. False when no entry carries it. The
   lead-out entry has track number 0xAA. */
bool TocTrackStart(const CDROM_TOC *toc, int32_t track, uint8_t msf[3]);

/* "\\.\E:" for the letter E. A NUL letter ends the path after the last
   backslash. path must hold CD_DEVICE_PATH_SIZE bytes. */
#define CD_DEVICE_PATH_SIZE 7
void FormDevicePath(char *path, char letter);

/* The drive letters A..Z for which driveType("X:") is DRIVE_CDROM, in
   alphabetical order; letters must hold 26. Returns how many. */
#define CD_DRIVE_LETTER_COUNT 26
typedef UINT (*DriveTypeFn)(const char *root);
int CollectCdDrives(char *letters, DriveTypeFn driveType);

#endif
