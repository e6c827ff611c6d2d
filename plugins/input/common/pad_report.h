/* The pad report buffer shared by the pad plugins.
 *
 * The buffer belongs to the emulator; a pad plugin is handed its address at
 * init-header and writes into it at every poll. Only the last address given
 * counts. Byte 0 is the emulator's and is never written here. */
#ifndef PAD_REPORT_H
#define PAD_REPORT_H

#include <stdint.h>

#include "kova_plugin.h"

/* Writes the device identifier and the marker into bytes 1 and 2 and returns
   the report length; leaves every other byte alone. */
inline int32_t PadWriteHeader(uint8_t *report, uint8_t deviceId)
{
    report[1] = deviceId;
    report[2] = PAD_REPORT_MARKER;
    return PAD_REPORT_LENGTH(deviceId);
}

/* Digital pad data bytes 3 and 4 from a 16-bit word of pressed buttons
   (bit i set while button i is held: bits 0..7 go to byte 4, 8..15 to
   byte 3). The report is active-low, so the word is inverted. */
inline void PadWriteButtons(uint8_t *report, uint16_t pressed)
{
    uint16_t released = static_cast<uint16_t>(~pressed);
    report[3] = static_cast<uint8_t>(released >> 8);
    report[4] = static_cast<uint8_t>(released & 0xFF);
}

#endif
