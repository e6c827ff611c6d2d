/* Helpers of the CD tests: disc addresses, sector images and the test
   prefix's disc image. */
#ifndef CD_TEST_DISC_H
#define CD_TEST_DISC_H

#include <stdint.h>
#include <functional>
#include <string>
#include <vector>

#include "cd_disc.h"
#include "kova_plugin.h"

/* "" when image is what a read of the address must leave: the address in
   packed BCD (each byte modulo 256), the first `good` bytes of the sector's
   user data at byte 12 (device gives byte n of the device), zeros elsewhere;
   else the first byte that differs. */
typedef std::function<uint8_t(int64_t offset)> DeviceBytes;
std::string ImageDiff(const uint8_t *image, const uint8_t msf[3], const DeviceBytes &device,
                      int good = 2048);
/* The whole sector image, to compare at once. */
std::vector<uint8_t> ImageBytes(const uint8_t *image);

/* An ISO 9660 image of a folder's files, made by genisoimage; true when
   it was made. */
bool MakeIsoImage(const std::string &folder, const std::string &image);

/* The test prefix's drive E: is a CD-ROM drive whose raw device is this
   ISO 9660 image (tests/rig/prefix.d/20-cdrom.sh). */
std::string TestDiscImagePath();

#endif
