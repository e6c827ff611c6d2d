/* Helpers of the CD tests: disc addresses and the test prefix's disc image. */
#ifndef CD_TEST_DISC_H
#define CD_TEST_DISC_H

#include <stdint.h>
#include <string>
#include <vector>

#include "kova_plugin.h"

/* The plain minute, second, frame of a sector number >= 0. */
void MsfFromSector(int32_t sector, uint8_t msf[3]);

/* The test prefix's drive E: is a CD-ROM drive whose raw device is this
   ISO 9660 image (tests/rig/prefix.d/20-cdrom.sh). */
#define TEST_CD_DRIVE 'E'
std::string TestDiscImagePath();

#endif
