/* Disc arithmetic of cddirect, without any device: byte offsets of
 * sectors on the device, the drive's table of contents, the device path
 * and the drive scan. Disc times and BCD are the CD plugins' (cd_disc.h). */
#ifndef CDDIRECT_LOGIC_H
#define CDDIRECT_LOGIC_H

#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>
#include <stdint.h>

#include "cd_disc.h"

/* Cooked data sectors: the device's byte offset of sector n is n x 2048. */
#define CD_COOKED_SECTOR_SIZE 2048

/* Byte offset of a sector on the device; 64 bits, so that whatever three
   bytes the emulator passes never wrap into another sector. */
int64_t SectorOffset(int32_t sector);

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
